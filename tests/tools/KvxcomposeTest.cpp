// kvxcompose as a user runs it: small scores give known MIDI bytes, the
// events a MIDI reader sees, the section table; bad scores give
// "file:line: error:" and status 1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/ToolRun.h"
#include "synth/MidiImport.h"

namespace {

using kvx::synth::SongEvent;
using kvx::test::readFileBytes;
using kvx::test::TempDir;
using kvx::test::ToolRun;

ToolRun kvxcompose(const std::string& args) {
    return kvx::test::runTool("kvxcompose", args);
}

// Composes `score` and reads the MIDI file back as timed events (ms).
std::vector<SongEvent> compose(const TempDir& dir, const std::string& score) {
    dir.write("s.txt", score);
    const ToolRun r = kvxcompose(dir / "s.txt" + " " + dir / "s.mid");
    EXPECT_EQ(r.status, 0) << r.out;
    std::vector<SongEvent> events;
    std::string error;
    EXPECT_TRUE(kvx::synth::importMidi(readFileBytes(dir / "s.mid"), events, error)) << error;
    return events;
}

bool has(const std::vector<SongEvent>& events, int time, int status, int data1, int data2) {
    for (const SongEvent& e : events) {
        if (e.time == time && e.status == status && e.data1 == data1 && e.data2 == data2) {
            return true;
        }
    }
    return false;
}

int count(const std::vector<SongEvent>& events, int status) {
    int n = 0;
    for (const SongEvent& e : events) {
        n += e.status == status ? 1 : 0;
    }
    return n;
}

TEST(Kvxcompose, TwoBarsOfKickGiveTheExactFormatOneFile) {
    TempDir dir;
    dir.write("s.txt",
              "tempo 120\n"
              "track k channel=9 note=36 velocity=100 program=3 volume=90\n"
              "pattern p bars=1\n"
              "  k x... x...\n"
              "section a\n"
              "  p x2\n");
    const ToolRun r = kvxcompose(dir / "s.txt" + " " + dir / "s.mid");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::vector<uint8_t> expected = {
        'M',  'T',  'h',  'd',  0,    0,    0,    6,  0,
        1,    0,    2,    0x01, 0xE0,                     // format 1, 2 tracks, 480
        'M',  'T',  'r',  'k',  0,    0,    0,    20,     // tempo track
        0,    0xFF, 0x51, 3,    0x07, 0xA1, 0x20,         // 500000 us a quarter
        0,    0xFF, 0x58, 4,    4,    2,    24,   8,      // 4/4
        0x9E, 0x00, 0xFF, 0x2F, 0,                        // ends at tick 3840
        'M',  'T',  'r',  'k',  0,    0,    0,    52,     //
        0,    0xFF, 0x03, 1,    'k',                      // track name
        0,    0xC9, 3,    0,    0xB9, 7,    90,           // program, volume
        0,    0x99, 36,   100,  0x78, 0x89, 36,   0,      // sixteenth at 0
        0x82, 0x68, 0x99, 36,   100,  0x78, 0x89, 36, 0,  // at beat 2
        0x8A, 0x28, 0x99, 36,   100,  0x78, 0x89, 36, 0,  // bar 2
        0x82, 0x68, 0x99, 36,   100,  0x78, 0x89, 36, 0,  //
        0x8A, 0x28, 0xFF, 0x2F, 0};                       // ends at tick 3840
    EXPECT_EQ(readFileBytes(dir / "s.mid"), expected);
}

TEST(Kvxcompose, GridsChordsTiesVelocitiesTranspositionAndRepeats) {
    TempDir dir;
    // At 125 bpm a sixteenth is 120 ms and a bar 1920 ms.
    const auto ev = compose(dir,
                            "tempo 125\n"
                            "track a channel=2 note=c4 velocity=90 accent=120\n"
                            "track b channel=5   # comment\n"
                            "pattern p bars=1\n"
                            "  a x-X. x!33\n"
                            "  b 1/4 a3+c4 - . f#4\n"
                            "pattern q bars=2\n"
                            "  a 1/1 d4 | . |\n"
                            "section s\n"
                            "  p q+2\n"
                            "  p x2\n");
    // Row 1 lasts two bars: p plays twice, q once, two semitones up.
    EXPECT_TRUE(has(ev, 0, 0x92, 60, 90));
    EXPECT_TRUE(has(ev, 240, 0x82, 60, 0));  // x- lasts two steps
    EXPECT_TRUE(has(ev, 240, 0x92, 60, 120));
    EXPECT_TRUE(has(ev, 480, 0x92, 60, 33));
    EXPECT_TRUE(has(ev, 0, 0x92, 64, 90));    // d4 + 2
    EXPECT_TRUE(has(ev, 1920, 0x82, 64, 0));  // a whole note
    EXPECT_TRUE(has(ev, 0, 0x95, 57, 100));   // chord, tied over two quarters
    EXPECT_TRUE(has(ev, 0, 0x95, 60, 100));
    EXPECT_TRUE(has(ev, 960, 0x85, 57, 0));
    EXPECT_TRUE(has(ev, 1440, 0x95, 66, 100));
    EXPECT_TRUE(has(ev, 1920, 0x92, 60, 90));  // p again in bar 2
    // Row 2 plays p twice more: bars 3 and 4.
    EXPECT_TRUE(has(ev, 3840, 0x92, 60, 90));
    EXPECT_TRUE(has(ev, 5760 + 1440, 0x95, 66, 100));
    EXPECT_TRUE(has(ev, 5760 + 1920, 0x85, 66, 0));
    EXPECT_EQ(count(ev, 0x92), 4 * 3 + 1);
    EXPECT_EQ(count(ev, 0x82), 4 * 3 + 1);
    EXPECT_EQ(count(ev, 0x95), 4 * 3);
    EXPECT_EQ(ev.back().time, 7680);
}

TEST(Kvxcompose, ANoteThatEndsWhereItStartsAgainIsNotCutShort) {
    TempDir dir;
    const auto ev = compose(dir,
                            "track a channel=0\n"
                            "pattern p\n"
                            "  a c4 c4\n"
                            "section s\n"
                            "  p\n");
    // At 120 bpm a sixteenth is 125 ms; at 125 ms the off comes first.
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[1].time, 125);
    EXPECT_EQ(ev[1].status, 0x80);
    EXPECT_EQ(ev[2].time, 125);
    EXPECT_EQ(ev[2].status, 0x90);
}

