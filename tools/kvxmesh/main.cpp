// kvxmesh: makes the mesh files a show draws, and shows what is inside them.
//
//   kvxmesh from-obj IN.obj OUT.msh [--mtl] [--scale S]
//       converts a Wavefront OBJ; --mtl also writes the material file from
//       the OBJ's MTL beside the mesh (under the name the loader looks for);
//       --scale stores a placement matrix that scales the model
//   kvxmesh torus OUT.msh [--major R] [--minor r] [--rings N] [--sides N]
//   kvxmesh sphere OUT.msh [--radius R] [--slices N] [--stacks N]
//   kvxmesh twisted-box OUT.msh [--size S] [--segments N] [--twist DEGREES]
//       generated shapes; each also takes --morph-frames F [--frame-length L]
//       [--amplitude A] (a breathing morph), and writes its material file
//       unless --no-material: --diffuse R,G,B,A --specular R,G,B,A
//       --shininess S --texture NAME --reflection NAME --reflectiveness R
//   kvxmesh dump FILE
//       the mesh's header, counts, matrix, morph, submeshes and materials
//
// Exits 0 on success, 1 with a message on stderr on any error.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>

#include "assets/Mesh.h"
#include "assets/MeshShapes.h"
#include "assets/MeshWriter.h"
#include "tools/kvxmesh/ObjImport.h"
#include "vfs/ChunkFile.h"

namespace fs = std::filesystem;
using namespace kvx;

namespace {

int fail(const std::string& message) {
    std::cerr << "kvxmesh: " << message << "\n";
    return 1;
}

bool readFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Writes the mesh and, when materials are given, its material file.
int writeMeshFiles(const assets::Mesh& mesh, const std::string& out,
                   const std::vector<assets::MaterialSpec>* materials) {
    const vfs::Bytes bytes = assets::writeMesh(mesh, fs::path(out).stem().string());
    if (!writeFile(out, std::string(bytes.begin(), bytes.end()))) {
        return fail("cannot write '" + out + "'");
    }
    size_t triangles = 0;
    for (const assets::Submesh& s : mesh.submeshes) {
        triangles += s.triangles.size();
    }
    std::cout << "kvxmesh: wrote " << out << " (" << mesh.vertices.size() << " vertices, "
              << mesh.positions.size() << " positions, " << triangles << " triangles)\n";
    if (materials != nullptr) {
        const std::string name = assets::materialFileName(out);
        if (!writeFile(name, assets::formatMaterials(*materials))) {
            return fail("cannot write '" + name + "'");
        }
        std::cout << "kvxmesh: wrote " << name << " (" << materials->size() << " materials)\n";
    }
    return 0;
}

// Options every generated shape shares.
struct ShapeOptions {
    std::string out;
    int morphFrames = 0;
    int frameLength = 1;
    float amplitude = 0.25f;
    bool noMaterial = false;
    std::vector<float> diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    std::vector<float> specular{0.5f, 0.5f, 0.5f, 1.0f};
    float shininess = 30.0f;
    std::string texture;
    std::string reflection;
    float reflectiveness = 1.0f;

    void add(CLI::App* app) {
        app->add_option("OUT", out, "mesh file to write")->required();
        app->add_option("--morph-frames", morphFrames, "breathing morph frames (0: none)")
            ->check(CLI::Range(0, assets::kMaxShapeSegments));
        app->add_option("--frame-length", frameLength, "morph frame length in 200 ms units")
            ->check(CLI::Range(1, 1000));
        app->add_option("--amplitude", amplitude, "how far the morph moves a position");
        app->add_flag("--no-material", noMaterial, "write no material file");
        app->add_option("--diffuse", diffuse, "diffuse colour R,G,B,A")
            ->delimiter(',')
            ->expected(4);
        app->add_option("--specular", specular, "specular colour R,G,B,A")
            ->delimiter(',')
            ->expected(4);
        app->add_option("--shininess", shininess, "specular exponent 0..128")
            ->check(CLI::Range(0.0f, 128.0f));
        app->add_option("--texture", texture, "texture file, or $0..$2 for an offscreen picture");
        app->add_option("--reflection", reflection, "sphere-mapped environment texture");
        app->add_option("--reflectiveness", reflectiveness, "strength of the reflection");
    }

