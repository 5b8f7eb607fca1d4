// Track update: step, linear and smooth segments and the bound outputs.
#include "layers/Track.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kvx::layers {

namespace {

// Truncated toward zero. Out-of-range values (extrapolation far before a
// segment) saturate instead of overflowing the conversion.
int truncToInt(double v) {
    return static_cast<int>(std::max(-2147483648.0, std::min(2147483647.0, std::trunc(v))));
}

// Integer interpolation: start + (end - start) * w, the product truncated.
int blendInt(int a, int b, double w) {
    const double moved = std::trunc(static_cast<double>(static_cast<int64_t>(b) - a) * w);
    return truncToInt(static_cast<double>(a) + moved);
}

}  // namespace

Track::Track() : keys_(1) {}
Track::Track(const Keyframe& only) : keys_{only} {}
Track::Track(Keyframe&& only) {
    keys_.push_back(std::move(only));
}

void Track::insert(const Keyframe& keyframe) {
    insert(Keyframe(keyframe));
}

void Track::insert(Keyframe&& keyframe) {
    // Keyframes are ascending, so the first one whose time is not less than
    // the new one is found by binary search.
    auto pos = std::lower_bound(keys_.begin(), keys_.end(), keyframe.time,
                                [](const Keyframe& k, uint32_t t) { return k.time < t; });
    keys_.insert(pos, std::move(keyframe));
}

void Track::reset(const Keyframe& keyframe) {
    reset(Keyframe(keyframe));
}

void Track::reset(Keyframe&& keyframe) {
    keys_.clear();
    keys_.push_back(std::move(keyframe));
    index_ = 0;
}

void Track::writeAll(const Keyframe& k, float u) {
    if (floatOut_ != nullptr) {
        *floatOut_ = k.valueAt(u);
    }
    if (intOut_ != nullptr) {
        *intOut_ = k.intValue;
    }
    if (textOut_ != nullptr) {
        *textOut_ = k.text;
    }
    if (colourOut_ != nullptr) {
        std::copy(k.colour.begin(), k.colour.end(), colourOut_);
    }
}

void Track::writeBlend(const Keyframe& a, const Keyframe& b, float t, double f, bool smooth) {
    if (!smooth) {
        if (floatOut_ != nullptr) {
            const float va = a.valueAt(t);
            const float vb = b.valueAt(t);
            *floatOut_ = static_cast<float>(va + (vb - va) * f);
        }
        if (intOut_ != nullptr) {
            *intOut_ = blendInt(a.intValue, b.intValue, f);
        }
        if (colourOut_ != nullptr) {
            for (size_t i = 0; i < 4; ++i) {
                colourOut_[i] = static_cast<float>(a.colour[i] + (b.colour[i] - a.colour[i]) * f);
            }
        }
        return;
    }
    // s rises from 0 at f = 0 to 0.5 at f = 0.5 and falls back to 0 at 1;
    // the first half moves away from a, the second half towards b. The
    // constants are floats but f stays double all the way into the sine.
    const float s =
        static_cast<float>(0.5f - 0.5f * std::fabs(std::sin(f * 3.1415927f + 1.5707963f)));
    const bool firstHalf = f < 0.5;
    if (floatOut_ != nullptr) {
        const float va = a.valueAt(t);
        const float vb = b.valueAt(t);
        *floatOut_ = firstHalf ? va + (vb - va) * s : vb - (vb - va) * s;
    }
    if (intOut_ != nullptr) {
        // The second half truncates the value b - (b - a) s itself, so rising
        // and falling segments round alike: 0 -> 10 gives 8 at 750 of 1000 ms,
        // 10 -> 0 gives 1.
        const double ia = a.intValue;
        const double ib = b.intValue;
        *intOut_ = firstHalf ? blendInt(a.intValue, b.intValue, s) : truncToInt(ib - (ib - ia) * s);
    }
    if (colourOut_ != nullptr) {
        for (size_t i = 0; i < 4; ++i) {
            const float ca = a.colour[i];
            const float cb = b.colour[i];
            colourOut_[i] = firstHalf ? ca + (cb - ca) * s : cb - (cb - ca) * s;
        }
    }
}

void Track::update(uint32_t dt) {
    const uint32_t t = time_ + dt;
    if (time_ == 0 && dt == 0) {
        writeAll(current(), 0.0f);
        return;
    }
    const size_t c = static_cast<size_t>(index_);
    if (c + 1 >= keys_.size()) {
        time_ = t;
        // The last keyframe's expression runs one time step ahead.
        if (keys_[c].hasExpression && floatOut_ != nullptr) {
            *floatOut_ = keys_[c].valueAt(static_cast<float>(t + dt));
        }
        return;
    }
    const Keyframe& a = keys_[c];
    const Keyframe& b = keys_[c + 1];
    const float ft = static_cast<float>(t);
    if ((b.interpolation == Interpolation::Linear || b.interpolation == Interpolation::Smooth) &&
        t < b.time) {
        // Not clamped: before a's time the segment extrapolates.
        const double f = b.time == a.time
                             ? 0.0
                             : (static_cast<double>(t) - static_cast<double>(a.time)) /
                                   (static_cast<double>(b.time) - static_cast<double>(a.time));
        writeBlend(a, b, ft, f, b.interpolation == Interpolation::Smooth);
        time_ = t;
        return;
    }
    if (t >= b.time) {
        // At most one keyframe per call: a long step reaches later keyframes
        // in the following calls.
        ++index_;
        writeAll(keys_[c + 1], ft);
    } else if (floatOut_ != nullptr) {
        *floatOut_ = a.valueAt(ft);
    }
    time_ = t;
}

}  // namespace kvx::layers
