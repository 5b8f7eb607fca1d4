// examples/effects, the show with every layer type: it parses with every
// LAYER built, records headless without an error, and records to the same
// pictures and sound on every run (fire and particles included).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "effects/Registry.h"
#include "script/Demo.h"
#include "support/TempDir.h"
#include "vfs/Vfs.h"

namespace {

namespace fs = std::filesystem;
using kvx::test::TempDir;

const std::string kShow = std::string(KVX_SOURCE_DIR) + "/examples/effects";

std::string readAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

int record(const fs::path& out) {
    const std::string cmd = std::string(KVX_BIN_DIR) + "/kvxplay --data " + kShow + " --record " +
                            out.string() + " --fps 2 --mode 320x240 --quality 0.25 > " +
                            (out / "log").string() + " 2>&1";
    fs::create_directories(out);
    const int raw = std::system(cmd.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(EffectsExample, EveryLayerIsBuiltAndEveryTypeIsUsed) {
    kvx::vfs::Vfs::reset();
    kvx::vfs::Vfs::setDataDirectory(kShow);
    kvx::effects::registerAll();
    kvx::script::Demo demo("script.zel");
    int count = 0;
    auto built = demo.buildLayers(count);
    ASSERT_TRUE(built.has_value()) << (demo.diagnostic() ? demo.diagnostic()->text.text() : "");
    EXPECT_EQ(static_cast<size_t>(count), demo.layerDescs().size()) << "a LAYER was dropped";
    std::set<std::string> types;
    for (int i = 0; i < count; ++i) {
        std::string t = (*built)[static_cast<size_t>(i)]->description.type.text();
        for (char& c : t) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        types.insert(t);
    }
    for (const char* t : {"fadelayer", "distortionlayer", "imagelayer", "background", "wipe",
                          "fire", "radialblur", "debugstats", "object", "dist_object", "textlayer",
                          "plasma", "particle", "metaballs", "twister"}) {
        EXPECT_EQ(types.count(t), 1u) << t << " is not used";
    }
    kvx::vfs::Vfs::reset();
}

TEST(EffectsExample, RecordsTheSamePicturesAndSoundEveryTime) {
    TempDir dir;
    const fs::path a = dir.path() / "a";
    const fs::path b = dir.path() / "b";
    ASSERT_EQ(record(a), 0) << readAll(a / "log");
    ASSERT_EQ(record(b), 0) << readAll(b / "log");
    EXPECT_EQ(readAll(a / "log").find("Error"), std::string::npos) << readAll(a / "log");
    int frames = 0;
    for (const auto& entry : fs::directory_iterator(a)) {
        const std::string name = entry.path().filename().string();
        if (name == "log") {
            continue;
        }
        ASSERT_TRUE(fs::exists(b / name)) << name;
        EXPECT_TRUE(readAll(entry.path()) == readAll(b / name)) << name << " differs";
        frames += name.rfind("frame_", 0) == 0 ? 1 : 0;
    }
    EXPECT_GE(frames, 78);  // 39 s at 2 frames a second
}

}  // namespace
