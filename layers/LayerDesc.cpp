// LayerDesc parameter filing, lookup and binding.
#include "layers/LayerDesc.h"

#include <utility>

namespace kvx::layers {

int LayerDesc::indexOf(const core::String& name) const {
    const int n = paramNames.count();
    for (int i = 0; i < n; ++i) {
        if (paramNames.ref(i).equals(name)) {
            return i;
        }
    }
    return -1;
}

void LayerDesc::addParam(const core::String& name, const Track& value, uint32_t time,
                         Interpolation interpolation) {
    Keyframe k = value.current();
    k.time = time;
    k.interpolation = interpolation;
    const int i = indexOf(name);
    if (i < 0) {
        paramNames.pushFront(name);
        paramTracks.pushFront(Track(std::move(k)));
        return;
    }
    // The same observable result as copying the track with the keyframe
    // inserted and moving it to the head, without copying its keyframes:
    // a parameter of many keyframes stays linear to build.
    Track track = std::move(paramTracks.ref(i));
    track.insert(std::move(k));
    paramNames.removeAt(i);
    paramTracks.removeAt(i);
    paramNames.pushFront(name);
    paramTracks.pushFront(std::move(track));
}

Track LayerDesc::findTrack(const core::String& name) const {
    const int i = indexOf(name);
    return i < 0 ? Track() : paramTracks.ref(i);
}

template <typename F>
void LayerDesc::rebind(const core::String& name, F&& setOutput) {
    const int i = indexOf(name);
    if (i < 0) {
        return;
    }
    Track track = std::move(paramTracks.ref(i));
    setOutput(track);
    core::String ownName = paramNames.ref(i);
    paramNames.removeAt(i);
    paramTracks.removeAt(i);
    paramNames.pushFront(std::move(ownName));
    paramTracks.pushFront(std::move(track));
}

void LayerDesc::bindFloat(const core::String& name, float* out) {
    rebind(name, [out](Track& t) { t.bindFloat(out); });
}
void LayerDesc::bindInt(const core::String& name, int* out) {
    rebind(name, [out](Track& t) { t.bindInt(out); });
}
void LayerDesc::bindString(const core::String& name, core::String* out) {
    rebind(name, [out](Track& t) { t.bindString(out); });
}
void LayerDesc::bindColor(const core::String& name, float* rgba) {
    rebind(name, [rgba](Track& t) { t.bindColor(rgba); });
}

void LayerDesc::updateTracks(uint32_t dt) {
    const int n = paramTracks.count();
    for (int i = 0; i < n; ++i) {
        paramTracks.ref(i).update(dt);
    }
}

}  // namespace kvx::layers
