// Track: a parameter's keyframes and the layer fields they write.
//
// Keyframes are kept ascending by time; a track is never empty (a new one
// holds one default keyframe). update(dt) moves the track time on, walks at
// most one keyframe forward per call and writes the interpolated value into
// every bound output. The outputs point into the owning layer, so a track
// must not outlive it. Three behaviours look odd but shows are timed against
// them: the interpolation fraction is not clamped (a segment extrapolates
// before its first keyframe), the last keyframe's expression is evaluated one
// time step ahead, and one call never passes more than one keyframe.
#pragma once

#include <cstdint>
#include <vector>

#include "core/String.h"
#include "layers/Keyframe.h"

namespace kvx::layers {

class Track {
  public:
    Track();
    explicit Track(const Keyframe& only);
    explicit Track(Keyframe&& only);

    // Advances the track time by dt milliseconds and writes the outputs. The
    // very first call with dt 0 writes every output from the first keyframe.
    void update(uint32_t dt);
    // Before the first keyframe whose time is not less than the new one's, so
    // among equal times the newest comes first. The current index is kept.
    void insert(const Keyframe& keyframe);
    void insert(Keyframe&& keyframe);
    // All keyframes replaced by this one.
    void reset(const Keyframe& keyframe);
    void reset(Keyframe&& keyframe);

    const Keyframe& current() const { return keys_[static_cast<size_t>(index_)]; }
    const core::String& stringValue() const { return current().text; }
    int keyframeCount() const { return static_cast<int>(keys_.size()); }
    const Keyframe& keyframe(int i) const { return keys_[static_cast<size_t>(i)]; }
    uint32_t time() const { return time_; }
    int currentIndex() const { return index_; }

    // Outputs; null unbinds. All four may be bound at once.
    void bindFloat(float* out) { floatOut_ = out; }
    void bindInt(int* out) { intOut_ = out; }
    void bindString(core::String* out) { textOut_ = out; }
    void bindColor(float* rgba) { colourOut_ = rgba; }  // four floats
    float* floatOutput() const { return floatOut_; }
    int* intOutput() const { return intOut_; }
    core::String* stringOutput() const { return textOut_; }
    float* colorOutput() const { return colourOut_; }

  private:
    void writeAll(const Keyframe& k, float u);
    void writeBlend(const Keyframe& a, const Keyframe& b, float t, double f, bool smooth);

    std::vector<Keyframe> keys_;
    float* floatOut_ = nullptr;
    int* intOut_ = nullptr;
    core::String* textOut_ = nullptr;
    float* colourOut_ = nullptr;
    uint32_t time_ = 0;
    int index_ = 0;
};

}  // namespace kvx::layers