TEST(Kvxcompose, SectionsListTheirFirstBarAndStartTime) {
    TempDir dir;
    dir.write("s.txt",
              "tempo 125\nmeter 3/4\n"
              "track a channel=0\n"
              "pattern one\n  a x\n"
              "pattern two bars=2\n  a x\n"
              "section intro\n  one x3\n"
              "section main\n  two one x2\n");
    const ToolRun r = kvxcompose(dir / "s.txt" + " --sections");
    ASSERT_EQ(r.status, 0) << r.out;
    // A 3/4 bar at 125 bpm lasts 1440 ms.
    EXPECT_NE(r.out.find("intro 1 0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("main 4 4320\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("end 8 10080\n"), std::string::npos) << r.out;
}

TEST(Kvxcompose, ScoreErrorsNameTheFileAndLineAndExitWithOne) {
    TempDir dir;
    const std::string head = "track a channel=0 note=c4\npattern p bars=1\n";
    struct Case {
        std::string score;
        int line;
        std::string words;
    };
    const Case cases[] = {
        {head + "  b x\n", 3, "unknown track 'b'"},
        {head + "  a x . | x\n", 3, "'|' falls inside bar 1"},
        {head + "  a 1/2 x x x\n", 3, "longer than the pattern"},
        {head + "  a q4\n", 3, "'q4' is not a note"},
        {head + "  a x!0\n", 3, "velocity"},
        {head + "  a x\nsection s\n  p+70\n", 5, "out of 0..127"},
        {head + "  a x\nsection s\n  nope\n", 5, "unknown pattern 'nope'"},
        {head + "  a x\npattern q bars=2\n  a x\npattern r bars=3\n  a x\nsection s\n  q r\n", 9,
         "'q' (2 bars) does not fit"},
        {"tempo 125\ntempo 120\n", 2, "tempo is set twice"},
        {"track a channel=16\n", 1, "channel=16"},
        {"track a\n", 1, "needs channel"},
        {"  a x\n", 1, "indented line"},
        {"volume 3\n", 1, "unknown statement 'volume'"},
        {head + "  a x\n", 4, "plays nothing"},
    };
    for (const Case& c : cases) {
        dir.write("bad.txt", c.score);
        const ToolRun r = kvxcompose(dir / "bad.txt" + " " + dir / "bad.mid");
        EXPECT_EQ(r.status, 1) << c.score;
        const std::string where = dir / "bad.txt" + ":" + std::to_string(c.line) + ": error: ";
        EXPECT_EQ(r.out.rfind(where, 0), 0u) << c.score << "\n" << r.out;
        EXPECT_NE(r.out.find(c.words), std::string::npos) << c.score << "\n" << r.out;
    }
}

TEST(Kvxcompose, UsageErrorsExitWithOne) {
    TempDir dir;
    ToolRun r = kvxcompose(dir / "missing.txt" + " " + dir / "out.mid");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("cannot open"), std::string::npos) << r.out;
    dir.write("s.txt", "track a channel=0\npattern p\n  a x\nsection s\n  p\n");
    r = kvxcompose(dir / "s.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("--sections"), std::string::npos) << r.out;
    EXPECT_EQ(kvxcompose("").status, 1);
    r = kvxcompose("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("SCORE.txt"), std::string::npos);
}

}  // namespace
