// Instruments: voices, stealing, step sequencer, modulation and bad values.
#include <gtest/gtest.h>

#include <cmath>

#include "support/SynthTestUtil.h"
#include "synth/Instrument.h"

namespace kvx::synth {
namespace {

using test::Rig;

std::unique_ptr<Instrument> sineInstrument(const Settings& s) {
    auto in = std::make_unique<Instrument>(s);
    in->setGenerator(0, GeneratorType::Sine, 127, 0, 0, 0);
    return in;
}

int sounding(const Instrument& in) {
    int n = 0;
    for (const Voice& v : in.voices) {
        n += v.playingNote != 0 ? 1 : 0;
    }
    return n;
}

TEST(Instrument, NinthNoteRestartsASoundingVoice) {
    Settings s;
    auto in = sineInstrument(*&s);
    for (int n = 0; n < 8; ++n) {
        in->noteOn(60 + n, 100);
    }
    EXPECT_EQ(sounding(*in), 8);
    in->noteOn(80, 100);
    EXPECT_EQ(sounding(*in), 8);
    int found = 0;
    for (const Voice& v : in->voices) {
        found += v.currentNote == 80 ? 1 : 0;
    }
    EXPECT_EQ(found, 1);
    // Round robin looked at all eight from voice 0 on; the last one looked
    // at (voice 7, note 67) is restarted.
    EXPECT_EQ(in->voices[7].currentNote, 80);
    EXPECT_EQ(in->voices[0].currentNote, 60);
}

TEST(Instrument, FreeVoicesArePreferred) {
    Settings s;
    auto in = sineInstrument(s);
    in->noteOn(60, 100);
    in->noteOn(61, 100);
    in->noteOff(60);
    for (int n = 0; n < 6; ++n) {
        in->noteOn(70 + n, 100);
    }
    // voices 2..7 were free; the next note finds voice 0 (released) free.
    in->noteOn(90, 100);
    EXPECT_EQ(in->voices[0].currentNote, 90);
    EXPECT_EQ(in->voices[1].currentNote, 61);
}

TEST(Instrument, NoteOffForUnplayedNoteChangesNothing) {
    Settings s;
    auto in = sineInstrument(s);
    in->noteOn(60, 100);
    in->noteOff(61);
    EXPECT_EQ(in->voices[0].currentNote, 60);
    EXPECT_FALSE(in->voices[0].amp.released);
    in->noteOff(60);
    EXPECT_TRUE(in->voices[0].amp.released);
}

TEST(Instrument, NoGeneratorsIgnoresNotesAndNoteZeroIsSilent) {
    Settings s;
    Instrument empty(s);
    empty.noteOn(60, 100);
    EXPECT_EQ(sounding(empty), 0);
    auto in = sineInstrument(s);
    in->noteOn(0, 100);
    EXPECT_EQ(in->voices[0].currentNote, 0);
    std::vector<float> buf(256, 0.0f);
    EXPECT_FALSE(in->render(buf.data(), 256));
}

TEST(Instrument, NotesAbove119AreClamped) {
    Settings s;
    auto in = sineInstrument(s);
    in->noteOn(200, 100);
    EXPECT_EQ(in->voices[0].playingNote, 119);
    in->noteOff(127);
    EXPECT_TRUE(in->voices[0].amp.released);
}

TEST(Instrument, HugePitchOffsetsRenderFiniteSamples) {
    Settings s;
    Instrument in(s);
    in.setGenerator(0, GeneratorType::Saw, 127, 0, 0, INT32_MAX);
    in.setGenerator(1, GeneratorType::Sine, 127, 0, 0, INT32_MIN);
    in.noteOn(60, 127);
    std::vector<float> buf(256, 0.0f);
    in.bend = 63;
    in.render(buf.data(), 256);
    for (float v : buf) {
        ASSERT_TRUE(std::isfinite(v));
    }
}

TEST(Instrument, OutputIsClampedTo1_3) {
    Settings s;
    Instrument in(s);
    for (int slot = 0; slot < 4; ++slot) {
        in.setGenerator(slot, GeneratorType::Square, 127, 0, 0, 0);  // four squares in phase: +-4
    }
    in.noteOn(60, 127);
    std::vector<float> buf(256, 0.0f);
    ASSERT_TRUE(in.render(buf.data(), 256));
    float peak = 0.0f;
    for (float v : buf) {
        peak = std::max(peak, std::fabs(v));
    }
    EXPECT_FLOAT_EQ(peak, 1.3f);
}

TEST(Instrument, EmptyAmplitudeEnvelopeSoundsUntilStolen) {
    Settings s;
    auto in = sineInstrument(s);
    in->polyphony = 1;
    in->noteOn(60, 127);
    in->noteOff(60);
    std::vector<float> buf(256, 0.0f);
    for (int b = 0; b < 50; ++b) {
        std::fill(buf.begin(), buf.end(), 0.0f);
        ASSERT_TRUE(in->render(buf.data(), 256));
    }
    in->noteOn(72, 127);
    EXPECT_EQ(in->voices[0].playingNote, 72);
}

// Frequency of an instrument's output for a note, with an optional step value.
double measuredFrequency(Instrument& in, int blocks) {
    std::vector<float> all;
    std::vector<float> buf(256);
    for (int b = 0; b < blocks; ++b) {
        std::fill(buf.begin(), buf.end(), 0.0f);
        in.render(buf.data(), 256);
        all.insert(all.end(), buf.begin(), buf.end());
    }
    return test::frequency(all, kSampleRate);
}

TEST(StepSequencer, TransposeAndEnableMask) {
    Settings s;
    Instrument in(s);
    in.setGenerator(0, GeneratorType::Sine, 127, 0, 0, 0);
    in.setGenerator(1, GeneratorType::Sine, 127, 0, 0, 7);  // a fifth up; disabled by the mask
    in.flags = InstrumentFlags::StepSequencer;
    in.sequencer = std::make_unique<StepSequencer>();
    in.sequencer->length = 1;
    in.sequencer->steps[0] = 1 | (12 << 8);
    in.noteOn(69, 127);
    EXPECT_NEAR(measuredFrequency(in, 100), 880.0, 2.0);
}

TEST(StepSequencer, NegativeTransposeEncoding) {
    Settings s;
    Instrument in(s);
    in.setGenerator(0, GeneratorType::Sine, 127, 0, 0, 0);
    in.flags = InstrumentFlags::StepSequencer;
    in.sequencer = std::make_unique<StepSequencer>();
    in.sequencer->length = 1;
    in.sequencer->steps[0] = 1 | (76 << 8);  // t >= 64 means 64 - t = -12
    in.noteOn(69, 127);
    EXPECT_NEAR(measuredFrequency(in, 200), 220.0, 1.0);
}

TEST(StepSequencer, AdvancesJumpsAndLoopsBack) {
    StepSequencer seq;
    seq.length = 4;
    seq.loopBack = 1;
    seq.duration = 1;
    seq.steps[1] = 63 | (11 << 16) | (3 << 24);  // jump to step 3
    const int tick = 100;
    std::vector<int> visited;
    for (int i = 0; i < 12; ++i) {
        seq.advance(100, tick);
        visited.push_back(seq.current);
    }
    // Step 0 stays for the first block, then 1, jump to 3, loop back to 1...
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1}));
}

