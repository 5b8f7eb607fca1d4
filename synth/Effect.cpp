// The two filters (see Effect.h).
#include "synth/Effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "core/ByteReader.h"
#include "core/ByteWriter.h"

namespace kvx::synth {

namespace {

const char* const kNames[] = {"eLPF", "eMoogVCF"};

// Resets a channel (lane) whose state ran away, and flushes one that decayed
// to nearly nothing (far below what a 16-bit sample can show).
template <typename State>
void sanitize(State& s) {
    const Double2 m = s.magnitude();
    for (int lane = 0; lane < 2; ++lane) {
        if (!std::isfinite(m[lane]) || m[lane] < 1e-25) {
            s.clearLane(lane);
        }
    }
}

}  // namespace

void Filter::setModulated(int, int cutoffHundreds, int resonance) {
    set(static_cast<int64_t>(cutoffHundreds) * 100, resonance);
}

void Filter::getParameters(uint8_t* out) const {
    core::storeI32(out, cutoff_);
    core::storeI32(out + 4, resonance_);
}

void Filter::setParameters(const uint8_t* block, int size) {
    if (block == nullptr || size < 8) {
        return;
    }
    core::ByteReader r(block, static_cast<size_t>(size));
    const int32_t cutoff = r.i32();
    const int32_t resonance = r.i32();
    set(cutoff, resonance);
}

void Filter::set(int64_t cutoffHz, int64_t resonance) {
    const int c = static_cast<int>(std::clamp<int64_t>(cutoffHz, 0, kSampleRate));
    const int r = static_cast<int>(std::clamp<int64_t>(resonance, 0, 50));
    cutoff_ = c;
    resonance_ = r;
    computeCoefficients();
}

Lpf::Lpf(const Settings& settings) : Filter(settings) {
    computeCoefficients();
}

void Lpf::computeCoefficients() {
    const double f = static_cast<double>(cutoff_) / kSampleRate;
    k = 3.6 * f - 1.6 * f * f - 1.0;
    p = (k + 1.0) * 0.5;
    r = std::exp((1.0 - p) * 1.386249) * resonance_ * 0.02;
}

MoogVcf::MoogVcf(const Settings& settings) : Filter(settings) {
    computeCoefficients();
}

void MoogVcf::computeCoefficients() {
    const double f = static_cast<double>(cutoff_) / kSampleRate;
    const double q1 = 1.0 - f;
    p = (q1 * 0.8 + 1.0) * f;
    fb = 2.0 * p - 1.0;
    q = (q1 * (q1 * q1 * 5.6 + (1.0 - q1)) * 0.5 + 1.0) * resonance_ * 0.02;
}

// Filters stepped side by side. A kernel takes NL eLPF and NM eMoogVCF
// filters, copies their coefficients and state into locals (registers),
// steps frame after frame, and writes the state back. Every filter keeps its
// own order of operations, so the results equal processing one filter after
// the other; interleaving them lets the CPU overlap their feedback chains.
// The two lanes of a step carry the left and right sample; in mono the
// second lane idles.
struct FilterKernels {
    [[gnu::always_inline]] static Double2 lpfStep(Lpf::State& s, double k, double p, double r,
                                                  Double2 in) {
        const Double2 x = in - r * s.y4;
        const Double2 y1 = (x + s.x0) * p - k * s.y1;
        const Double2 y2 = (y1 + s.p1) * p - k * s.y2;
        const Double2 y3 = (y2 + s.p2) * p - k * s.y3;
        Double2 y4 = (y3 + s.p3) * p - k * s.y4;
        y4 = y4 - y4 * y4 * y4 / 6.0;
        s.p1 = y1;
        s.p2 = y2;
        s.p3 = y3;
        s.x0 = x;
        s.y1 = y1;
        s.y2 = y2;
        s.y3 = y3;
        s.y4 = y4;
        return y4;
    }

