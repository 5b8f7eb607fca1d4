// kvxplay's command line, run as a separate process.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "synth/WavWriter.h"

namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string output;  // stdout and stderr together
};

// Runs kvxplay with args through the shell; env is put before it
// ("NAME=value ...").
Result run(const std::string& args, const std::string& env = "") {
    const std::string cmd = env + " SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
                            std::string(KVX_BIN_DIR) + "/kvxplay " + args + " 2>&1";
    Result r;
    FILE* pipe = popen(cmd.c_str(), "r");
    if (pipe == nullptr) {
        return r;
    }
    std::array<char, 512> buf;
    while (fgets(buf.data(), static_cast<int>(buf.size()), pipe) != nullptr) {
        r.output += buf.data();
    }
    const int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

class KvxplayCli : public ::testing::Test {
  protected:
    void SetUp() override {
        // ctest runs the cases in parallel: each gets its own folder.
        dir_ = fs::temp_directory_path() /
               ("kvx_cli_test_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    void script(const std::string& text) { std::ofstream(dir_ / "script.zel") << text; }
    std::string data() const { return "--data " + dir_.string(); }

    fs::path dir_;
};

const char* kShortShow =
    "<ZEL><DECLARATIONS>DURATION = 200;</DECLARATIONS><SCRIPT>"
    "<LAYER>$TYPE = \"fadelayer\"; $END = 200;</LAYER>"
    "<LAYER>$TYPE = \"plasma\"; $END = 200; <PARAM>nPoints = 8;</PARAM></LAYER>"
    "</SCRIPT></ZEL>";

TEST_F(KvxplayCli, VersionAndHelp) {
    Result r = run("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("kvxplay "), std::string::npos);
    r = run("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("--record"), std::string::npos);
    // The live authoring options and the keys that steer a show.
    for (const char* word : {"--watch", "--start-at", "--overlay", "Space", "Shift", "Home",
                             "Backspace", "F1", "60 frames per second"}) {
        EXPECT_NE(r.output.find(word), std::string::npos) << word;
    }
    EXPECT_NE(run("--no-such-option").status, 0);
}

TEST_F(KvxplayCli, HeadlessPlaysToTheEndAndSummarises) {
    script(kShortShow);
    Result r = run("--headless " + data());
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(" frames, "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(" beats"), std::string::npos);
}

TEST_F(KvxplayCli, CheckReportsTheScript) {
    script(kShortShow);
    EXPECT_EQ(run("--check " + data()).status, 0);
    script("<ZEL><SCRIPT><LAYER>$TYPE = ;</LAYER></SCRIPT></ZEL>");
    EXPECT_EQ(run("--check " + data()).status, 1);
}

TEST_F(KvxplayCli, BrokenScriptShowsTheErrorAndFails) {
    script("<ZEL><SCRIPT><LAYER>$TYPE = ;</LAYER></SCRIPT></ZEL>");
    Result r = run("--headless " + data());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("kvx: Error!"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("script.zel:1:"), std::string::npos) << r.output;
}

TEST_F(KvxplayCli, BadArgumentsFail) {
    script(kShortShow);
    EXPECT_EQ(run("--headless --data " + (dir_ / "missing").string()).status, 1);
    EXPECT_EQ(run("--headless --pack " + (dir_ / "script.zel").string()).status, 1);
    Result r = run("--headless --mode 800by600 " + data());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("--mode"), std::string::npos);
    EXPECT_EQ(run("--headless --mode 320x200:15 " + data()).status, 1);
    EXPECT_NE(run("--headless --quality 8 " + data()).status, 0);
    EXPECT_NE(run("--windowed --fullscreen " + data()).status, 0);
    EXPECT_EQ(run("--headless --mode 320x200:16 --quality 0.25 " + data()).status, 0);
}

TEST_F(KvxplayCli, ScreenshotPastTheEndOfTheShowFails) {
    script(kShortShow);
    const fs::path shot = dir_ / "shot.png";
    Result r = run("--headless --mode 160x120 --screenshot " + shot.string() +
                   " --screenshot-at 5000 " + data());
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("the show ended at"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(shot));
    // Within the show it is written.
    r = run("--headless --mode 160x120 --screenshot " + shot.string() + " --screenshot-at 100 " +
            data());
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(fs::exists(shot));
}

TEST_F(KvxplayCli, RecordsFramesAndSound) {
    script(kShortShow);
    const fs::path out = dir_ / "rec";
    Result r = run("--record " + out.string() + " --fps 20 --mode 160x120 " + data());
    ASSERT_EQ(r.status, 0) << r.output;
    // Frames at 0, 50, ..., 200 and 250.
    EXPECT_TRUE(fs::exists(out / "frame_00005.png"));
    EXPECT_FALSE(fs::exists(out / "frame_00006.png"));
    EXPECT_TRUE(fs::exists(out / "soundtrack.wav"));
}

TEST_F(KvxplayCli, StartAtRecordsTheRestOfTheShow) {
    script(kShortShow);
    const fs::path out = dir_ / "rec";
    Result r =
        run("--record " + out.string() + " --fps 20 --start-at 100 --mode 160x120 " + data());
    ASSERT_EQ(r.status, 0) << r.output;
    // Frames 2 .. 5 of the whole recording (100, 150, 200, 250 ms).
    EXPECT_TRUE(fs::exists(out / "frame_00003.png"));
    EXPECT_FALSE(fs::exists(out / "frame_00004.png"));
    EXPECT_NE(run("--headless --start-at -5 " + data()).status, 0);
}

TEST_F(KvxplayCli, BundledExamplePlaysToItsEndWithItsBeats) {
    // On the virtual clock the 8.5 s example takes well under a second.
    const fs::path out = dir_ / "first";
    Result r = run("--record " + out.string() + " --fps 5 --mode 160x120 --quality 0.25 --data " +
                   std::string(KVX_SOURCE_DIR) + "/examples/first");
    ASSERT_EQ(r.status, 0) << r.output;
    // Frames at 0, 200, ..., 8400 and 8600, which ends the show.
    EXPECT_NE(r.output.find("44 frames, 8.600 s of show"), std::string::npos) << r.output;
    // The bass plays two notes a second for four bars.
    EXPECT_NE(r.output.find("16 beats"), std::string::npos) << r.output;
    // The soundtrack is the song, 8.8 s long (44 frames at 5 fps).
    std::ifstream in(out / "soundtrack.wav", std::ios::binary);
    kvx::vfs::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    kvx::synth::WavData wav;
    ASSERT_TRUE(kvx::synth::parseWav(bytes, wav));
    ASSERT_GT(wav.channels, 0);
    EXPECT_EQ(wav.samples.size() / static_cast<size_t>(wav.channels), 8800u * 441u / 10u);
    int peak = 0;
    for (int16_t v : wav.samples) {
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    }
    EXPECT_GT(peak, 1000);
}

TEST_F(KvxplayCli, VideoNeedsFfmpeg) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1") == 0) {
        GTEST_SKIP() << "ffmpeg is installed";
    }
    script(kShortShow);
    Result r = run("--record " + (dir_ / "show.mp4").string() + " " + data());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("ffmpeg"), std::string::npos);
}

TEST_F(KvxplayCli, VideoPathsReachFfmpegAsTheyAre) {
    // A stand-in ffmpeg on the PATH writes its arguments one per line and
    // creates the output file (its last argument).
    const fs::path bin = dir_ / "bin";
    fs::create_directories(bin);
    std::ofstream(bin / "ffmpeg")
        << "#!/bin/sh\n"
           "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$ARGS_OUT\"\n"
           "for last; do :; done\n"
           ": > \"$last\"\n";
    fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
    script(kShortShow);
    // A name a shell would take apart: a quote, a space, a dollar sign.
    const fs::path video = dir_ / "it's a $HOME show.mp4";
    const fs::path argsOut = dir_ / "args.txt";
    Result r = run("--record \"" + dir_.string() +
                       "/it's a \\$HOME show.mp4\" --fps 20 --mode 160x120 " + data(),
                   "PATH=" + bin.string() + ":$PATH ARGS_OUT=" + argsOut.string());
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(fs::exists(video));
    std::ifstream in(argsOut);
    std::vector<std::string> args;
    for (std::string a; std::getline(in, a);) {
        args.push_back(a);
    }
    ASSERT_FALSE(args.empty());
    EXPECT_EQ(args.back(), video.string());
    const auto rate = std::find(args.begin(), args.end(), "-framerate");
    ASSERT_NE(rate, args.end());
    EXPECT_EQ(*(rate + 1), "20");
    const auto input = std::find(args.begin(), args.end(), "-i");
    ASSERT_NE(input, args.end());
    const fs::path frames = *(input + 1);
    EXPECT_EQ(frames.filename(), "frame_%05d.png");
    // The scratch folder of frames is gone once the video is made.
    EXPECT_FALSE(fs::exists(frames.parent_path()));
}

}  // namespace