TEST(StepSequencer, BadLengthsAndDurationsNeverReadOutsideTheSteps) {
    for (int32_t length : {0, -5, 100, INT32_MIN, INT32_MAX}) {
        for (int32_t loop : {-3, 0, 50, INT32_MAX}) {
            for (int32_t duration : {0, -1, 1, INT32_MIN}) {
                StepSequencer seq;
                seq.length = length;
                seq.loopBack = loop;
                seq.duration = duration;
                for (int i = 0; i < 16; ++i) {
                    seq.steps[i] = 1000 + i;
                }
                for (int i = 0; i < 40; ++i) {
                    seq.advance(256, 10);
                    const bool stored = seq.current >= 0 && seq.current < 16;
                    ASSERT_EQ(seq.value(), stored ? 1000 + seq.current : 0)
                        << length << " " << loop << " " << duration;
                }
                EXPECT_GE(seq.safeDuration(), 1);
            }
        }
    }
}

TEST(StepSequencer, DurationZeroMovesOneStepPerBlock) {
    StepSequencer seq;
    seq.length = 4;
    seq.duration = 0;
    std::vector<int64_t> visited;
    for (int i = 0; i < 6; ++i) {
        seq.advance(256, 1102);
        visited.push_back(seq.current);
    }
    EXPECT_EQ(visited, (std::vector<int64_t>{1, 2, 3, 0, 1, 2}));
}

