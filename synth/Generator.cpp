// The five generator types (see Generator.h).
#include "synth/Generator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace kvx::synth {

namespace {

constexpr double kPi = 3.14159265358979323846;

const char* const kNames[] = {"gSine", "gSquare", "gNoice", "gSaw", "gTriangle"};

// Most generators one batch call steps side by side.
constexpr int kBatch = 16;

// Gain and pan handling common to all types.
class GeneratorBase : public Generator {
  public:
    explicit GeneratorBase(const Settings& settings) : settings_(&settings) {}

    void setGains(float left, float right) override {
        gainLeft_ = panLeft_ * gain_ * left;
        gainRight_ = gain_ * panRight_ * right;
    }
    void bind(const Settings& settings) override { settings_ = &settings; }

  protected:
    void noteOnGains(int level, int pan) {
        gain_ = static_cast<float>(level) / 127.0f;
        panGains(pan, panLeft_, panRight_);
    }

    const Settings* settings_;
    float gain_ = 1.0f;
    float panLeft_ = 1.0f;
    float panRight_ = 1.0f;
    float gainLeft_ = 0.0f;
    float gainRight_ = 0.0f;
};

// One coupled-form oscillator: s is the sine, c the cosine; ramp is the
// saw/triangle value that follows it.
struct Osc {
    double s = 0.0;
    double c = 1.0;
    double ramp = 0.0;
};

template <GeneratorType Type>
class Oscillator final : public GeneratorBase {
  public:
    using GeneratorBase::GeneratorBase;

    std::unique_ptr<Generator> clone() const override {
        return std::make_unique<Oscillator>(*this);
    }

    void noteOn(double, int level, int pan, int phaseSpread, void*) override {
        noteOnGains(level, pan);
        lastFrequency_ = -1.0f;
        spread_ = phaseSpread != 0;
        if (spread_) {
            const double angle = phaseSpread * kPi / 360.0;
            left_ = Osc{std::sin(angle), std::cos(angle), phaseSpread / 360.0};
            right_ = Osc{std::sin(-angle), std::cos(-angle), -phaseSpread / 360.0};
        } else {
            left_ = Osc{};
            right_ = Osc{};
        }
    }

    void render(float* buffer, int count, float frequency) override {
        setFrequency(frequency);
        // The product is added in double and the sum rounded to float once.
        if (!settings_->stereo) {
            for (int i = 0; i < count; ++i) {
                buffer[i] = static_cast<float>(buffer[i] + next(left_, false) * gainLeft_);
            }
            return;
        }
        for (int i = 0; i + 1 < count; i += 2) {
            const double l = next(left_, true);
            buffer[i] = static_cast<float>(buffer[i] + l * gainLeft_);
            const double r = spread_ ? next(right_, true) : l;
            buffer[i + 1] = static_cast<float>(buffer[i + 1] + r * gainRight_);
        }
    }

    // render() of n generators of this type, each into its own buffer at its
    // own frequency (see renderGenerators).
    static void renderBatch(Generator* const* generators, float* const* buffers,
                            const float* frequencies, int n, int count);

  private:
    void setFrequency(float frequency) {
        if (frequency != lastFrequency_) {
            lastFrequency_ = frequency;
            step_ = frequency / static_cast<double>(kSampleRate);
            k_ = std::sin(kPi * step_);
        }
    }

    // Advances one oscillator by a sample and returns the type's value. In
    // stereo the sine adds its value from before the update, in mono the
    // updated one; stored songs were tuned by ear with this difference.
    double next(Osc& o, bool stereo) const {
        const double previous = o.s;
        o.s = o.s + k_ * o.c;
        o.c = o.c - k_ * o.s;
        if constexpr (Type == GeneratorType::Sine) {
            return stereo ? previous : o.s;
        } else if constexpr (Type == GeneratorType::Square) {
            return o.s > 0.0 ? 1.0 : -1.0;
        } else if constexpr (Type == GeneratorType::Saw) {
            if (previous >= 0.0 && o.s < 0.0) {
                o.ramp = -1.0;
            }
            o.ramp += step_;
            if (o.ramp > 1.0) {
                o.ramp = 1.0;
            }
            return o.ramp;
        } else {
            if (previous < o.s) {
                o.ramp += step_;
                if (o.ramp > 1.0) {
                    o.ramp = 1.0;
                }
            } else {
                o.ramp -= step_;
                if (o.ramp < -1.0) {
                    o.ramp = -1.0;
                }
            }
            return o.ramp;
        }
    }

