// The bundled show as a user plays it (build/examples/showcase and the pack
// build/bin/kvxplay.kvx): the whole show recorded headless with every layer
// type drawn, beats counted, pictures and sound present; the pack found by
// the player where it runs; and the show without any one of its files, each
// left out in turn, still playing to its end (or, without its script,
// taking the "Error!" path with the diagnostic).
#include <gtest/gtest.h>

#include <png.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "effects/Registry.h"
#include "layers/LayerFactory.h"
#include "script/Demo.h"
#include "support/TempDir.h"
#include "synth/WavWriter.h"
#include "vfs/Vfs.h"

namespace {

namespace fs = std::filesystem;
using kvx::test::TempDir;

const fs::path kShow = KVX_SHOWCASE_DIR;
const fs::path kBin = KVX_BIN_DIR;
constexpr uint32_t kDurationMs = 99840;
constexpr int kBeats = 172;  // every kick of the score

std::string readAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Runs a command line; returns its exit status, with stdout and stderr in log.
int runCommand(const std::string& commandLine, const fs::path& log) {
    const int raw = std::system((commandLine + " > " + log.string() + " 2>&1").c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Records the show in data into out, at quality 0.25.
int record(const fs::path& data, const fs::path& out, int fps, const char* mode) {
    fs::create_directories(out);
    return runCommand((kBin / "kvxplay").string() + " --data " + data.string() + " --record " +
                          out.string() + " --fps " + std::to_string(fps) + " --mode " + mode +
                          " --quality 0.25",
                      out / "log");
}

// The two summary lines of a headless run.
struct Summary {
    bool found = false;
    uint64_t frames = 0;
    double showSeconds = 0;
    int beats = -1;
    std::map<std::string, uint64_t> drawn;  // type -> frames
};

Summary parseSummary(const std::string& log) {
    Summary s;
    std::smatch m;
    const std::regex first(R"(kvx: (\d+) frames, ([0-9.]+) s of show, .* (\d+) beats)");
    if (std::regex_search(log, m, first)) {
        s.found = true;
        s.frames = std::stoull(m[1]);
        s.showSeconds = std::stod(m[2]);
        s.beats = std::stoi(m[3]);
    }
    const std::regex second(R"(kvx: drawn: ([^\n]*))");
    if (std::regex_search(log, m, second)) {
        const std::string list = m[1];
        const std::regex entry(R"(([a-z_]+) (\d+))");
        for (std::sregex_iterator i(list.begin(), list.end(), entry), end; i != end; ++i) {
            s.drawn[(*i)[1]] = std::stoull((*i)[2]);
        }
    }
    return s;
}

// Mean and largest colour component of a PNG frame; mean -1 when unreadable.
struct Brightness {
    double mean = -1;
    int brightest = -1;
};

Brightness brightness(const fs::path& p) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Brightness b;
    if (!png_image_begin_read_from_file(&image, p.string().c_str())) {
        return b;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> px(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, px.data(), 0, nullptr) || px.empty()) {
        return b;
    }
    double sum = 0;
    for (uint8_t v : px) {
        sum += v;
    }
    b.mean = sum / static_cast<double>(px.size());
    b.brightest = *std::max_element(px.begin(), px.end());
    return b;
}

// The recorded soundtrack; empty samples when it cannot be read.
kvx::synth::WavData soundtrack(const fs::path& out) {
    const std::string raw = readAll(out / "soundtrack.wav");
    kvx::synth::WavData wav;
    if (!kvx::synth::parseWav(kvx::vfs::Bytes(raw.begin(), raw.end()), wav)) {
        wav.samples.clear();
    }
    return wav;
}

double rms(const kvx::synth::WavData& wav) {
    double sum = 0;
    for (int16_t s : wav.samples) {
        sum += static_cast<double>(s) * s;
    }
    return wav.samples.empty() ? 0.0
                               : std::sqrt(sum / static_cast<double>(wav.samples.size())) / 32768.0;
}

// Every file of the show's folder, as a name relative to it with "/".
std::vector<std::string> showFiles() {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::recursive_directory_iterator i(kShow, ec), end; !ec && i != end; i.increment(ec)) {
        if (i->is_regular_file()) {
            names.push_back(fs::relative(i->path(), kShow).generic_string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The number of layers the script in data builds, -1 when it fails.
int layerCount(const fs::path& data) {
    kvx::vfs::Vfs::reset();
    kvx::vfs::Vfs::setDataDirectory(data.string());
    kvx::effects::registerAll();
    kvx::script::Demo demo("script.zel");
    int count = 0;
    const bool built = demo.buildLayers(count).has_value();
    kvx::vfs::Vfs::reset();
    return built ? count : -1;
}

TEST(ShowcaseShow, PlaysToItsEndHeadlessWithEveryLayerTypePicturesAndSound) {
    TempDir dir;
    const fs::path out = dir.path() / "out";
    ASSERT_EQ(record(kShow, out, 2, "320x180"), 0) << readAll(out / "log");
    const std::string log = readAll(out / "log");
    EXPECT_EQ(log.find("Error"), std::string::npos) << log;

    const Summary s = parseSummary(log);
    ASSERT_TRUE(s.found) << log;
    EXPECT_GE(s.showSeconds * 1000.0, kDurationMs);
    EXPECT_EQ(s.beats, kBeats) << log;
    for (int t = 0; t < kvx::layers::LayerFactory::kTypeCount; ++t) {
        const char* type = kvx::layers::LayerFactory::keyword(t);
        EXPECT_GE(s.drawn.count(type) != 0 ? s.drawn.at(type) : 0u, 1u) << type << "\n" << log;
    }

    // Frame k shows k * 500 ms. Between the veil lifting and falling every
    // frame shows something bright, and the show as a whole is not dark.
    size_t frames = 0;
    double meanSum = 0;
    int shown = 0;
    for (uint64_t k = 0; k < s.frames; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%05llu.png", static_cast<unsigned long long>(k));
        const Brightness b = brightness(out / name);
        ASSERT_GE(b.mean, 0.0) << name << " is missing or unreadable";
        ++frames;
        const uint64_t ms = k * 500;
        if (ms >= 3000 && ms <= 96000) {
            EXPECT_GT(b.brightest, 60) << name << " is black";
            EXPECT_GT(b.mean, 3.0) << name << " is nearly black";
            meanSum += b.mean;
            ++shown;
        }
    }
    EXPECT_EQ(frames, s.frames);
    EXPECT_GT(meanSum / static_cast<double>(std::max(shown, 1)), 40.0);

    // The soundtrack lasts as long as the frames and is not silent.
    const kvx::synth::WavData wav = soundtrack(out);
    ASSERT_GT(wav.channels, 0);
    EXPECT_EQ(wav.samples.size() / static_cast<size_t>(wav.channels),
              static_cast<size_t>(s.frames) * 500u * 441u / 10u);
    EXPECT_GT(rms(wav), 0.03);
}

// kvxplay started without options in build/bin reads the pack beside it,
// which holds exactly the files of the show's folder.
TEST(ShowcaseShow, PackNamedAfterThePlayerHoldsTheShowAndIsFoundWhereItRuns) {
    TempDir dir;
    ASSERT_EQ(runCommand((kBin / "kvxpack").string() + " list " + (kBin / "kvxplay.kvx").string(),
                         dir.path() / "list"),
              0);
    const std::string list = readAll(dir.path() / "list");
    const std::vector<std::string> files = showFiles();
    ASSERT_FALSE(files.empty());
    for (const std::string& name : files) {
        EXPECT_NE(list.find(name), std::string::npos) << name << " is not in the pack\n" << list;
    }
    EXPECT_EQ(static_cast<size_t>(std::count(list.begin(), list.end(), '\n')), files.size())
        << list;

    ASSERT_EQ(runCommand("cd " + kBin.string() + " && ./kvxplay --check", dir.path() / "check"), 0)
        << readAll(dir.path() / "check");
    const std::string check = readAll(dir.path() / "check");
    EXPECT_NE(check.find("duration: 99840 ms"), std::string::npos) << check;
    EXPECT_NE(check.find("layers in drawing order: " + std::to_string(layerCount(kShow))),
              std::string::npos)
        << check;
}

// A scene file with a typo (a parameter without its "=") breaks the whole
// script: the player takes the "Error!" path and names the file and line.
TEST(ShowcaseShow, BrokenScenePartTakesTheErrorPathWithItsDiagnostic) {
    TempDir dir;
    const fs::path data = dir.path() / "data";
    fs::copy(kShow, data, fs::copy_options::recursive);
    std::string scene = readAll(data / "scenes" / "forge.zel");
    const size_t typo = scene.find("filename = \"torus.msh\";");
    ASSERT_NE(typo, std::string::npos);
    scene.erase(typo + 9, 1);  // filename "torus.msh";
    const auto line = std::count(scene.begin(), scene.begin() + typo, '\n') + 1;
    std::ofstream(data / "scenes" / "forge.zel", std::ios::binary | std::ios::trunc) << scene;

    EXPECT_EQ(record(data, dir.path() / "out", 1, "160x90"), 1);
    const std::string log = readAll(dir.path() / "out" / "log");
    EXPECT_NE(log.find("Error!"), std::string::npos) << log;
    EXPECT_NE(log.find("scenes/forge.zel:" + std::to_string(line) + ":"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "frame_00000.png"));
}

// ---- the show without one of its files ------------------------------------

class ShowcaseWithout : public ::testing::TestWithParam<std::string> {};

TEST_P(ShowcaseWithout, StillPlaysWhatIsLeft) {
    const std::string& missing = GetParam();
    TempDir dir;
    const fs::path data = dir.path() / "data";
    const fs::path out = dir.path() / "out";
    fs::copy(kShow, data, fs::copy_options::recursive);
    ASSERT_TRUE(fs::remove(data / missing)) << missing;

    const int status = record(data, out, 1, "160x90");
    const std::string log = readAll(out / "log");
    if (missing == "script.zel") {
        EXPECT_EQ(status, 1) << log;
        EXPECT_NE(log.find("Error!"), std::string::npos) << log;
        EXPECT_NE(log.find("script.zel: error: cannot read the script"), std::string::npos) << log;
        return;
    }
    // Anything else: the show plays to its end.
    ASSERT_EQ(status, 0) << log;
    EXPECT_EQ(log.find("Error"), std::string::npos) << log;
    const Summary s = parseSummary(log);
    ASSERT_TRUE(s.found) << log;
    EXPECT_GE(s.showSeconds * 1000.0, kDurationMs) << log;
    const kvx::synth::WavData wav = soundtrack(out);

    if (missing == "music.m" || missing == "config.sp") {
        // No music: a silent show without beats.
        EXPECT_EQ(s.beats, 0) << log;
        EXPECT_FALSE(wav.samples.empty());
        EXPECT_EQ(rms(wav), 0.0);
        EXPECT_EQ(s.drawn.size(), static_cast<size_t>(kvx::layers::LayerFactory::kTypeCount));
        return;
    }
    EXPECT_EQ(s.beats, kBeats) << log;
    EXPECT_GT(rms(wav), 0.03);
    if (fs::path(missing).extension() == ".zel") {
        // An included part that is gone takes its layers with it.
        const int left = layerCount(data);
        EXPECT_GE(left, 0);
        EXPECT_LT(left, layerCount(kShow));
    } else {
        // A missing image, mesh, material or skin degrades only its layers:
        // every layer is still built and every type drawn.
        EXPECT_EQ(layerCount(data), layerCount(kShow));
        EXPECT_EQ(s.drawn.size(), static_cast<size_t>(kvx::layers::LayerFactory::kTypeCount))
            << log;
    }
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(EachFile, ShowcaseWithout, ::testing::ValuesIn(showFiles()), testName);

}  // namespace