    [[gnu::always_inline]] static Double2 moogStep(MoogVcf::State& s, double p, double fb, double q,
                                                   Double2 in) {
        const Double2 x = in - q * s.b4;
        Double2 t1 = s.b1;
        s.b1 = (x + s.b0) * p - s.b1 * fb;
        const Double2 t2 = s.b2;
        s.b2 = (s.b1 + t1) * p - s.b2 * fb;
        t1 = s.b3;
        s.b3 = (s.b2 + t2) * p - s.b3 * fb;
        s.b4 = (s.b3 + t1) * p - s.b4 * fb;
        s.b4 = s.b4 - s.b4 * s.b4 * s.b4 * 0.166667;
        s.b0 = x;
        return x - 3.0 * (s.b3 - s.b4) - s.b4;
    }

    template <bool Stereo, int NL, int NM>
    static void kernel(Lpf* const* lf, float* const* lb, MoogVcf* const* mf, float* const* mb,
                       int frames) {
        Lpf::State ls[NL > 0 ? NL : 1];
        MoogVcf::State ms[NM > 0 ? NM : 1];
        double lk[NL > 0 ? NL : 1], lp[NL > 0 ? NL : 1], lr[NL > 0 ? NL : 1];
        double mp[NM > 0 ? NM : 1], mfb[NM > 0 ? NM : 1], mq[NM > 0 ? NM : 1];
        for (int j = 0; j < NL; ++j) {
            ls[j] = lf[j]->s_;
            lk[j] = lf[j]->k;
            lp[j] = lf[j]->p;
            lr[j] = lf[j]->r;
        }
        for (int j = 0; j < NM; ++j) {
            ms[j] = mf[j]->s_;
            mp[j] = mf[j]->p;
            mfb[j] = mf[j]->fb;
            mq[j] = mf[j]->q;
        }
        constexpr int stride = Stereo ? 2 : 1;
        for (int f = 0; f < frames; ++f) {
            const ptrdiff_t i = static_cast<ptrdiff_t>(f) * stride;
            for (int j = 0; j < NL; ++j) {
                float* x = lb[j] + i;
                const Double2 out =
                    lpfStep(ls[j], lk[j], lp[j], lr[j], Double2{x[0], Stereo ? x[1] : 0.0f});
                x[0] = static_cast<float>(out[0]);
                if constexpr (Stereo) {
                    x[1] = static_cast<float>(out[1]);
                }
            }
            for (int j = 0; j < NM; ++j) {
                float* x = mb[j] + i;
                const Double2 out =
                    moogStep(ms[j], mp[j], mfb[j], mq[j], Double2{x[0], Stereo ? x[1] : 0.0f});
                x[0] = static_cast<float>(out[0]);
                if constexpr (Stereo) {
                    x[1] = static_cast<float>(out[1]);
                }
            }
        }
        for (int j = 0; j < NL; ++j) {
            lf[j]->s_ = ls[j];
            lf[j]->finishBlock();
        }
        for (int j = 0; j < NM; ++j) {
            mf[j]->s_ = ms[j];
            mf[j]->finishBlock();
        }
    }

    template <bool Stereo, int NL>
    static void withMoogs(int nm, Lpf* const* lf, float* const* lb, MoogVcf* const* mf,
                          float* const* mb, int frames) {
        switch (nm) {
            case 0:
                kernel<Stereo, NL, 0>(lf, lb, mf, mb, frames);
                break;
            case 1:
                kernel<Stereo, NL, 1>(lf, lb, mf, mb, frames);
                break;
            case 2:
                kernel<Stereo, NL, 2>(lf, lb, mf, mb, frames);
                break;
            case 3:
                kernel<Stereo, NL, 3>(lf, lb, mf, mb, frames);
                break;
            default:
                kernel<Stereo, NL, 4>(lf, lb, mf, mb, frames);
                break;
        }
    }

