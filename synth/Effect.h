// Effects: the two four-pole resonant low-pass filters, "eLPF" (type 0) and
// "eMoogVCF" (type 1), each with a cubic soft clipper in its last pole.
//
// Both keep cutoff (Hz, clamped to 0..44100) and resonance (0..50) as
// integers, coefficients and per-channel state as doubles; the right state is
// used only in stereo. Setting parameters never clears the state.
//
// A filter driven hard enough leaves the stable range of its clipper; its
// state then runs off to infinity. Such a state is reset to silence at the end
// of the block, so the filter recovers instead of producing NaN for ever.
// Tiny states are flushed to zero at the same point so that decaying tails
// never reach denormal numbers.
//
// Threads: parameters are set while the configuration is read; process runs
// on the music thread.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "synth/Tables.h"

namespace kvx::synth {

struct FilterKernels;

// Two doubles that one instruction processes together (SSE2 on x86-64; plain
// scalar code elsewhere). The filters keep the left and right channel in the
// two lanes: each lane computes exactly what scalar code would, with no
// reordering and no fused operations.
typedef double Double2 __attribute__((vector_size(16)));
inline Double2 abs2(Double2 v) {
    return Double2{std::fabs(v[0]), std::fabs(v[1])};
}

class Effect {
  public:
    // Virtual operations in their fixed order.
    virtual ~Effect() = default;
    virtual void process(float* buffer, int count) = 0;
    // aux is ignored by both filters; cutoff arrives in hundreds of Hz.
    virtual void setModulated(int aux, int cutoffHundreds, int resonance) = 0;
    virtual int parameterSize() const = 0;
    // Writes cutoff (Hz) and resonance as two 32-bit integers (8 bytes).
    virtual void getParameters(uint8_t* out) const = 0;
    // Reads cutoff (Hz) and resonance from the first 8 bytes; a shorter
    // block changes nothing.
    virtual void setParameters(const uint8_t* block, int size) = 0;

    // State copies (see Generator::clone): a copy with all its state, and
    // the settings of the player a copy now belongs to.
    virtual std::unique_ptr<Effect> clone() const = 0;
    virtual void bind(const Settings& settings) = 0;
};

// Shared parameter handling of the two filters.
class Filter : public Effect {
  public:
    explicit Filter(const Settings& settings) : settings_(&settings) {}

    void setModulated(int aux, int cutoffHundreds, int resonance) override;
    int parameterSize() const override { return 8; }
    void getParameters(uint8_t* out) const override;
    void setParameters(const uint8_t* block, int size) override;
    void bind(const Settings& settings) override { settings_ = &settings; }

    int cutoff() const { return cutoff_; }
    int resonance() const { return resonance_; }

  protected:
    friend struct FilterKernels;
    // Stores clamped values and recomputes the coefficients if they changed.
    void set(int64_t cutoffHz, int64_t resonance);
    virtual void computeCoefficients() = 0;

    const Settings* settings_;
    int cutoff_ = 4000;
    int resonance_ = 0;
};

class Lpf final : public Filter {
  public:
    explicit Lpf(const Settings& settings);
    std::unique_ptr<Effect> clone() const override { return std::make_unique<Lpf>(*this); }
    void process(float* buffer, int count) override;

    double k = 0.0, p = 0.0, r = 0.0;

  private:
    friend struct FilterKernels;
    // Lane 0 is the left (or mono) channel, lane 1 the right.
    struct State {
        Double2 x0{}, y1{}, y2{}, y3{}, y4{}, p1{}, p2{}, p3{};
        Double2 magnitude() const { return abs2(x0) + abs2(y1) + abs2(y2) + abs2(y3) + abs2(y4); }
        void clearLane(int lane) {
            for (Double2* v : {&x0, &y1, &y2, &y3, &y4, &p1, &p2, &p3}) {
                (*v)[lane] = 0.0;
            }
        }
    };
    void computeCoefficients() override;
    void finishBlock();
    State s_;
};

class MoogVcf final : public Filter {
  public:
    explicit MoogVcf(const Settings& settings);
    std::unique_ptr<Effect> clone() const override { return std::make_unique<MoogVcf>(*this); }
    void process(float* buffer, int count) override;

    double p = 0.0, fb = 0.0, q = 0.0;

  private:
    friend struct FilterKernels;
    struct State {
        Double2 b0{}, b1{}, b2{}, b3{}, b4{};
        Double2 magnitude() const { return abs2(b0) + abs2(b1) + abs2(b2) + abs2(b3) + abs2(b4); }
        void clearLane(int lane) {
            for (Double2* v : {&b0, &b1, &b2, &b3, &b4}) {
                (*v)[lane] = 0.0;
            }
        }
    };
    void computeCoefficients() override;
    void finishBlock();
    State s_;
};

// The type numbers are those of the registration order.
enum class EffectType : uint8_t { Lpf = 0, MoogVcf = 1 };

// Runs n effects, effect j over buffers[j] (all of one block size), with
// the same result as calling process() on each in turn. The buffers must be
// distinct. Each filter's feedback makes its samples a long chain of
// dependent operations; stepping several filters side by side lets the CPU
// overlap their chains. types[j] is the type effect j was made with. n is at
// most kMaxBatch per call.
constexpr int kMaxBatch = 16;
void processEffects(Effect* const* effects, const EffectType* types, float* const* buffers, int n,
                    int count);

// The type of a registered effect name ("eLPF", "eMoogVCF"), or nothing.
std::optional<EffectType> effectTypeByName(std::string_view name);
const char* effectTypeName(EffectType type);
std::unique_ptr<Effect> makeEffect(EffectType type, const Settings& settings);

}  // namespace kvx::synth