    int write(assets::Mesh mesh) const {
        if (morphFrames > 0) {
            assets::addBreathingMorph(mesh, morphFrames, frameLength, amplitude);
        }
        assets::MaterialSpec m;
        std::copy(diffuse.begin(), diffuse.end(), m.diffuse.begin());
        std::copy(specular.begin(), specular.end(), m.specular.begin());
        m.shininess = shininess;
        m.texture = texture;
        m.reflection = reflection;
        m.reflectiveness = reflectiveness;
        const std::vector<assets::MaterialSpec> materials{m};
        return writeMeshFiles(mesh, out, noMaterial ? nullptr : &materials);
    }
};

int fromObj(const std::string& in, const std::string& out, bool mtl, float scale) {
    std::string error;
    std::optional<tools::ObjModel> model = tools::importObj(in, &error);
    if (!model) {
        return fail(error);
    }
    if (!model->warning.empty()) {
        std::cerr << "kvxmesh: " << model->warning;
    }
    model->mesh.matrix[0] = model->mesh.matrix[5] = model->mesh.matrix[10] = scale;
    return writeMeshFiles(model->mesh, out, mtl ? &model->materials : nullptr);
}

std::string colourText(const std::array<float, 4>& c) {
    std::ostringstream s;
    s << "(" << c[0] << ", " << c[1] << ", " << c[2] << ", " << c[3] << ")";
    return s.str();
}

// A texture id as the material file named it.
std::string textureText(int id, const std::vector<std::string>& names) {
    if (id == -1) {
        return "none";
    }
    if (assets::isOffscreenTextureId(id)) {
        return "$" + std::to_string(id - assets::offscreenTextureId(0));
    }
    const auto i = static_cast<size_t>(id - 1);
    return i < names.size() ? names[i] : std::to_string(id);
}

void dumpMaterials(const std::string& file, std::vector<assets::Material>& materials) {
    const std::string name = assets::materialFileName(file);
    std::string text;
    if (!readFile(name, text)) {
        std::cout << "material file: " << name << " (missing: all materials at defaults)\n";
    } else {
        std::cout << "material file: " << name << "\n";
    }
    std::vector<std::string> names;
    assets::readMaterials(text, materials.data(), static_cast<int>(materials.size()),
                          [&names](const core::String& texture) {
                              names.push_back(texture.str());
                              return static_cast<int>(names.size());
                          });
    for (size_t i = 0; i < materials.size(); ++i) {
        const assets::Material& m = materials[i];
        std::cout << "material " << i << ": diffuse " << colourText(m.diffuse) << ", specular "
                  << colourText(m.specular) << ", shininess " << m.shininess << ", texture "
                  << textureText(m.texture, names) << ", reflection "
                  << textureText(m.reflectionTexture, names) << ", reflectiveness "
                  << m.reflectiveness << "\n";
    }
}

int dump(const std::string& file) {
    std::string text;
    if (!readFile(file, text)) {
        return fail("cannot read '" + file + "'");
    }
    vfs::ChunkFile container;
    if (!container.openBytes(vfs::Bytes(text.begin(), text.end()))) {
        return fail("'" + file + "' is not a chunk file");
    }
    std::string why;
    const auto* data = reinterpret_cast<const uint8_t*>(text.data());
    assets::Mesh mesh = assets::parseMesh(data, text.size(), &why);
    if (!why.empty()) {
        return fail(file + ": " + why);
    }
    std::cout << "file: " << file << ", version " << container.version() << ", "
              << container.chunkCount() << " chunks\n";
    std::cout << "vertices " << mesh.vertices.size() << ", positions " << mesh.positions.size()
              << ", submeshes " << mesh.submeshes.size() << ", materials " << mesh.materials.size()
              << "\n";
    std::cout << "matrix";
    for (float e : mesh.matrix) {
        std::cout << " " << e;
    }
    std::cout << "\n";
    const assets::MorphFrames& m = mesh.morphFrames;
    std::cout << "morph: frame length " << m.frameLength << ", frames " << m.frameCount
              << ", values " << m.positions.size() << ", cycle " << m.totalDuration << " ms\n";
    for (size_t i = 0; i < mesh.submeshes.size(); ++i) {
        std::cout << "submesh " << i << ": material " << mesh.submeshes[i].material
                  << ", triangles " << mesh.submeshes[i].triangleCount() << "\n";
    }
    dumpMaterials(file, mesh.materials);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kvxmesh: makes and inspects mesh files"};
    app.require_subcommand(1);

    std::string in, out, file;
    bool mtl = false;
    float scale = 1.0f;
    CLI::App* obj = app.add_subcommand("from-obj", "convert a Wavefront OBJ");
    obj->add_option("IN", in, "OBJ file")->required();
    obj->add_option("OUT", out, "mesh file to write")->required();
    obj->add_flag("--mtl", mtl, "write the material file from the OBJ's MTL");
    obj->add_option("--scale", scale, "scale stored in the placement matrix");

    float major = 3.0f, minor = 1.0f, radius = 2.0f, size = 2.0f, twist = 180.0f;
    int rings = 48, sides = 24, slices = 32, stacks = 16, segments = 16;
    ShapeOptions torusOptions, sphereOptions, boxOptions;
    CLI::App* torus = app.add_subcommand("torus", "generate a torus");
    torus->add_option("--major", major, "ring radius");
    torus->add_option("--minor", minor, "tube radius");
    torus->add_option("--rings", rings, "segments around the ring");
    torus->add_option("--sides", sides, "segments around the tube");
    torusOptions.add(torus);
    CLI::App* sphere = app.add_subcommand("sphere", "generate a sphere");
    sphere->add_option("--radius", radius, "radius");
    sphere->add_option("--slices", slices, "segments around the axis");
    sphere->add_option("--stacks", stacks, "segments from pole to pole");
    sphereOptions.add(sphere);
    CLI::App* box = app.add_subcommand("twisted-box", "generate a twisted square column");
    box->add_option("--size", size, "side of the square (the column is twice as tall)");
    box->add_option("--segments", segments, "slices along the height");
    box->add_option("--twist", twist, "degrees turned from bottom to top");
    boxOptions.add(box);
    CLI::App* dumpCommand = app.add_subcommand("dump", "print what a mesh file holds");
    dumpCommand->add_option("FILE", file, "mesh file")->required();

    CLI11_PARSE(app, argc, argv);
    if (*obj) {
        return fromObj(in, out, mtl, scale);
    }
    if (*torus) {
        return torusOptions.write(assets::makeTorus(major, minor, rings, sides));
    }
    if (*sphere) {
        return sphereOptions.write(assets::makeSphere(radius, slices, stacks));
    }
    if (*box) {
        return boxOptions.write(assets::makeTwistedBox(size, segments, twist));
    }
    return dump(file);
}