    template <bool Stereo>
    static void dispatch(int nl, int nm, Lpf* const* lf, float* const* lb, MoogVcf* const* mf,
                         float* const* mb, int frames) {
        switch (nl) {
            case 0:
                withMoogs<Stereo, 0>(nm, lf, lb, mf, mb, frames);
                break;
            case 1:
                withMoogs<Stereo, 1>(nm, lf, lb, mf, mb, frames);
                break;
            case 2:
                withMoogs<Stereo, 2>(nm, lf, lb, mf, mb, frames);
                break;
            case 3:
                withMoogs<Stereo, 3>(nm, lf, lb, mf, mb, frames);
                break;
            default:
                withMoogs<Stereo, 4>(nm, lf, lb, mf, mb, frames);
                break;
        }
    }

    // Up to four filters of each type per kernel call.
    static void run(Filter* const* f, const EffectType* types, float* const* b, int n, int count) {
        if (n == 0) {
            return;
        }
        Lpf* lf[kMaxBatch];
        float* lb[kMaxBatch];
        MoogVcf* mf[kMaxBatch];
        float* mb[kMaxBatch];
        int nl = 0, nm = 0;
        for (int j = 0; j < n && j < kMaxBatch; ++j) {
            if (types[j] == EffectType::Lpf) {
                lf[nl] = static_cast<Lpf*>(f[j]);
                lb[nl++] = b[j];
            } else {
                mf[nm] = static_cast<MoogVcf*>(f[j]);
                mb[nm++] = b[j];
            }
        }
        const bool stereo = f[0]->settings_->stereo;
        const int frames = stereo ? count / 2 : count;
        for (int l = 0, m = 0; l < nl || m < nm;) {
            const int a = std::min(4, nl - l);
            const int c = std::min(4, nm - m);
            if (stereo) {
                dispatch<true>(a, c, lf + l, lb + l, mf + m, mb + m, frames);
            } else {
                dispatch<false>(a, c, lf + l, lb + l, mf + m, mb + m, frames);
            }
            l += a;
            m += c;
        }
    }
};

void Lpf::finishBlock() {
    sanitize(s_);
}

void MoogVcf::finishBlock() {
    sanitize(s_);
}

void processEffects(Effect* const* effects, const EffectType* types, float* const* buffers, int n,
                    int count) {
    Filter* filters[kMaxBatch];
    EffectType filterTypes[kMaxBatch];
    float* filterBuffers[kMaxBatch];
    int k = 0;
    for (int j = 0; j < n && j < kMaxBatch; ++j) {
        if (types[j] == EffectType::Lpf || types[j] == EffectType::MoogVcf) {
            filters[k] = static_cast<Filter*>(effects[j]);
            filterTypes[k] = types[j];
            filterBuffers[k++] = buffers[j];
        } else {
            effects[j]->process(buffers[j], count);
        }
    }
    FilterKernels::run(filters, filterTypes, filterBuffers, k, count);
}

void Lpf::process(float* buffer, int count) {
    Filter* self = this;
    const EffectType type = EffectType::Lpf;
    FilterKernels::run(&self, &type, &buffer, 1, count);
}

void MoogVcf::process(float* buffer, int count) {
    Filter* self = this;
    const EffectType type = EffectType::MoogVcf;
    FilterKernels::run(&self, &type, &buffer, 1, count);
}

std::optional<EffectType> effectTypeByName(std::string_view name) {
    for (EffectType type : {EffectType::Lpf, EffectType::MoogVcf}) {
        if (name == effectTypeName(type)) {
            return type;
        }
    }
    return std::nullopt;
}

const char* effectTypeName(EffectType type) {
    const auto i = static_cast<size_t>(type);
    return i < std::size(kNames) ? kNames[i] : "";
}

std::unique_ptr<Effect> makeEffect(EffectType type, const Settings& settings) {
    switch (type) {
        case EffectType::Lpf:
            return std::make_unique<Lpf>(settings);
        case EffectType::MoogVcf:
            return std::make_unique<MoogVcf>(settings);
    }
    return nullptr;
}

}  // namespace kvx::synth
