// kvxtex: writes procedural textures as TGA files the player can load.
//
//   kvxtex sky OUT.tga [--size 256] [--top C] [--horizon C] [--cloud C]
//                      [--cover 0.5] [--cells 4] [--seed 1]
//   kvxtex checker OUT.tga [--size 256] [--cells 8] [--a C] [--b C]
//   kvxtex spot OUT.tga [--size 64] [--colour C] [--hardness 0]      (32 bit)
//   kvxtex gradient OUT.tga [--size 256] [--from C] [--to C]
//                           [--direction vertical|horizontal|radial]
//   kvxtex noise OUT.tga [--size 256] [--cells 8] [--octaves 4]
//                        [--from C] [--to C] [--seed 1]
//   kvxtex rings OUT.tga [--size 256] [--rings 8] [--a C] [--b C]
//
// C is a colour written RRGGBB or RRGGBBAA in hex. Pictures are square, 24
// bits unless noted, and the same options always give the same file.
// Exits 0 on success, 1 with a message on stderr when the file cannot be
// written; bad options print the usage and exit non-zero.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>

#include "tools/kvxtex/TexGen.h"

namespace {

using kvx::tools::Picture;
using kvx::tools::Rgba8;

// What the chosen subcommand makes, and where it goes.
struct Job {
    std::string output;
    std::function<Picture()> make;
};

const CLI::Validator kColour(
    [](std::string& text) {
        return kvx::tools::parseColour(text)
                   ? std::string()
                   : "'" + text + "' is not a colour (RRGGBB or RRGGBBAA)";
    },
    "COLOUR");

CLI::App* subcommand(CLI::App& app, const char* name, const char* help, Job& job, int& size) {
    CLI::App* sub = app.add_subcommand(name, help);
    sub->add_option("output", job.output, "TGA file to write")->required();
    sub->add_option("--size", size, "side in pixels")
        ->capture_default_str()
        ->check(CLI::Range(kvx::tools::kMinSide, kvx::tools::kMaxSide));
    return sub;
}

void colour(CLI::App* sub, const std::string& name, Rgba8& target, const std::string& help) {
    sub->add_option_function<std::string>(
           name, [&target](const std::string& text) { target = *kvx::tools::parseColour(text); },
           help)
        ->check(kColour);
}

void cells(CLI::App* sub, int& value, const char* help) {
    sub->add_option("--cells", value, help)->capture_default_str()->check(CLI::Range(1, 256));
}

void seed(CLI::App* sub, uint32_t& value) {
    sub->add_option("--seed", value, "noise seed")->capture_default_str();
}

struct Options {
    kvx::tools::SkyOptions sky;
    kvx::tools::CheckerOptions checker;
    kvx::tools::SpotOptions spot;
    kvx::tools::GradientOptions gradient;
    kvx::tools::NoiseOptions noise;
    kvx::tools::RingsOptions rings;
};

void addGenerators(CLI::App& app, Options& o, Job& job) {
    using namespace kvx::tools;
    CLI::App* s = subcommand(app, "sky", "sky gradient under value-noise clouds", job, o.sky.size);
    colour(s, "--top", o.sky.top, "colour at the top edge");
    colour(s, "--horizon", o.sky.horizon, "colour at the bottom edge");
    colour(s, "--cloud", o.sky.cloud, "colour of the clouds");
    s->add_option("--cover", o.sky.cover, "share under clouds")->check(CLI::Range(0.0f, 1.0f));
    cells(s, o.sky.cells, "noise cells across");
    seed(s, o.sky.seed);
    s->callback([&] { job.make = [&] { return sky(o.sky); }; });

    CLI::App* c = subcommand(app, "checker", "checkerboard", job, o.checker.size);
    cells(c, o.checker.cells, "squares along an edge");
    colour(c, "--a", o.checker.a, "colour of the top-left square");
    colour(c, "--b", o.checker.b, "the other colour");
    c->callback([&] { job.make = [&] { return checker(o.checker); }; });

    CLI::App* p = subcommand(app, "spot", "soft round sprite with alpha", job, o.spot.size);
    colour(p, "--colour", o.spot.colour, "sprite colour");
    p->add_option("--hardness", o.spot.hardness, "0 soft .. 1 hard edge")
        ->check(CLI::Range(0.0f, 1.0f));
    p->callback([&] { job.make = [&] { return spot(o.spot); }; });

    CLI::App* g = subcommand(app, "gradient", "two-colour gradient", job, o.gradient.size);
    colour(g, "--from", o.gradient.from, "colour at the start");
    colour(g, "--to", o.gradient.to, "colour at the end");
    const std::map<std::string, GradientDirection> directions{
        {"vertical", GradientDirection::Vertical},
        {"horizontal", GradientDirection::Horizontal},
        {"radial", GradientDirection::Radial}};
    g->add_option("--direction", o.gradient.direction, "vertical, horizontal or radial")
        ->transform(CLI::CheckedTransformer(directions, CLI::ignore_case));
    g->callback([&] { job.make = [&] { return gradient(o.gradient); }; });

    CLI::App* n = subcommand(app, "noise", "fractal value noise", job, o.noise.size);
    cells(n, o.noise.cells, "noise cells across");
    n->add_option("--octaves", o.noise.octaves, "octaves")->check(CLI::Range(1, 8));
    colour(n, "--from", o.noise.from, "colour of low values");
    colour(n, "--to", o.noise.to, "colour of high values");
    seed(n, o.noise.seed);
    n->callback([&] { job.make = [&] { return noise(o.noise); }; });

    CLI::App* r = subcommand(app, "rings", "concentric rings", job, o.rings.size);
    r->add_option("--rings", o.rings.rings, "rings from centre to edge")->check(CLI::Range(1, 512));
    colour(r, "--a", o.rings.a, "colour at the centre");
    colour(r, "--b", o.rings.b, "colour between rings");
    r->callback([&] { job.make = [&] { return rings(o.rings); }; });
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes procedural textures as TGA files"};
    app.require_subcommand(1);
    Options options;
    Job job;
    addGenerators(app, options, job);
    CLI11_PARSE(app, argc, argv);

    const Picture picture = job.make();
    const std::vector<uint8_t> file = kvx::tools::encodeTga(picture);
    std::ofstream out(job.output, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    if (!out.good()) {
        std::fprintf(stderr, "kvxtex: cannot write %s\n", job.output.c_str());
        return 1;
    }
    std::printf("kvxtex: wrote %s (%d x %d, %d bit)\n", job.output.c_str(), picture.side,
                picture.side, picture.hasAlpha ? 32 : 24);
    return 0;
}
