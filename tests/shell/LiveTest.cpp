// Live authoring on a headless GL context: a recording started later is the
// tail of the whole recording, keys pause and seek a show exactly, a watched
// script that breaks keeps the last good show until it is mended, and a
// thousand reloads leave memory where it was.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/Globals.h"
#include "layers/LayerFactory.h"
#include "platform/video/Video.h"
#include "shell/FrameStep.h"
#include "shell/PngWriter.h"
#include "shell/Show.h"
#include "shell/Soundtrack.h"
#include "support/SynthTestUtil.h"
#include "synth/Song.h"
#include "synth/WavWriter.h"
#include "vfs/Vfs.h"

namespace kvx::shell {
namespace {

namespace fs = std::filesystem;

std::string fileText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A show's data folder, and runs of it at 160 x 120.
class LiveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(platform::initVideo(true));
        dir_ = fs::temp_directory_path() /
               ("kvx_live_test_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        vfs::Vfs::reset();
        vfs::Vfs::setDataDirectory(dir_.string());
        options_.headless = true;
        options_.pauseMs = 0;
        options_.settings.width = 160;
        options_.settings.height = 120;
        options_.settings.quality = 0.25f;
        platform::KeyPress drop;
        while (platform::takeKeyPress(drop)) {
        }
    }
    void TearDown() override {
        vfs::Vfs::reset();
        fs::remove_all(dir_);
    }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    void copyExample(const std::string& from, const std::string& to) const {
        fs::copy_file(fs::path(KVX_SOURCE_DIR) / from, dir_ / to,
                      fs::copy_options::overwrite_existing);
    }
    // The example show's music, beating on every note of channel slot 0.
    void music() const {
        copyExample("examples/music/config.sp", "config.sp");
        copyExample("examples/music/music.m", "music.m");
    }
    static std::string script(const std::string& layers, int duration) {
        return "<ZEL><DECLARATIONS>DURATION = " + std::to_string(duration) +
               "; BEATEVENT = 0.0; BEATFALLOF = 0.004;</DECLARATIONS><SCRIPT>" + layers +
               "</SCRIPT></ZEL>";
    }
    static std::string layer(const char* type, int start, int end, const std::string& params,
                             const char* blending = "normal", int z = 0) {
        std::ostringstream s;
        s << "<LAYER>$TYPE = \"" << type << "\"; $START = " << start << "; $END = " << end
          << "; $Z = " << z << "; $BLENDING = \"" << blending << "\"; <PARAM>" << params
          << "</PARAM></LAYER>";
        return s.str();
    }
    // Fire under particles, flashed by the beat: state in every layer.
    static std::string busyShow(int duration) {
        return script(
            layer("fire", 0, duration, "nPoints = 24; delay = 15; intensity = 40; max = 600;",
                  "overwrite", 0) +
                layer("particle", 0, duration,
                      "texture = \"spot.tga\"; partcount = 200; seed = 77; rate = 9.0; "
                      "velocity = 0.06; esizex = 150.0; ediry = -1.0; partsize = 0.5; "
                      "partrotz = 0.3;",
                      "additive", 1) +
                layer("fadelayer", 0, duration, "color = {255, 255, 255, 255}; f = 'beat * 0.4';",
                      "additive", 2),
            duration);
    }

