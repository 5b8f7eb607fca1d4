// The fast paths (filters stepped side by side in SIMD lanes, generators
// batched across voices and instruments, the mixer's staged channels) must
// produce exactly the samples of the plain formulas. These tests keep a
// straightforward scalar version of each formula and compare bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "support/SynthTestUtil.h"
#include "synth/Effect.h"
#include "synth/Generator.h"
#include "synth/Instrument.h"
#include "synth/Mixer.h"

namespace kvx::synth {
namespace {

struct RefLpf {
    double k, p, r;
    double x0 = 0, y1 = 0, y2 = 0, y3 = 0, y4 = 0, p1 = 0, p2 = 0, p3 = 0;
    RefLpf(int cutoff, int res) {
        const double f = cutoff / 44100.0;
        k = 3.6 * f - 1.6 * f * f - 1;
        p = (k + 1) * 0.5;
        r = std::exp((1 - p) * 1.386249) * res * 0.02;
    }
    float step(float in) {
        const double x = in - r * y4;
        const double n1 = (x + x0) * p - k * y1;
        const double n2 = (n1 + p1) * p - k * y2;
        const double n3 = (n2 + p2) * p - k * y3;
        double n4 = (n3 + p3) * p - k * y4;
        n4 = n4 - n4 * n4 * n4 / 6;
        p1 = n1, p2 = n2, p3 = n3, x0 = x, y1 = n1, y2 = n2, y3 = n3, y4 = n4;
        return static_cast<float>(n4);
    }
};

struct RefMoog {
    double p, fb, q;
    double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0;
    RefMoog(int cutoff, int res) {
        const double f = cutoff / 44100.0, q1 = 1 - f;
        p = (q1 * 0.8 + 1) * f;
        fb = 2 * p - 1;
        q = (q1 * (q1 * q1 * 5.6 + (1 - q1)) * 0.5 + 1) * res * 0.02;
    }
    float step(float in) {
        const double x = in - q * b4;
        double t1 = b1;
        b1 = (x + b0) * p - b1 * fb;
        const double t2 = b2;
        b2 = (b1 + t1) * p - b2 * fb;
        t1 = b3;
        b3 = (b2 + t2) * p - b3 * fb;
        b4 = (b3 + t1) * p - b4 * fb;
        b4 = b4 - b4 * b4 * b4 * 0.166667;
        b0 = x;
        return static_cast<float>(x - 3 * (b3 - b4) - b4);
    }
};

std::vector<float> noise(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-0.9f, 0.9f);
    std::vector<float> v(n);
    for (float& x : v) {
        x = d(rng);
    }
    return v;
}

TEST(Reference, FiltersMatchTheFormulasInMonoAndStereoAlsoWhenBatched) {
    for (bool stereo : {false, true}) {
        Settings s;
        s.setStereo(stereo);
        const int count = s.blockFloats;
        // Four filters of both types with different settings, side by side.
        const int cutoffs[4] = {800, 2500, 12000, 300};
        const int res[4] = {0, 20, 45, 50};
        std::vector<std::unique_ptr<Effect>> fx;
        std::vector<RefLpf> lpfL, lpfR;
        std::vector<RefMoog> moogL, moogR;
        EffectType types[4];
        for (int j = 0; j < 4; ++j) {
            types[j] = j % 2 == 0 ? EffectType::Lpf : EffectType::MoogVcf;
            fx.push_back(makeEffect(types[j], s));
            fx.back()->setModulated(0, cutoffs[j] / 100, res[j]);
            lpfL.emplace_back(cutoffs[j] / 100 * 100, res[j]);
            lpfR.emplace_back(cutoffs[j] / 100 * 100, res[j]);
            moogL.emplace_back(cutoffs[j] / 100 * 100, res[j]);
            moogR.emplace_back(cutoffs[j] / 100 * 100, res[j]);
        }
        for (int block = 0; block < 20; ++block) {
            std::vector<std::vector<float>> bufs, want;
            for (int j = 0; j < 4; ++j) {
                bufs.push_back(
                    noise(static_cast<size_t>(count), static_cast<unsigned>(block * 10 + j)));
                want.push_back(bufs.back());
                for (int i = 0; i < count; ++i) {
                    const bool right = stereo && (i % 2 == 1);
                    float& w = want[j][static_cast<size_t>(i)];
                    w = types[j] == EffectType::Lpf ? (right ? lpfR[j] : lpfL[j]).step(w)
                                                    : (right ? moogR[j] : moogL[j]).step(w);
                }
            }
            Effect* e[4] = {fx[0].get(), fx[1].get(), fx[2].get(), fx[3].get()};
            float* b[4] = {bufs[0].data(), bufs[1].data(), bufs[2].data(), bufs[3].data()};
            if (block % 2 == 0) {
                processEffects(e, types, b, 4, count);
            } else {
                for (int j = 0; j < 4; ++j) {
                    fx[j]->process(b[j], count);
                }
            }
            for (int j = 0; j < 4; ++j) {
                ASSERT_EQ(bufs[j], want[j])
                    << "stereo " << stereo << " filter " << j << " block " << block;
            }
        }
    }
}

// The plain oscillator of the formulas, one sample at a time.
struct RefOsc {
    int type;
    double s = 0, c = 1, ramp = 0;
    double next(double k, double step, bool stereo) {
        const double prev = s;
        s = s + k * c;
        c = c - k * s;
        switch (type) {
            case 0:
                return stereo ? prev : s;
            case 1:
                return s > 0 ? 1.0 : -1.0;
            case 3:
                if (prev >= 0 && s < 0)
                    ramp = -1;
                ramp = std::min(ramp + step, 1.0);
                return ramp;
            default:
                ramp = prev < s ? std::min(ramp + step, 1.0) : std::max(ramp - step, -1.0);
                return ramp;
        }
    }
};

// A generator adds v x gain, v a double, into the float sample: the sum is
// taken in double and rounded to float once.
void addOnce(float& sample, double v, float gain) {
    sample = static_cast<float>(sample + v * gain);
}

TEST(Reference, BatchedGeneratorsMatchTheFormulas) {
    constexpr double kPi = 3.14159265358979323846;
    for (bool stereo : {false, true}) {
        for (int type : {0, 1, 3, 4}) {
            for (int spread : {0, 40}) {
                Settings s;
                s.setStereo(stereo);
                const int count = s.blockFloats;
                const int n = 7;  // more than one group of four
                std::vector<std::unique_ptr<Generator>> gens;
                std::vector<RefOsc> left, right;
                std::vector<std::vector<float>> bufs(
                    n, std::vector<float>(static_cast<size_t>(count), 0.25f));
                std::vector<std::vector<float>> want = bufs;
                float freqs[n];
                for (int j = 0; j < n; ++j) {
                    gens.push_back(makeGenerator(static_cast<GeneratorType>(type), s));
                    gens.back()->noteOn(0, 100 + j, j * 9 - 30, spread, nullptr);
                    gens.back()->setGains(0.9f, 0.7f);
                    freqs[j] = 200.0f + 150.0f * j;
                    RefOsc l{type}, r{type};
                    if (spread != 0) {
                        const double a = spread * kPi / 360;
                        l = RefOsc{type, std::sin(a), std::cos(a), spread / 360.0};
                        r = RefOsc{type, std::sin(-a), std::cos(-a), -spread / 360.0};
                    }
                    left.push_back(l);
                    right.push_back(r);
                }
                for (int block = 0; block < 8; ++block) {
                    for (int j = 0; j < n; ++j) {
                        const float gain = static_cast<float>(100 + j) / 127.0f;
                        float pl = 1, pr = 1;
                        panGains(j * 9 - 30, pl, pr);
                        const float gl = pl * gain * 0.9f, gr = gain * pr * 0.7f;
                        const double step = freqs[j] / 44100.0, k = std::sin(kPi * step);
                        auto& w = want[static_cast<size_t>(j)];
                        if (!stereo) {
                            for (int i = 0; i < count; ++i) {
                                addOnce(w[static_cast<size_t>(i)], left[j].next(k, step, false),
                                        gl);
                            }
                        } else {
                            for (int i = 0; i < count; i += 2) {
                                const double l = left[j].next(k, step, true);
                                addOnce(w[static_cast<size_t>(i)], l, gl);
                                const double r = spread != 0 ? right[j].next(k, step, true) : l;
                                addOnce(w[static_cast<size_t>(i) + 1], r, gr);
                            }
                        }
                    }
                    Generator* g[n];
                    float* b[n];
                    for (int j = 0; j < n; ++j) {
                        g[j] = gens[j].get();
                        b[j] = bufs[static_cast<size_t>(j)].data();
                    }
                    if (block % 2 == 0) {
                        renderGenerators(static_cast<GeneratorType>(type), g, b, freqs, n, count);
                    } else {
                        for (int j = 0; j < n; ++j) {
                            g[j]->render(b[j], count, freqs[j]);
                        }
                    }
                    ASSERT_EQ(bufs, want)
                        << "type " << type << " stereo " << stereo << " spread " << spread;
                }
            }
        }
    }
}

TEST(Reference, GeneratorsAddTheirProductRoundedOnce) {
    constexpr double kPi = 3.14159265358979323846;
    for (bool stereo : {false, true}) {
        Settings s;
        s.setStereo(stereo);
        const int count = s.blockFloats;
        auto g = makeGenerator(GeneratorType::Sine, s);
        g->noteOn(0, 100, 0, 0, nullptr);
        g->setGains(0.9f, 0.9f);
        const float gain = 1.0f * (100 / 127.0f) * 0.9f;
        const float frequency = 1234.5f;
        const double step = frequency / 44100.0, k = std::sin(kPi * step);
        std::vector<float> buf(static_cast<size_t>(count));
        for (size_t i = 0; i < buf.size(); ++i) {
            buf[i] = 0.3f + static_cast<float>(i) * 1e-3f;
        }
        std::vector<float> once = buf, twice = buf;
        RefOsc ref{0};
        for (size_t i = 0; i < buf.size(); i += stereo ? 2 : 1) {
            const double v = ref.next(k, step, stereo);
            for (size_t side = 0; side < (stereo ? 2u : 1u); ++side) {
                addOnce(once[i + side], v, gain);
                twice[i + side] += static_cast<float>(v * gain);
            }
        }
        g->render(buf.data(), count, frequency);
        EXPECT_EQ(buf, once) << "stereo " << stereo;
        EXPECT_NE(once, twice) << "the case must tell one rounding from two";
    }
}

TEST(Reference, LfoFilterModulationIsSummedInDouble) {
    constexpr double kPi = 3.14159265358979323846;
    Settings s;
    Instrument in(s);
    in.setGenerator(0, GeneratorType::Sine, 127, 0, 0, 0);
    in.setLfoRate(600);
    in.lfoDepth = 77;
    in.lfoDestination = LfoDestination::Cutoff;
    double a = 1.0, b = 0.0;
    const double k = std::sin(256 * (600 / 60.0) * kPi / 44100);
    float once = 0.0f, twice = 0.0f;
    bool differed = false;
    std::vector<float> buf(256);
    for (int block = 0; block < 400; ++block) {
        in.render(buf.data(), 256);
        a = a - k * b;
        b = b + k * a;
        const double g = b * 77;
        once = static_cast<float>(once + g / 256);
        twice += static_cast<float>(g / 256);
        ASSERT_EQ(in.cutoffMod, once) << "block " << block;
        differed = differed || once != twice;
    }
    EXPECT_TRUE(differed) << "the case must tell one rounding from two";
}

TEST(Reference, PortamentoStepIsTakenInDouble) {
    Settings s;
    Instrument in(s);
    in.setGenerator(0, GeneratorType::Sine, 127, 0, 0, 0);
    in.portamento = 5;
    in.noteOn(40, 100);
    in.noteOn(60, 100);  // glide offset 40 - 60 = -20 semitones
    float once = -20.0f, twice = -20.0f;
    bool differed = false;
    std::vector<float> buf(256);
    for (int block = 0; block < 500; ++block) {
        std::fill(buf.begin(), buf.end(), 0.0f);
        in.render(buf.data(), 256);
        once = once + 5 * 0.01 > 0.0 ? 0.0f : static_cast<float>(once + 5 * 0.01);
        twice = twice + 0.05f > 0.0f ? 0.0f : twice + 0.05f;
        ASSERT_EQ(in.glide, once) << "block " << block;
        differed = differed || once != twice;
    }
    EXPECT_EQ(once, 0.0f);
    EXPECT_TRUE(differed) << "the case must tell one rounding from two";
}

TEST(Reference, StagedMixerMatchesChannelAfterChannel) {
    // Two identical players; one renders through the mixer, the other is
    // rendered here one channel at a time with the plain instrument and
    // effect calls, then summed, scaled and smoothed by hand.
    const std::string text =
        test::monoHead(3, true) +
        "cefx channel=0\n  effect slot=0 type=eLPF hz=3000 res=30\n  effect slot=2 type=eMoogVCF "
        "hz=9000 res=10\n"
        "cefx channel=2\n  effect slot=0 type=eMoogVCF hz=1500 res=40\n"
        "inst name=a index=0 channel=0 lforate=200 lfodest=5 lfodepth=50\n"
        "  gen slot=0 type=gSaw spread=30\n  gen slot=1 type=gSine pitch=12\n"
        "  fx slot=0 type=eMoogVCF cutoff=30 resonance=30 cutdepth=20\n  fx slot=1 type=eLPF "
        "cutoff=80\n"
        "  amp 5:1 300:0.4 200:0\n"
        "inst name=b index=1 channel=1\n  gen slot=0 type=gSquare\n  gen slot=2 type=gTriangle "
        "spread=12\n"
        "  pan 100:0.8 100:-0.8\n"
        "inst name=c index=2 channel=2\n  gen slot=0 type=gNoice level=40\n  gen slot=1 type=gSaw\n"
        "  fx slot=0 type=eLPF cutoff=50 resonance=20\n";
    test::Rig a(text), b(text);
    for (auto* rig : {&a, &b}) {
        for (int c = 0; c < 3; ++c) {
            for (int v = 0; v < 3; ++v) {
                rig->send(0x90 | c, 48 + 7 * v + c, 100);
            }
        }
        rig->send(0xB1, 7, 90);
    }
    Mixer& mb = b.player->mixer();
    const int count = 512;
    std::vector<float> out(count), sum(count), prev(4, 0.0f);
    for (int block = 0; block < 40; ++block) {
        a.player->mixer().render(out.data(), count);
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (MixerChannel& ch : mb.channels) {
            std::vector<float> cb(count, 0.0f);
            if (ch.instrument != nullptr && ch.instrument->render(cb.data(), count)) {
                for (float& x : cb) {
                    x *= ch.gain;
                }
                for (auto& e : ch.effects) {
                    if (e.effect) {
                        e.effect->process(cb.data(), count);
                    }
                }
            }
            for (int i = 0; i < count; ++i) {
                sum[i] += cb[i];
            }
        }
        for (int i = 0; i < count; i += 2) {
            sum[i] *= mb.masterLeft;
            sum[i + 1] *= mb.masterRight;
        }
        std::vector<float> x(prev);
        x.insert(x.end(), sum.begin(), sum.end());
        std::vector<float> want(count);
        for (int k = 0; k < count; ++k) {
            want[k] = (x[k] + x[k + 2] + x[k + 4]) * 0.25f;
        }
        prev.assign(sum.end() - 4, sum.end());
        ASSERT_EQ(out, want) << "block " << block;
    }
}

}  // namespace
}  // namespace kvx::synth
