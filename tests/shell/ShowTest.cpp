// The whole player on a headless GL context: start-up, the frame loop's end
// conditions, failures and their exit status, and recording.
#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "core/Globals.h"
#include "core/Timer.h"
#include "layers/LayerFactory.h"
#include "platform/video/Video.h"
#include "shell/CommandLine.h"
#include "shell/Show.h"
#include "support/TempDir.h"
#include "synth/WavWriter.h"
#include "vfs/Vfs.h"

namespace kvx::shell {
namespace {

namespace fs = std::filesystem;

// A data folder holding one script.
class ShowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(platform::initVideo(true));
        dir_ = tempDir_.path();
        vfs::Vfs::reset();
        vfs::Vfs::setDataDirectory(dir_.string());
        options_.headless = true;
        options_.pauseMs = 0;
        options_.settings.width = 160;
        options_.settings.height = 120;
        options_.settings.quality = 0.25f;
    }
    void TearDown() override { vfs::Vfs::reset(); }
    void script(const std::string& layers, int duration) {
        std::ofstream(dir_ / "script.zel")
            << "<ZEL><DECLARATIONS>DURATION = " << duration << ";</DECLARATIONS><SCRIPT>" << layers
            << "</SCRIPT></ZEL>";
    }
    static std::string layer(const char* type, int start, int end, const char* params = "") {
        std::ostringstream s;
        s << "<LAYER>$TYPE = \"" << type << "\"; $START = " << start << "; $END = " << end
          << "; <PARAM>" << params << "</PARAM></LAYER>";
        return s.str();
    }
    // The largest colour component of a PNG file, -1 when unreadable.
    static int brightest(const fs::path& p) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, p.string().c_str())) {
            return -1;
        }
        image.format = PNG_FORMAT_RGB;
        std::vector<uint8_t> px(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, px.data(), 0, nullptr)) {
            return -1;
        }
        EXPECT_EQ(image.width, 160u);
        EXPECT_EQ(image.height, 120u);
        return *std::max_element(px.begin(), px.end());
    }
    static std::vector<char> bytes(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    }

    test::TempDir tempDir_;  // a folder of its own, removed after the test
    fs::path dir_;
    ShowOptions options_;
    ShowStats stats_;
};

TEST_F(ShowTest, PlaysFadeAndPlasmaToTheDuration) {
    script(layer("plasma", 0, 300, "nPoints = 16;") + layer("fadelayer", 0, 300, "f = 0.5;"), 300);
    EXPECT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    EXPECT_GT(stats_.frames, 1u);
    EXPECT_GT(stats_.showTime, 300u);  // the last frame drawn is the one past the end
    EXPECT_EQ(stats_.layers, 2);
    EXPECT_FALSE(stats_.escaped);
    EXPECT_GE(stats_.worstFrameMs, stats_.averageFrameMs * 0.999);
    EXPECT_NE(formatSummary(stats_).find("frames"), std::string::npos);
}

TEST_F(ShowTest, EscapeEndsTheShowAtOnce) {
    script(layer("fadelayer", 0, 100000), 100000);
    platform::pushEscapePress();
    EXPECT_EQ(runShow(options_, &stats_), 0);
    EXPECT_TRUE(stats_.escaped);
    EXPECT_EQ(stats_.frames, 0u);
}

TEST_F(ShowTest, ClosingTheWindowDoesNotEndTheShow) {
    script(layer("fadelayer", 0, 150), 150);
    // One millisecond of show time per frame: the loop takes one message a
    // frame, so the request is reached behind the window's own events
    // however slowly the frames are drawn.
    core::ManualClock clock;
    options_.clock = &clock;
    options_.onFrame = [&clock](const FrameInfo&) { clock.advance(1); };
    const int before = platform::quitRequests();
    platform::pushQuitRequest();
    EXPECT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    // The request was taken from the queue, yet the show ran to its end.
    EXPECT_EQ(platform::quitRequests(), before + 1);
    EXPECT_FALSE(stats_.escaped);
    EXPECT_GT(stats_.showTime, 150u);
}

TEST_F(ShowTest, MissingOrBrokenScriptFailsWithStatusOne) {
    EXPECT_EQ(runShow(options_, &stats_), 1);
    EXPECT_FALSE(stats_.error.empty());
    std::ofstream(dir_ / "script.zel") << "<ZEL><SCRIPT><LAYER>$TYPE = ;</SCRIPT></ZEL>";
    EXPECT_EQ(runShow(options_, &stats_), 1);
    EXPECT_EQ(stats_.frames, 0u);
}

