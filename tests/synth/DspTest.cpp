// Generators, envelopes, filters and the mixer measured on their output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "support/SynthTestUtil.h"
#include "synth/Effect.h"
#include "synth/Envelope.h"
#include "synth/Generator.h"
#include "synth/Mixer.h"

namespace kvx::synth {
namespace {

std::vector<float> renderGenerator(GeneratorType type, const Settings& s, float frequency,
                                   int blocks, int spread = 0) {
    auto g = makeGenerator(type, s);
    g->noteOn(0.0, 127, 0, spread, nullptr);
    g->setGains(1.0f, 1.0f);
    std::vector<float> out(static_cast<size_t>(s.blockFloats) * blocks, 0.0f);
    for (int b = 0; b < blocks; ++b) {
        g->render(out.data() + static_cast<size_t>(b) * s.blockFloats, s.blockFloats, frequency);
    }
    return out;
}

TEST(Generators, NoteTableAndSineNote69SoundsAt440Hz) {
    EXPECT_DOUBLE_EQ(noteTable()[69], 880.0);
    EXPECT_DOUBLE_EQ(noteTable()[57], 440.0);
    Settings mono;
    const auto out =
        renderGenerator(GeneratorType::Sine, mono, static_cast<float>(noteTable()[69]), 200);
    EXPECT_NEAR(test::frequency(out, kSampleRate), 440.0, 0.5);
    float peak = 0.0f;
    for (float v : out) {
        peak = std::max(peak, std::fabs(v));
    }
    EXPECT_NEAR(peak, 1.0f, 0.01f);
}

TEST(Generators, SquareSawTriangleStayInRangeAndShareThePitch) {
    Settings mono;
    // The triangle climbs F/44100 per sample for half a period of F/2, so it
    // spans only -0.5..0.5; square and saw span -1..1.
    for (const auto& [type, peak] :
         {std::pair{GeneratorType::Square, 1.0f}, std::pair{GeneratorType::Saw, 1.0f},
          std::pair{GeneratorType::Triangle, 0.5f}}) {
        const auto out = renderGenerator(type, mono, 880.0f, 100);
        float lo = 0.0f, hi = 0.0f;
        for (float v : out) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        EXPECT_GE(lo, -1.0f) << generatorTypeName(type);
        EXPECT_LE(hi, 1.0f) << generatorTypeName(type);
        EXPECT_NEAR(lo, -peak, 0.07f) << generatorTypeName(type);
        EXPECT_NEAR(hi, peak, 0.07f) << generatorTypeName(type);
        EXPECT_NEAR(test::frequency(out, kSampleRate), 440.0, 2.0) << generatorTypeName(type);
    }
    const auto square = renderGenerator(GeneratorType::Square, mono, 880.0f, 4);
    for (float v : square) {
        EXPECT_EQ(std::fabs(v), 1.0f);
    }
}

TEST(Generators, StereoWithoutSpreadFeedsBothSidesTheSameValue) {
    Settings st;
    st.setStereo(true);
    const auto out = renderGenerator(GeneratorType::Sine, st, 880.0f, 4);
    for (size_t i = 0; i + 1 < out.size(); i += 2) {
        ASSERT_EQ(out[i], out[i + 1]);
    }
    // The stereo sine adds its value from before the update: the first frame is 0.
    EXPECT_EQ(out[0], 0.0f);
    const auto spread = renderGenerator(GeneratorType::Sine, st, 880.0f, 4, 90);
    EXPECT_NE(spread[10], spread[11]);
}

TEST(Generators, PanGainsAndSetGains) {
    float l = 0, r = 0;
    panGains(-32, l, r);
    EXPECT_FLOAT_EQ(l, 1.0f);
    EXPECT_FLOAT_EQ(r, 0.5f);
    panGains(64, l, r);
    EXPECT_FLOAT_EQ(l, 0.0f);
    EXPECT_FLOAT_EQ(r, 1.0f);
}

TEST(Generators, NoiseIsIndependentOfPitchAndInRange) {
    Settings mono;
    const auto a = renderGenerator(GeneratorType::Noise, mono, 100.0f, 3);
    const auto b = renderGenerator(GeneratorType::Noise, mono, 5000.0f, 3);
    EXPECT_EQ(a, b);
    for (float v : a) {
        EXPECT_GE(v, 0.0f);
        EXPECT_LE(v, 1.0f);
    }
    EXPECT_EQ(generatorTypeByName("gNoice"), GeneratorType::Noise);
    EXPECT_FALSE(generatorTypeByName("gNoise").has_value());
}

TEST(Generators, NoiseLongerThanItsTableStaysInsideIt) {
    // A request longer than the table is played in pieces that each fit it:
    // the second piece starts over at the table's beginning.
    Settings mono;
    auto g = makeGenerator(GeneratorType::Noise, mono);
    g->noteOn(0.0, 127, 0, 0, nullptr);
    g->setGains(1.0f, 1.0f);
    std::vector<float> out(60000, 0.0f);
    g->render(out.data(), static_cast<int>(out.size()), 440.0f);
    const float* table = noiseTable();
    const size_t piece = kNoiseSize - 2;
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(out[i], table[i < piece ? i : i - piece]) << i;
    }
    Settings stereo;
    stereo.setStereo(true);
    auto s = makeGenerator(GeneratorType::Noise, stereo);
    s->noteOn(0.0, 127, 0, 0, nullptr);
    s->setGains(1.0f, 1.0f);
    std::vector<float> both(120000, 0.0f);
    s->render(both.data(), static_cast<int>(both.size()), 440.0f);
    for (size_t i = 0; i < both.size(); ++i) {
        ASSERT_EQ(both[i], table[i % piece]) << i;
    }
}

TEST(Envelope, SlopesSamplesAndSeventeenthPointRefused) {
    Envelope e;
    EXPECT_TRUE(e.insertPoint(10, 1.0f));
    EXPECT_EQ(e.point(0).samples, 441);
    EXPECT_DOUBLE_EQ(e.point(0).slope, 1.0 / 441.0);
    EXPECT_TRUE(e.insertPoint(0, 0.5f));
    EXPECT_EQ(e.point(1).samples, 1);
    EXPECT_DOUBLE_EQ(e.point(1).slope, -0.5);
    for (int i = 2; i < 16; ++i) {
        EXPECT_TRUE(e.insertPoint(1, 0.0f));
    }
    EXPECT_FALSE(e.insertPoint(1, 0.0f));
    EXPECT_EQ(e.count(), 16);
}

TEST(Envelope, HugeAndNegativeDurationsAreSafe) {
    Envelope e;
    e.insertPoint(INT32_MAX, 1.0f);
    e.insertPoint(-5, 0.0f);
    EXPECT_GT(e.point(0).samples, int64_t{INT32_MAX});
    EXPECT_EQ(e.point(1).samples, 1);
    EnvelopeState st;
    st.start();
    std::vector<float> buf(256, 1.0f);
    e.applyAmplitude(buf.data(), 256, st);
    EXPECT_FALSE(st.finished);
    EXPECT_GT(buf[255], 0.0f);
}

TEST(Envelope, SustainHoldsUntilReleaseThenFinishes) {
    Envelope e;
    e.insertPoint(1, 1.0f);  // 44 samples up to 1
    e.insertPoint(1, 0.5f);  // down to 0.5
    e.insertPoint(1, 0.0f);  // release to 0
    e.sustain = 2;
    EnvelopeState st;
    st.start();
    std::vector<float> buf(256, 1.0f);
    e.applyAmplitude(buf.data(), 256, st);
    EXPECT_NEAR(buf[43], 1.0f, 1e-5);
    EXPECT_NEAR(buf[87], 0.5f, 1e-5);
    EXPECT_FLOAT_EQ(buf[200], 0.5f);  // held at point 1's level
    std::fill(buf.begin(), buf.end(), 1.0f);
    e.applyAmplitude(buf.data(), 256, st);
    EXPECT_FLOAT_EQ(buf[10], 0.5f);
    EXPECT_FALSE(st.finished);
    st.released = true;
    std::fill(buf.begin(), buf.end(), 1.0f);
    e.applyAmplitude(buf.data(), 256, st);
    EXPECT_NEAR(buf[43], 0.0f, 1e-5);
    EXPECT_EQ(buf[255], 0.0f);
    EXPECT_TRUE(st.finished);
}

TEST(Envelope, SustainIndexZeroNeverHolds) {
    Envelope e;
    e.insertPoint(1, 1.0f);
    e.insertPoint(1, 0.0f);
    e.sustain = 0;
    EnvelopeState st;
    st.start();
    std::vector<float> buf(256, 1.0f);
    e.applyAmplitude(buf.data(), 256, st);
    EXPECT_TRUE(st.finished);
    EXPECT_EQ(buf[100], 0.0f);
}

TEST(Envelope, PanStepsPerFrame) {
    Envelope e;
    e.insertPoint(1, -1.0f);  // 44 frames to full left
    EnvelopeState st;
    st.start();
    std::vector<float> buf(512, 1.0f);
    e.applyPan(buf.data(), 512, st);
    EXPECT_TRUE(st.finished);
    EXPECT_NEAR(buf[2 * 100], 0.0f, 1e-5);      // left * min(1, 1 + -1)
    EXPECT_NEAR(buf[2 * 100 + 1], 1.0f, 1e-5);  // right * min(1, 1 - -1)
    EXPECT_NEAR(buf[2 * 21], 1.0f - 22.0f / 44.0f, 1e-4);
}

TEST(Filters, ParameterClampingAndRoundTrip) {
    Settings s;
    Lpf f(s);
    EXPECT_EQ(f.cutoff(), 4000);
    EXPECT_EQ(f.resonance(), 0);
    uint8_t block[8];
    const int32_t big[2] = {50000, -3};
    std::memcpy(block, big, 8);
    f.setParameters(block, 8);
    EXPECT_EQ(f.cutoff(), 44100);
    EXPECT_EQ(f.resonance(), 0);
    f.setModulated(0, 40, 80);
    EXPECT_EQ(f.cutoff(), 4000);
    EXPECT_EQ(f.resonance(), 50);
    const int32_t ok[2] = {4000, 10};
    std::memcpy(block, ok, 8);
    f.setParameters(block, 8);
    uint8_t back[8];
    f.getParameters(back);
    EXPECT_EQ(std::memcmp(block, back, 8), 0);
    f.setParameters(block, 4);  // too short: ignored
    EXPECT_EQ(f.cutoff(), 4000);
    EXPECT_EQ(f.parameterSize(), 8);
}

TEST(Filters, Coefficients) {
    Settings s;
    Lpf lpf(s);
    lpf.setModulated(0, 20, 0);  // 2000 Hz, resonance 0
    const double f = 2000.0 / 44100.0;
    EXPECT_DOUBLE_EQ(lpf.k, 3.6 * f - 1.6 * f * f - 1.0);
    EXPECT_DOUBLE_EQ(lpf.p, (lpf.k + 1.0) * 0.5);
    EXPECT_EQ(lpf.r, 0.0);
    lpf.setModulated(0, 20, 25);
    EXPECT_DOUBLE_EQ(lpf.r, std::exp((1.0 - lpf.p) * 1.386249) * 25 * 0.02);

    MoogVcf moog(s);
    moog.setModulated(0, 0, 30);
    EXPECT_EQ(moog.p, 0.0);
    EXPECT_EQ(moog.fb, -1.0);
    std::vector<float> buf = {0.5f, -0.25f, 0.125f};
    moog.process(buf.data(), 3);
    EXPECT_FLOAT_EQ(buf[0], 0.5f);  // cutoff 0: input passes, filter terms stay 0
    EXPECT_FLOAT_EQ(buf[1], -0.25f);
    moog.setModulated(0, 10, 0);
    EXPECT_EQ(moog.q, 0.0);
}

// Energy of a sine (sounding at frequency / 2) after a filter at 500 Hz.
double filteredEnergy(EffectType type, float frequency) {
    Settings s;
    auto f = makeEffect(type, s);
    f->setModulated(0, 5, 0);
    auto x = renderGenerator(GeneratorType::Sine, s, frequency, 40);
    f->process(x.data(), static_cast<int>(x.size()));
    double e = 0;
    for (size_t i = 2000; i < x.size(); ++i) {
        e += x[i] * x[i];
    }
    return e;
}

TEST(Filters, LpfAttenuatesHighFrequencies) {
    EXPECT_GT(filteredEnergy(EffectType::Lpf, 200.0f),
              100 * filteredEnergy(EffectType::Lpf, 16000.0f));
}

TEST(Filters, SettledDcResponse) {
    // A constant input x: every pole of both filters settles at x except the
    // last, whose cubic clipper settles lower, at the same value L for both
    // (same coefficients, same clipper). The eLPF outputs L; the eMoogVCF
    // outputs x - 3 (x - L) - L = 2L - 2x, cancelling most of the input.
    // Stored songs were voiced with this response.
    Settings s;
    float settled[2] = {};
    for (int type : {0, 1}) {
        auto f = makeEffect(static_cast<EffectType>(type), s);
        f->setModulated(0, 20, 0);
        std::vector<float> x(256 * 40, 0.5f);
        f->process(x.data(), static_cast<int>(x.size()));
        settled[type] = x.back();
    }
    EXPECT_GT(settled[0], 0.35f);
    EXPECT_LT(settled[0], 0.5f);
    EXPECT_NEAR(settled[1], 2.0f * settled[0] - 1.0f, 1e-4f);
}

TEST(Filters, UnstableDriveNeverYieldsNaN) {
    Settings s;
    for (int type : {0, 1}) {
        auto f = makeEffect(static_cast<EffectType>(type), s);
        f->setModulated(0, 441, 50);
        std::vector<float> buf(256);
        for (int b = 0; b < 50; ++b) {
            for (size_t i = 0; i < buf.size(); ++i) {
                buf[i] = (i % 2 == 0 ? 1e6f : -1e6f);
            }
            f->process(buf.data(), 256);
        }
        // After the drive stops the filter recovers to finite output.
        std::vector<float> quiet(256, 0.0f);
        f->process(quiet.data(), 256);
        for (float v : quiet) {
            EXPECT_TRUE(std::isfinite(v)) << type;
        }
    }
}

TEST(Mixer, SixteenBitConversion) {
    EXPECT_EQ(toSample(0.0f), 0);
    EXPECT_EQ(toSample(1.0f), 32767);
    EXPECT_EQ(toSample(2.0f), 32767);
    EXPECT_EQ(toSample(-2.0f), -32768);
    EXPECT_EQ(toSample(0.99999f * 0.5f), static_cast<int16_t>(0.99999f * 0.5f * 32767.0f));
    EXPECT_EQ(toSample(-0.00002f), 0);  // truncation toward zero
    EXPECT_EQ(toSample(std::nanf("")), 0);
    EXPECT_EQ(toSample(INFINITY), 0);
    EXPECT_EQ(toSample(-INFINITY), 0);
    // Huge but finite values are clipped like any other loud sample.
    EXPECT_EQ(toSample(1e31f), 32767);
    EXPECT_EQ(toSample(-1e31f), -32768);
    EXPECT_EQ(toSample(std::numeric_limits<float>::max()), 32767);
    EXPECT_EQ(toSample(-std::numeric_limits<float>::max()), -32768);
}

TEST(Mixer, SmoothingContinuesAcrossBlocks) {
    Mixer m;
    ASSERT_TRUE(m.create(1, 256, false));
    // A channel without an instrument contributes zeros: smoothing the
    // silence after an impulse exposes the history.
    std::vector<float> block(256, 0.0f);
    m.render(block.data(), 256);
    for (float v : block) {
        EXPECT_EQ(v, 0.0f);
    }
    m.history = {4.0f, 8.0f, 12.0f, 16.0f};  // the previous block's last floats
    m.render(block.data(), 256);
    EXPECT_FLOAT_EQ(block[0], (4.0f + 12.0f) * 0.25f);  // x[-4] + x[-2] + x[0]
    EXPECT_FLOAT_EQ(block[1], (8.0f + 16.0f) * 0.25f);
    EXPECT_FLOAT_EQ(block[2], 12.0f * 0.25f);  // x[-2]
    EXPECT_FLOAT_EQ(block[3], 16.0f * 0.25f);
    EXPECT_FLOAT_EQ(block[4], 0.0f);
    EXPECT_EQ(m.oldHistory[0], 4.0f);
}

TEST(Mixer, MixerWithoutChannelsRendersNothingAndReturns) {
    // A mixer whose channels were never created has no room for a block: it
    // must leave the buffer alone instead of clearing before its start.
    Mixer m;
    std::vector<float> block(256, 0.5f);
    m.render(block.data(), 256);
    for (float v : block) {
        EXPECT_EQ(v, 0.5f);
    }
    ASSERT_FALSE(m.create(0, 256, false));
    m.render(block.data(), 256);
    EXPECT_EQ(block[0], 0.5f);
}

}  // namespace
}  // namespace kvx::synth