    Osc left_;
    Osc right_;
    bool spread_ = false;
    float lastFrequency_ = -1.0f;
    double step_ = 0.0;
    double k_ = 0.0;
};

// One oscillator stream of a batch: its state, where its values go and with
// which gains. In mono, and in stereo without phase spread, a stream feeds
// out[0] (times gain0) and, in stereo, also out[1] (times gain1); with phase
// spread the left and right oscillators are two streams of one output each.
struct Stream {
    Osc* osc;
    double k;
    double step;
    float* out;
    float gain0;
    float gain1;
};

enum class Feed { Mono, StereoBoth, StereoOne };

// The type's value after advancing (s, c) by one sample (see Oscillator::next).
template <GeneratorType Type, bool Stereo>
inline double advance(double& s, double& c, double& ramp, double k, double step) {
    const double previous = s;
    s = s + k * c;
    c = c - k * s;
    if constexpr (Type == GeneratorType::Sine) {
        return Stereo ? previous : s;
    } else if constexpr (Type == GeneratorType::Square) {
        return s > 0.0 ? 1.0 : -1.0;
    } else if constexpr (Type == GeneratorType::Saw) {
        if (previous >= 0.0 && s < 0.0) {
            ramp = -1.0;
        }
        ramp += step;
        if (ramp > 1.0) {
            ramp = 1.0;
        }
        return ramp;
    } else {
        if (previous < s) {
            ramp += step;
            if (ramp > 1.0) {
                ramp = 1.0;
            }
        } else {
            ramp -= step;
            if (ramp < -1.0) {
                ramp = -1.0;
            }
        }
        return ramp;
    }
}

// N streams side by side, their state in locals (registers), for `frames`
// frames. Each stream computes exactly what a lone oscillator computes.
template <GeneratorType Type, Feed F, int N>
void runStreams(const Stream* st, int frames) {
    double s[N], c[N], r[N], k[N], step[N];
    float g0[N], g1[N];
    float* out[N];
    for (int j = 0; j < N; ++j) {
        s[j] = st[j].osc->s;
        c[j] = st[j].osc->c;
        r[j] = st[j].osc->ramp;
        k[j] = st[j].k;
        step[j] = st[j].step;
        g0[j] = st[j].gain0;
        g1[j] = st[j].gain1;
        out[j] = st[j].out;
    }
    constexpr int stride = F == Feed::Mono ? 1 : 2;
    for (int f = 0; f < frames; ++f) {
        for (int j = 0; j < N; ++j) {
            const double v = advance<Type, F != Feed::Mono>(s[j], c[j], r[j], k[j], step[j]);
            float* o = out[j] + static_cast<ptrdiff_t>(f) * stride;
            o[0] = static_cast<float>(o[0] + v * g0[j]);
            if constexpr (F == Feed::StereoBoth) {
                o[1] = static_cast<float>(o[1] + v * g1[j]);
            }
        }
    }
    for (int j = 0; j < N; ++j) {
        st[j].osc->s = s[j];
        st[j].osc->c = c[j];
        st[j].osc->ramp = r[j];
    }
}

template <GeneratorType Type, Feed F>
void runAllStreams(const Stream* st, int n, int frames) {
    while (n >= 4) {
        runStreams<Type, F, 4>(st, frames);
        st += 4;
        n -= 4;
    }
    switch (n) {
        case 3:
            runStreams<Type, F, 3>(st, frames);
            break;
        case 2:
            runStreams<Type, F, 2>(st, frames);
            break;
        case 1:
            runStreams<Type, F, 1>(st, frames);
            break;
        default:
            break;
    }
}

template <GeneratorType Type>
void Oscillator<Type>::renderBatch(Generator* const* generators, float* const* buffers,
                                   const float* frequencies, int n, int count) {
    Stream streams[2 * kBatch];
    int m = 0;
    if (n <= 0) {
        return;
    }
    const bool stereo = static_cast<Oscillator*>(generators[0])->settings_->stereo;
    const bool spread = static_cast<Oscillator*>(generators[0])->spread_;
    for (int j = 1; j < n; ++j) {
        if (static_cast<Oscillator*>(generators[j])->spread_ != spread) {
            // Generators of one slot share its spread; should they not, each
            // renders on its own.
            for (int i = 0; i < n; ++i) {
                generators[i]->render(buffers[i], count, frequencies[i]);
            }
            return;
        }
    }
    const Feed feed = !stereo ? Feed::Mono : (spread ? Feed::StereoOne : Feed::StereoBoth);
    for (int j = 0; j < n && j < kBatch; ++j) {
        auto& g = *static_cast<Oscillator*>(generators[j]);
        g.setFrequency(frequencies[j]);
        if (feed == Feed::StereoOne) {
            streams[m++] = Stream{&g.left_, g.k_, g.step_, buffers[j], g.gainLeft_, 0.0f};
            streams[m++] = Stream{&g.right_, g.k_, g.step_, buffers[j] + 1, g.gainRight_, 0.0f};
        } else {
            streams[m++] = Stream{&g.left_, g.k_, g.step_, buffers[j], g.gainLeft_, g.gainRight_};
        }
    }
    const int frames = stereo ? count / 2 : count;
    switch (feed) {
        case Feed::Mono:
            runAllStreams<Type, Feed::Mono>(streams, m, frames);
            break;
        case Feed::StereoBoth:
            runAllStreams<Type, Feed::StereoBoth>(streams, m, frames);
            break;
        case Feed::StereoOne:
            runAllStreams<Type, Feed::StereoOne>(streams, m, frames);
            break;
    }
}

// Plays the shared noise table; pitch is ignored, and the read position
// carries on from note to note.
class Noise final : public GeneratorBase {
  public:
    using GeneratorBase::GeneratorBase;