    fs::path dir_;
    ShowOptions options_;
    ShowStats stats_;
};

TEST_F(LiveTest, ARecordingStartedLaterIsTheTailOfTheFullRecording) {
    music();
    copyExample("examples/effects/spot.tga", "spot.tga");
    write("script.zel", busyShow(2500));
    options_.fps = 30;
    options_.recordDir = (dir_ / "full").string();
    ASSERT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    const uint64_t fullFrames = stats_.frames;

    options_.recordDir = (dir_ / "tail").string();
    options_.startAt = 1400;  // frame 1400 * 30 / 1000 = 42 of the full recording
    ASSERT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    EXPECT_EQ(stats_.seeks, 1u);
    const uint64_t start = FrameStep{30}.frameAt(1400);
    ASSERT_EQ(start, 42u);
    ASSERT_EQ(stats_.frames, fullFrames - start);
    for (uint64_t k = 0; k < stats_.frames; ++k) {
        char tail[32];
        char full[32];
        std::snprintf(tail, sizeof tail, "frame_%05llu.png", static_cast<unsigned long long>(k));
        std::snprintf(full, sizeof full, "frame_%05llu.png",
                      static_cast<unsigned long long>(k + start));
        ASSERT_EQ(fileText(dir_ / "tail" / tail), fileText(dir_ / "full" / full)) << "frame " << k;
    }

    synth::WavData fullWav;
    synth::WavData tailWav;
    const std::string a = fileText(dir_ / "full" / "soundtrack.wav");
    const std::string b = fileText(dir_ / "tail" / "soundtrack.wav");
    ASSERT_TRUE(synth::parseWav(vfs::Bytes(a.begin(), a.end()), fullWav));
    ASSERT_TRUE(synth::parseWav(vfs::Bytes(b.begin(), b.end()), tailWav));
    const size_t channels = static_cast<size_t>(fullWav.channels);
    const size_t first = static_cast<size_t>(FrameStep{30}.time(start)) * 44100u / 1000u;
    ASSERT_EQ(tailWav.samples.size() + first * channels, fullWav.samples.size());
    EXPECT_TRUE(
        std::equal(tailWav.samples.begin(), tailWav.samples.end(),
                   fullWav.samples.begin() + static_cast<std::ptrdiff_t>(first * channels)));
    // There was something to compare: music in the tail, pictures that move.
    double energy = 0;
    for (int16_t s : tailWav.samples) {
        energy += std::abs(static_cast<double>(s));
    }
    EXPECT_GT(energy / static_cast<double>(tailWav.samples.size()), 100.0);
    EXPECT_NE(fileText(dir_ / "tail" / "frame_00000.png"),
              fileText(dir_ / "tail" / "frame_00010.png"));
}

// The pixels of the frame just composed, and the beat count with it.
struct Shot {
    uint32_t time = 0;
    int beats = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // RGB, top row first (as in a PNG)
    // The colour at (x, y), y counted from the top.
    std::vector<int> at(int x, int y) const {
        const size_t p =
            (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
        return {pixels[p], pixels[p + 1], pixels[p + 2]};
    }
};

Shot shoot(const FrameInfo& info, int width = 160, int height = 120) {
    Shot s;
    s.time = info.time;
    s.beats = core::globals().beatCount.load();
    s.width = width;
    s.height = height;
    readFrame(width, height, s.pixels);
    return s;
}

TEST_F(LiveTest, KeysPauseAndSeekAHeadlessShowExactly) {
    music();
    copyExample("examples/effects/spot.tga", "spot.tga");
    write("script.zel", busyShow(3000));
    const FrameStep step;  // the live seek step, 60 fps
    core::ManualClock clock(0);
    options_.clock = &clock;

    // A straight run along the step: the clock moves one step per frame.
    std::vector<Shot> straight;
    options_.maxFrames = 150;
    options_.onFrame = [&](const FrameInfo& info) {
        EXPECT_EQ(info.time, step.time(straight.size()));
        straight.push_back(shoot(info));
        clock.advance(step.step(straight.size()));
    };
    ASSERT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    ASSERT_EQ(straight.size(), 150u);

    // The same show steered by keys. f is the frame of the step on screen.
    clock.set(0);
    uint64_t f = 0;
    uint64_t seeksSeen = 0;
    uint64_t expectLanding = 0;
    std::vector<Shot> steered;
    std::vector<FrameInfo> infos;
    options_.maxFrames = 80;
    options_.onFrame = [&](const FrameInfo& info) {
        const size_t i = infos.size();
        infos.push_back(info);
        steered.push_back(shoot(info));
        if (info.seeks != seeksSeen) {
            seeksSeen = info.seeks;
            f = expectLanding;
        } else if (!info.again && i > 0) {
            ++f;
        }
        clock.advance(info.paused ? 250 : step.step(f + 1));  // a pause lets real time pass
        if (i == 10) {
            // Right at frame 10 (166 ms): to 1166 ms, frame 69 of the step.
            platform::pushKeyPress(platform::Key::Right);
            expectLanding = step.frameAt(step.time(10) + 1000);
        } else if (i == 20) {
            platform::pushKeyPress(platform::Key::Space);
        } else if (i == 25) {
            platform::pushKeyPress(platform::Key::Space);
        } else if (i == 40) {
            // Shift+Left: 10 s back from about 1.5 s is the start.
            platform::pushKeyPress(platform::Key::Left, true);
            expectLanding = 0;
        }
    };
    ASSERT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    ASSERT_EQ(steered.size(), 80u);
    EXPECT_EQ(stats_.seeks, 2u);

    // The frame after the seek is the straight run's frame 69, and so are
    // those after it, beats included.
    ASSERT_EQ(expectLanding, 0u);
    const uint64_t landing = step.frameAt(step.time(10) + 1000);
    for (size_t i = 11; i <= 20; ++i) {
        const uint64_t k = landing + (i - 11);
        EXPECT_EQ(steered[i].time, straight[k].time) << i;
        EXPECT_EQ(steered[i].beats, straight[k].beats) << i;
        EXPECT_TRUE(steered[i].pixels == straight[k].pixels) << "frame " << i << " vs " << k;
    }
    // Paused from frame 21 until the second Space: the same time and picture.
    for (size_t i = 21; i <= 25; ++i) {
        EXPECT_TRUE(infos[i].paused) << i;
        EXPECT_EQ(steered[i].time, steered[20].time) << i;
        EXPECT_TRUE(steered[i].pixels == steered[20].pixels) << i;
    }
    // Resumed: the show goes on from where it stood, still on the step.
    EXPECT_FALSE(infos[27].paused);
    EXPECT_EQ(steered[27].time, straight[landing + 10].time);
    EXPECT_TRUE(steered[27].pixels == straight[landing + 10].pixels);
    // Back to the start: frame 0 of the straight run.
    EXPECT_EQ(steered[41].time, 0u);
    EXPECT_TRUE(steered[41].pixels == straight[0].pixels);
    EXPECT_TRUE(steered[45].pixels == straight[4].pixels);
}

// The audio device of a live show, where the test can listen.
test::LockedAudioDevice* liveDevice = nullptr;
std::unique_ptr<synth::AudioDevice> makeLiveDevice() {
    auto d = std::make_unique<test::LockedAudioDevice>();
    liveDevice = d.get();
    return d;
}

TEST_F(LiveTest, SpacePausesTheMusicOfALiveShowWithItsPicture) {
    music();
    write("script.zel", script(layer("plasma", 0, 60000, "nPoints = 8;"), 60000));
    Soundtrack::setLiveAudio(&makeLiveDevice, nullptr);
    options_.headless = false;  // the music thread plays into the device
    core::ManualClock clock(0);
    options_.clock = &clock;
    options_.maxFrames = 40;
    // What the device got while the test waited a little, in real time.
    const auto listen = [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        liveDevice->take();  // what was on its way already
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        return liveDevice->take();
    };
    std::vector<std::vector<int16_t>> heard(40);
    std::vector<FrameInfo> infos;
    options_.onFrame = [&](const FrameInfo& info) {
        infos.push_back(info);
        clock.advance(20);
        const size_t i = infos.size() - 1;
        if (i == 5 || i == 15 || i == 25 || i == 35) {
            heard[i] = listen();
        }
        if (i == 10 || i == 20) {
            platform::pushKeyPress(platform::Key::Space);
        } else if (i == 30) {
            platform::pushKeyPress(platform::Key::Right, true);
        }
    };
    const int status = runShow(options_, &stats_);
    Soundtrack::setLiveAudio(nullptr, nullptr);
    ASSERT_EQ(status, 0) << stats_.error;
    ASSERT_EQ(infos.size(), 40u);
    EXPECT_TRUE(infos[15].paused);
    EXPECT_FALSE(infos[25].paused);
    EXPECT_EQ(stats_.seeks, 1u);
    EXPECT_EQ(infos[31].time, FrameStep{}.time(FrameStep{}.frameAt(infos[30].time + 10000)));
    // Music before the pause, silence (still queued, so no gap) during it,
    // music again after it. The seek to 10 s lands past the end of the
    // 8-second song: the player took the state of that time, all notes over.
    for (size_t i : {5u, 15u, 25u, 35u}) {
        EXPECT_GT(heard[i].size(), 1000u) << i;
    }
    EXPECT_GT(test::rms(heard[5]), 100.0);
    EXPECT_EQ(test::rms(heard[15]), 0.0);
    EXPECT_GT(test::rms(heard[25]), 100.0);
    EXPECT_EQ(test::rms(heard[35]), 0.0);
}

TEST_F(LiveTest, ALoopRangeRepeatsUntilClearedAndF1ShowsTheOverlay) {
    write("script.zel", script(layer("fadelayer", 0, 5000, "color = {0, 0, 255, 255};"), 5000));
    const FrameStep step;
    core::ManualClock clock(0);
    options_.clock = &clock;
    options_.maxFrames = 120;
    std::vector<FrameInfo> infos;
    std::vector<Shot> shots;
    options_.onFrame = [&](const FrameInfo& info) {
        infos.push_back(info);
        shots.push_back(shoot(info));
        clock.advance(50);
        const size_t i = infos.size() - 1;
        if (i == 4) {
            platform::pushKeyPress(platform::Key::LoopStart);  // at 200 ms
        } else if (i == 10) {
            platform::pushKeyPress(platform::Key::LoopEnd);  // at 500 ms
        } else if (i == 60) {
            platform::pushKeyPress(platform::Key::Backspace);
        } else if (i == 70) {
            platform::pushKeyPress(platform::Key::F1);
        }
    };
    ASSERT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    // Between the two brackets and the clearing, time stays in 200 .. 500.
    int loops = 0;
    for (size_t i = 12; i <= 60; ++i) {
        EXPECT_GE(infos[i].time, step.time(step.frameAt(200))) << i;
        EXPECT_LE(infos[i].time, 500u + 50u) << i;
        loops += infos[i].time < infos[i - 1].time;
    }
    EXPECT_GE(loops, 5);
    // Cleared: time runs on past the end of the range.
    EXPECT_GT(infos[119].time, 1500u);
    // F1: the overlay's dark box over the blue picture's top-left corner.
    EXPECT_FALSE(infos[70].overlay);
    EXPECT_TRUE(infos[72].overlay);
    EXPECT_GT(shots[70].at(10, 10)[2], 200);  // plain blue
    EXPECT_LT(shots[72].at(10, 10)[2], 140);  // under the box
    // Text in the box: some pixels far brighter than the box.
    int bright = 0;
    for (int y = 8; y < 40; ++y) {
        for (int x = 8; x < 150; ++x) {
            const auto px = shots[72].at(x, y);
            bright += px[0] > 180 && px[1] > 180;
        }
    }
    EXPECT_GT(bright, 20);
}

TEST_F(LiveTest, ABrokenScriptKeepsTheLastGoodShowUntilItIsMended) {
    const std::string red =
        script(layer("fadelayer", 0, 10000, "color = {255, 0, 0, 255};"), 10000);
    const std::string green =
        script(layer("fadelayer", 0, 10000, "color = {0, 255, 0, 255};"), 10000);
    write("script.zel", red);
    // Room for the diagnostic's box under the picture's middle.
    options_.settings.width = 320;
    options_.settings.height = 240;
    options_.recordDir = (dir_ / "out").string();
    options_.fps = 30;
    options_.watch = true;
    options_.maxFrames = 16;
    std::vector<FrameInfo> infos;
    std::vector<Shot> shots;
    options_.onFrame = [&](const FrameInfo& info) {
        infos.push_back(info);
        shots.push_back(shoot(info, 320, 240));
        if (infos.size() == 5) {
            // A save with a LAYER type left empty, on line 1.
            write("script.zel", "<ZEL><SCRIPT><LAYER>$TYPE = ;</SCRIPT></ZEL>");
        } else if (infos.size() == 10) {
            write("script.zel", green);
        }
    };
    testing::internal::CaptureStderr();
    ASSERT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_EQ(infos.size(), 16u);
    EXPECT_EQ(stats_.failedReloads, 1u);
    EXPECT_EQ(stats_.reloads, 1u);
    EXPECT_NE(said.find("script.zel:1:"), std::string::npos) << said;
    EXPECT_NE(said.find("error:"), std::string::npos) << said;

    // Broken: red goes on, time goes on, the error sits along the bottom.
    for (size_t i = 5; i < 10; ++i) {
        EXPECT_TRUE(infos[i].errorShown) << i;
        EXPECT_GT(infos[i].time, infos[i - 1].time) << i;
        EXPECT_EQ(shots[i].at(160, 40), (std::vector<int>{255, 0, 0})) << i;
        EXPECT_EQ(shots[i].at(4, 200), (std::vector<int>{255, 0, 0})) << i;  // the margin
    }
    // The error box: its dark red differs from the picture above it.
    EXPECT_NE(shots[6].at(20, 225), shots[6].at(20, 40));
    // Mended: green, no error, and the show time went on through it all.
    for (size_t i = 10; i < 16; ++i) {
        EXPECT_FALSE(infos[i].errorShown) << i;
        EXPECT_EQ(shots[i].at(160, 40), (std::vector<int>{0, 255, 0})) << i;
        EXPECT_EQ(shots[i].at(20, 225), (std::vector<int>{0, 255, 0})) << i;
    }
    EXPECT_EQ(infos[15].time, FrameStep{30}.time(15));
}

TEST_F(LiveTest, AChangedSongIsLoadedAgainAndReplayed) {
    music();  // the bass beats every 500 ms
    write("script.zel", script(layer("fadelayer", 0, 3000, "f = 'beat';"), 3000));
    options_.recordDir = (dir_ / "out").string();
    options_.fps = 30;
    options_.watch = true;
    options_.maxFrames = 21;
    std::vector<int> beats;
    options_.onFrame = [&](const FrameInfo&) {
        beats.push_back(core::globals().beatCount.load());
        if (beats.size() == 5) {
            // A note on channel 0 every 50 ms instead.
            std::vector<synth::SongEvent> events;
            for (int32_t t = 0; t < 3000; t += 50) {
                events.push_back({t, 0x90, 36, 100});
            }
            const vfs::Bytes song = synth::writeSong(events);
            std::ofstream(dir_ / "music.m", std::ios::binary)
                .write(reinterpret_cast<const char*>(song.data()),
                       static_cast<std::streamsize>(song.size()));
        }
    };
    ASSERT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    EXPECT_EQ(stats_.reloads, 1u);
    EXPECT_LE(beats[4], 1);  // 133 ms of the old song: its first beat at most
    // At 666 ms the new song has had its notes at 0, 50, ..., 650: 14 beats,
    // replayed from 0 after the reload.
    EXPECT_EQ(beats[20], 14);
}

// A layer that holds a GL texture while prepared; the counts say whether
// every replaced layer gave its texture back.
class TextureLayer final : public layers::Layer {
  public:
    bool loadParameters(const layers::LayerDesc&) override { return true; }
    bool prepare() override {
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        std::vector<uint8_t> texels(64 * 64 * 4, 200);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     texels.data());
        ++live;
        return true;
    }
    void draw() override {}
    bool release() override {
        if (texture_ != 0) {
            glDeleteTextures(1, &texture_);
            texture_ = 0;
            --live;
        }
        return true;
    }
    static inline int live = 0;