TEST_F(ShowTest, ScriptWithoutUsableLayersRunsBlackFrames) {
    script(layer("nosuchtype", 0, 100), 50);
    EXPECT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    EXPECT_EQ(stats_.layers, 0);
    EXPECT_GT(stats_.frames, 0u);
}

// A layer whose prepare fails when its "fail" parameter is 1.
class FailingLayer final : public layers::Layer {
  public:
    bool loadParameters(const layers::LayerDesc& desc) override {
        fail = desc.findTrack("fail").current().intValue;
        return true;
    }
    bool prepare() override {
        ++prepared;
        return fail == 0;
    }
    void draw() override { ++drawn; }
    int fail = 0;
    static int prepared;
    static int drawn;
};
int FailingLayer::prepared = 0;
int FailingLayer::drawn = 0;

TEST_F(ShowTest, AFailedPrepareStillPreparesTheRestAndSkipsTheShow) {
    layers::LayerFactory::registerType(
        "wipe", [] { return std::unique_ptr<layers::Layer>(std::make_unique<FailingLayer>()); });
    FailingLayer::prepared = 0;
    FailingLayer::drawn = 0;
    script(layer("wipe", 0, 1000, "fail = 0;") + layer("wipe", 0, 1000, "fail = 1;") +
               layer("wipe", 0, 1000, "fail = 0;"),
           1000);
    EXPECT_EQ(runShow(options_, &stats_), 1);
    EXPECT_TRUE(stats_.prepareFailed);
    EXPECT_EQ(FailingLayer::prepared, 3);
    EXPECT_EQ(FailingLayer::drawn, 0);
    EXPECT_EQ(stats_.frames, 0u);
    layers::LayerFactory::clearRegistrations();
}

TEST_F(ShowTest, MaxFramesAndScreenshotEndEarly) {
    script(layer("fadelayer", 0, 100000), 100000);
    options_.maxFrames = 3;
    EXPECT_EQ(runShow(options_, &stats_), 0);
    EXPECT_EQ(stats_.frames, 3u);

    options_.maxFrames = 0;
    options_.screenshot = (dir_ / "shot.png").string();
    EXPECT_EQ(runShow(options_, &stats_), 0);
    EXPECT_EQ(stats_.frames, 1u);
    const auto png = bytes(dir_ / "shot.png");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
}

TEST_F(ShowTest, AScreenshotAfterTheEndFailsAndSaysSo) {
    script(layer("fadelayer", 0, 100), 100);
    options_.screenshot = (dir_ / "shot.png").string();
    options_.screenshotAt = 5000;
    testing::internal::CaptureStderr();
    EXPECT_EQ(runShow(options_, &stats_), 1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("before the screenshot time 5000 ms"), std::string::npos) << said;
    EXPECT_NE(stats_.error.find("ended"), std::string::npos) << stats_.error;
    EXPECT_GT(stats_.frames, 0u);  // the show itself ran to its end
    EXPECT_FALSE(fs::exists(dir_ / "shot.png"));

    // Left with Escape before the time: the same failure, told as such.
    platform::pushEscapePress();
    EXPECT_EQ(runShow(options_, &stats_), 1);
    EXPECT_NE(stats_.error.find("was left"), std::string::npos) << stats_.error;
}

TEST_F(ShowTest, ModeFlagSetsTheLayersAspectToWidthOverHeight) {
    script(layer("fadelayer", 0, 0), 0);
    // The options as kvxplay's command line gives them; the aspect start-up
    // hands every layer is the process-wide one.
    auto played = [this](std::vector<std::string> args) {
        args.insert(args.begin(), "kvxplay");
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        CommandLine line;
        EXPECT_EQ(parseCommandLine(static_cast<int>(argv.size()), argv.data(), "test", line), -1);
        EXPECT_FALSE(line.launcher);
        line.show.headless = true;
        line.show.pauseMs = 0;
        line.show.maxFrames = 1;
        core::globals().aspectRatio.store(0.0f);
        EXPECT_EQ(runShow(line.show, &stats_), 0) << stats_.error;
        return core::globals().aspectRatio.load();
    };
    EXPECT_FLOAT_EQ(played({"--mode", "320x180"}), 320.0f / 180.0f);
    EXPECT_FLOAT_EQ(played({"--mode", "200x200:16"}), 1.0f);
    // Without a mode the aspect is the launcher's, 4:3.
    EXPECT_FLOAT_EQ(played({"--windowed"}), 4.0f / 3.0f);
}

class RecordTest : public ShowTest {};