    std::unique_ptr<Generator> clone() const override { return std::make_unique<Noise>(*this); }

    void noteOn(double, int level, int pan, int, void*) override { noteOnGains(level, pan); }

    void render(float* buffer, int count, float) override {
        // A request longer than the table is played in pieces that fit it
        // (an even size, so stereo frames stay whole).
        constexpr int kPiece = kNoiseSize - 2;
        while (count > kNoiseSize - 1) {
            renderPiece(buffer, kPiece);
            buffer += kPiece;
            count -= kPiece;
        }
        renderPiece(buffer, count);
    }

  private:
    void renderPiece(float* buffer, int count) {
        const float* noise = noiseTable();
        if (index_ + count > kNoiseSize - 1) {
            index_ = 0;
        }
        if (!settings_->stereo) {
            for (int i = 0; i < count; ++i) {
                buffer[i] += noise[index_++] * gainLeft_;
            }
            return;
        }
        for (int i = 0; i + 1 < count; i += 2) {
            buffer[i] += noise[index_] * gainLeft_;
            buffer[i + 1] += noise[index_ + 1] * gainRight_;
            index_ += 2;
        }
    }

    int index_ = 0;
};

}  // namespace

void panGains(int pan, float& left, float& right) {
    left = 1.0f;
    right = 1.0f;
    if (pan < 0) {
        right = 1.0f + static_cast<float>(pan) / 64.0f;
    }
    if (pan > 0) {
        left = 1.0f - static_cast<float>(pan) / 64.0f;
    }
}

std::optional<GeneratorType> generatorTypeByName(std::string_view name) {
    for (GeneratorType type : kGeneratorTypes) {
        if (name == generatorTypeName(type)) {
            return type;
        }
    }
    return std::nullopt;
}

const char* generatorTypeName(GeneratorType type) {
    const auto i = static_cast<size_t>(type);
    return i < std::size(kNames) ? kNames[i] : "";
}

void renderGenerators(GeneratorType type, Generator* const* generators, float* const* buffers,
                      const float* frequencies, int n, int count) {
    // Batches of at most kBatch; a batch is one type, so one loop.
    for (int start = 0; start < n; start += kBatch) {
        const int m = std::min(kBatch, n - start);
        Generator* const* g = generators + start;
        float* const* b = buffers + start;
        const float* f = frequencies + start;
        switch (type) {
            case GeneratorType::Sine:
                Oscillator<GeneratorType::Sine>::renderBatch(g, b, f, m, count);
                break;
            case GeneratorType::Square:
                Oscillator<GeneratorType::Square>::renderBatch(g, b, f, m, count);
                break;
            case GeneratorType::Saw:
                Oscillator<GeneratorType::Saw>::renderBatch(g, b, f, m, count);
                break;
            case GeneratorType::Triangle:
                Oscillator<GeneratorType::Triangle>::renderBatch(g, b, f, m, count);
                break;
            default:
                for (int j = 0; j < m; ++j) {
                    g[j]->render(b[j], count, f[j]);
                }
                break;
        }
    }
}

std::unique_ptr<Generator> makeGenerator(GeneratorType type, const Settings& settings) {
    switch (type) {
        case GeneratorType::Sine:
            return std::make_unique<Oscillator<GeneratorType::Sine>>(settings);
        case GeneratorType::Square:
            return std::make_unique<Oscillator<GeneratorType::Square>>(settings);
        case GeneratorType::Noise:
            return std::make_unique<Noise>(settings);
        case GeneratorType::Saw:
            return std::make_unique<Oscillator<GeneratorType::Saw>>(settings);
        case GeneratorType::Triangle:
            return std::make_unique<Oscillator<GeneratorType::Triangle>>(settings);
    }
    return nullptr;
}

}  // namespace kvx::synth