  private:
    GLuint texture_ = 0;
};

// Resident memory of this process, in bytes.
size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

TEST_F(LiveTest, AThousandReloadsLeaveMemoryFlat) {
    // Only the show's own keywords can be registered; this one stands in.
    ASSERT_TRUE(layers::LayerFactory::registerType(
        "object", [] { return std::unique_ptr<layers::Layer>(std::make_unique<TextureLayer>()); }));
    TextureLayer::live = 0;
    const auto show = [](int n) {
        return script(
            layer("object", 0, 100000, "") +
                layer("plasma", 0, 100000, "nPoints = 8; f1 = " + std::to_string(n % 7) + ";") +
                layer("fadelayer", 0, 100000, "color = {0, 0, 255, 255}; f = 0.5;"),
            100000);
    };
    write("script.zel", show(0));
    core::ManualClock clock(0);
    options_.clock = &clock;
    options_.watch = true;
    options_.maxFrames = 1004;
    size_t atHundred = 0;
    uint64_t reloads = 0;
    options_.onFrame = [&](const FrameInfo& info) {
        reloads = info.reloads;
        EXPECT_EQ(TextureLayer::live, 1);
        if (info.reloads == 100 && atHundred == 0) {
            atHundred = residentBytes();
        }
        clock.advance(3);  // the show moves on: each reload replays more frames
        write("script.zel", show(static_cast<int>(info.index) + 1));
    };
    ASSERT_EQ(runShow(options_, &stats_), 0) << stats_.error;
    const size_t atEnd = residentBytes();
    layers::LayerFactory::clearRegistrations();
    EXPECT_GE(reloads, 1000u);
    EXPECT_EQ(stats_.failedReloads, 0u);
    EXPECT_EQ(TextureLayer::live, 0);  // every texture went, the last at shutdown
    ASSERT_GT(atHundred, 0u);
    // 900 reloads later: within 3 MB (a leaked 64 x 64 texture per reload
    // alone would be 14 MB).
    EXPECT_LT(atEnd, atHundred + (3u << 20)) << atHundred << " -> " << atEnd;
}

}  // namespace
}  // namespace kvx::shell