TEST(StepSequencer, LengthTwentyPlaysFourSilentStepsBeforeLooping) {
    // Duration 0: block k after the note-on plays step k + 1. Steps 16..19
    // hold no value (0: no generator enabled), then the loop starts over.
    Settings s;
    Instrument in(s);
    in.setGenerator(0, GeneratorType::Square, 127, 0, 0, 0);
    in.flags = InstrumentFlags::StepSequencer;
    in.sequencer = std::make_unique<StepSequencer>();
    in.sequencer->length = 20;
    in.sequencer->duration = 0;
    in.noteOn(60, 127);
    std::vector<float> buf(256);
    std::vector<int> loud;
    for (int b = 0; b < 24; ++b) {
        std::fill(buf.begin(), buf.end(), 0.0f);
        in.render(buf.data(), 256);
        double energy = 0.0;
        for (float v : buf) {
            energy += std::fabs(v);
        }
        loud.push_back(energy > 1.0 ? 1 : 0);
    }
    std::vector<int> want(24, 1);
    for (int b = 15; b <= 18; ++b) {
        want[b] = 0;
    }
    EXPECT_EQ(loud, want);
}

TEST(Instrument, PitchBendRaisesThePitch) {
    Settings s;
    auto in = sineInstrument(s);
    in->noteOn(69, 127);
    in->bend = 63;  // full bend, depth 2 semitones
    EXPECT_NEAR(measuredFrequency(*in, 200), 440.0 * std::pow(2.0, 2.0 / 12.0), 1.5);
}

TEST(Instrument, VelocityModeTwoPans) {
    Settings st;
    st.setStereo(true);
    Instrument in(st);
    in.setGenerator(0, GeneratorType::Square, 127, 0, 0, 0);
    in.velocityMode = VelocityMode::Pan;
    in.noteOn(60, 0);  // pan -64: right silent
    std::vector<float> buf(512, 0.0f);
    ASSERT_TRUE(in.render(buf.data(), 512));
    double left = 0, right = 0;
    for (size_t i = 0; i < buf.size(); i += 2) {
        left += std::fabs(buf[i]);
        right += std::fabs(buf[i + 1]);
    }
    EXPECT_GT(left, 100.0);
    EXPECT_EQ(right, 0.0);
}

TEST(Instrument, StereoAmplitudeEnvelopeRunsTwiceAsFast) {
    // Same 10 ms attack-release envelope: mono needs 441 samples, stereo
    // reaches the end after 441 floats, i.e. 220 frames.
    auto lastNonZero = [](bool stereo) {
        Settings s;
        s.setStereo(stereo);
        Instrument in(s);
        in.setGenerator(0, GeneratorType::Square, 127, 0, 0, 0);
        in.ampEnvelope.insertPoint(10, 1.0f);
        in.noteOn(60, 127);
        std::vector<float> buf(static_cast<size_t>(s.blockFloats) * 4, 0.0f);
        for (int b = 0; b < 4; ++b) {
            in.render(buf.data() + static_cast<size_t>(b) * s.blockFloats, s.blockFloats);
        }
        const int step = stereo ? 2 : 1;
        int last = 0;
        for (size_t i = 0; i < buf.size(); i += static_cast<size_t>(step)) {
            if (buf[i] != 0.0f) {
                last = static_cast<int>(i) / step;
            }
        }
        return last;
    };
    EXPECT_EQ(lastNonZero(false), 440);
    EXPECT_EQ(lastNonZero(true), 220);
}

}  // namespace
}  // namespace kvx::synth
