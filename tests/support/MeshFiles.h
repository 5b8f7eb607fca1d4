// Mesh chunk files written byte by byte, for loader tests that must not
// trust the project's own writer:
//
//   test::Payload head;
//   head.text("box").i32(4).i32(4).i32(1).i32(1);   // V, P, S, M
//   vfs::ChunkWriter w(3);
//   w.add("HEAD", head.bytes);
//
// and a mesh with its material file in a show folder, for the layers that
// load them (test::writeMeshFiles).
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

#include "assets/Mesh.h"
#include "assets/MeshWriter.h"
#include "support/TempDir.h"
#include "vfs/ChunkFile.h"

namespace kvx::test {

struct Payload {
    vfs::Bytes bytes;

    Payload& i32(int32_t value) {
        const auto v = static_cast<uint32_t>(value);
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
        return *this;
    }
    Payload& f32(float value) {
        uint32_t v = 0;
        std::memcpy(&v, &value, sizeof v);
        return i32(static_cast<int32_t>(v));
    }
    Payload& floats(std::initializer_list<float> values) {
        for (float f : values) {
            f32(f);
        }
        return *this;
    }
    Payload& ints(std::initializer_list<int32_t> values) {
        for (int32_t v : values) {
            i32(v);
        }
        return *this;
    }
    // The text and its terminating NUL.
    Payload& text(const std::string& s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        bytes.push_back(0);
        return *this;
    }
};

// Writes mesh as dir/name and the material text beside it, under the name
// the loader looks for.
inline void writeMeshFiles(const TempDir& dir, const std::string& name, const assets::Mesh& mesh,
                           const std::string& materials) {
    dir.write(name, assets::writeMesh(mesh, name));
    dir.write(assets::materialFileName(name), materials);
}

}  // namespace kvx::test
