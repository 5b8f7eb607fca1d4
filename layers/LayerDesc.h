// LayerDesc: one parsed LAYER element: type, attributes and parameters.
//
// Parameter names and tracks are two lists of equal length; the name at
// index i owns the track at index i, and every operation that moves one moves
// the other. Entries of one name build one multi-keyframe track (addParam);
// binding a name moves its track to the head with the new output set, so
// earlier bindings of the same track stay in force.
#pragma once

#include <cstdint>

#include "core/List.h"
#include "core/String.h"
#include "layers/Keyframe.h"
#include "layers/Track.h"

namespace kvx::layers {

class LayerDesc {
  public:
    core::String type = "undefined";
    core::String blending = "normal";
    Colour colour{1.0f, 1.0f, 1.0f, 1.0f};
    int target = 0;
    int start = 0;  // milliseconds; the layer reads it as unsigned
    int end = 0;
    int z = 0;
    bool keepZBuffer = false;
    core::List<core::String> paramNames;
    core::List<Track> paramTracks;

    // Files value's current keyframe at `time` with `interpolation` into the
    // parameter's track (a new track for a new name) and moves that entry to
    // the head of both lists.
    void addParam(const core::String& name, const Track& value, uint32_t time,
                  Interpolation interpolation);
    // A copy of the named track (case-sensitive), or a default track.
    Track findTrack(const core::String& name) const;
    // Index of the name from the head, -1 if absent.
    int indexOf(const core::String& name) const;

    // Each sets one output of the named track; an unknown name does nothing.
    void bindFloat(const core::String& name, float* out);
    void bindInt(const core::String& name, int* out);
    void bindString(const core::String& name, core::String* out);
    void bindColor(const core::String& name, float* rgba);

    // Calls update(dt) on every track, head first.
    void updateTracks(uint32_t dt);

    int paramCount() const { return paramNames.count(); }

  private:
    template <typename F>
    void rebind(const core::String& name, F&& setOutput);
};

}  // namespace kvx::layers