TEST_F(RecordTest, TwoSecondsAtThirtyFpsWritesEveryFrameAndTheSoundtrack) {
    script(layer("plasma", 0, 2000, "nPoints = 12;"), 2000);
    options_.recordDir = (dir_ / "out").string();
    options_.fps = 30;
    ASSERT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    // Frames at 0, 33, ..., 2000 and the one at 2033 that ends the show.
    EXPECT_EQ(stats_.frames, 62u);
    int pngs = 0;
    for (const auto& e : fs::directory_iterator(options_.recordDir)) {
        pngs += e.path().extension() == ".png";
    }
    EXPECT_EQ(pngs, 62);
    const fs::path first = fs::path(options_.recordDir) / "frame_00000.png";
    const fs::path last = fs::path(options_.recordDir) / "frame_00061.png";
    EXPECT_TRUE(fs::exists(first));
    EXPECT_TRUE(fs::exists(last));
    // The frame at 2000 ms still shows the layer; the one after is black.
    EXPECT_GT(brightest(first), 40);
    EXPECT_GT(brightest(fs::path(options_.recordDir) / "frame_00060.png"), 40);
    EXPECT_EQ(brightest(last), 0);

    synth::WavData wav;
    const auto raw = bytes(fs::path(options_.recordDir) / "soundtrack.wav");
    ASSERT_TRUE(synth::parseWav(vfs::Bytes(raw.begin(), raw.end()), wav));
    EXPECT_EQ(wav.sampleRate, 44100);
    // 62 frames at 30 fps: 2066 ms of sound.
    EXPECT_EQ(wav.samples.size() / static_cast<size_t>(wav.channels), 2066u * 441u / 10u);

    // The same show records the same frames.
    const auto before = bytes(fs::path(options_.recordDir) / "frame_00030.png");
    ASSERT_EQ(runShow(options_, &stats_), 0);
    EXPECT_EQ(bytes(fs::path(options_.recordDir) / "frame_00030.png"), before);
}

TEST_F(RecordTest, DurationZeroEndsAfterTheFirstFrameThatPassesIt) {
    script(layer("fadelayer", 0, 0), 0);
    options_.recordDir = (dir_ / "out").string();
    options_.fps = 10;
    ASSERT_EQ(runShow(options_, &stats_), 0);
    // Time 0 is drawn (0 is not past 0), then the frame at 100 ms, then the end.
    EXPECT_EQ(stats_.frames, 2u);
    EXPECT_EQ(stats_.showTime, 100u);
}

// The second summary line counts the frames each type was drawn in: two
// overlapping layers of one type count a frame once, and a type the factory
// does not know is not counted.
TEST_F(RecordTest, DrawnSummaryCountsFramesPerLayerType) {
    script(layer("plasma", 0, 1000, "nPoints = 12;") + layer("fadelayer", 200, 500) +
               layer("fadelayer", 400, 700) + layer("nosuchtype", 0, 1000),
           1000);
    options_.recordDir = (dir_ / "out").string();
    options_.fps = 10;
    ASSERT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    // Frames at 0, 100, ..., 1000 and the one at 1100 that ends the show.
    EXPECT_EQ(stats_.frames, 12u);
    const auto index = [](const char* type) {
        return static_cast<size_t>(layers::LayerFactory::typeIndex(type));
    };
    EXPECT_EQ(stats_.typeFrames[index("plasma")], 11u);
    EXPECT_EQ(stats_.typeFrames[index("fadelayer")], 6u);  // 200 to 700 ms
    EXPECT_EQ(formatDrawnSummary(stats_), "kvx: drawn: plasma 11, fadelayer 6");
    // The first line keeps its form.
    EXPECT_EQ(formatSummary(stats_).rfind("kvx: 12 frames, 1.100 s of show,", 0), 0u);

    script(layer("nosuchtype", 0, 100), 100);
    ASSERT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    EXPECT_EQ(formatDrawnSummary(stats_), "kvx: drawn: nothing");
}

TEST_F(RecordTest, BadFrameRateOrFolderFails) {
    script(layer("fadelayer", 0, 0), 0);
    options_.recordDir = (dir_ / "out").string();
    options_.fps = 0;
    EXPECT_EQ(runShow(options_, &stats_), 1);
    options_.fps = 30;
    std::ofstream(dir_ / "file") << "x";
    options_.recordDir = (dir_ / "file" / "sub").string();
    EXPECT_EQ(runShow(options_, &stats_), 1);
}

}  // namespace
}  // namespace kvx::shell
