// Stage: one show's content and its place in time: the script, the layers
// made from it (prepared in the compositor's buffers), the soundtrack and
// the beat, with the two operations live authoring needs.
//
// Seek. The state of a show at time t is a function of t alone only for a
// run along a fixed frame step (FrameStep): tracks move at most one keyframe
// per update, effects keep state (particles, fire), the synthesizer and the
// beat count carry history. seek(frame) therefore releases the layers,
// builds and prepares them afresh from the script, and replays frames
// 0 .. frame - 1 without drawing: per frame the beat pulse decays, the
// beats due by then fire (from the song's events, without sound), and every
// active layer's tracks and state advance by the step. The soundtrack is put
// where a run along the step is (SoundTimeline). The caller then draws frame
// `frame` (time step.time(frame), time step step.step(frame)), which is
// pixel for pixel the frame a straight run draws there.
//
// Reload. reload(changed, frame) reads the script again; when it does not
// parse, the show keeps its last good script and layers and the diagnostic
// (file:line:column and message) is returned. Otherwise the new script is
// taken: the soundtrack is loaded again when one of its files changed or
// the script names others, and the show seeks to `frame` with the new
// layers. The replaced layers are released (their GL resources go) and
// deleted. A layer whose files are missing or broken degrades alone.
//
// Threads: main thread, with the window's GL context available.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "layers/Layer.h"
#include "script/Demo.h"
#include "script/LoadProgress.h"
#include "shell/Compositor.h"
#include "shell/FrameStep.h"
#include "shell/Soundtrack.h"

namespace kvx::shell {

class Stage {
  public:
    struct Options {
        const char* scriptName = "script.zel";
        Soundtrack::Mode soundMode = Soundtrack::Mode::Lockstep;
        bool keepSamples = false;  // a recording keeps the soundtrack's samples
        FrameStep step;            // the step seeks and reloads replay along
    };

    explicit Stage(const Options& options);
    ~Stage();
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    // Start-up, in this order. loadScript reads and parses the script and
    // builds its layers (false when it does not parse: see diagnostic());
    // loadSoundtrack loads the music the script names (a failure leaves the
    // show silent); prepare prepares every layer (all of them, also after a
    // failure, which makes it return false), stepping progress per layer.
    bool loadScript(script::LoadProgress* progress = nullptr);
    void loadSoundtrack();
    bool prepare(Compositor& compositor, script::LoadProgress* progress = nullptr);
    // Starts the soundtrack's rehearsal, so that seeks are quick from early on.
    void enableSeeking();
    // The show starts (the soundtrack plays) and pauses or resumes; a
    // soundtrack loaded again by a reload takes over both.
    void play();
    void setPaused(bool paused);

    // One frame at show time `time`, dt after the previous one: the beat
    // pulse decays, a lockstep soundtrack advances to time (firing its
    // beats), every active layer advances and draws. Returns the layers drawn.
    int drawFrame(Compositor& compositor, uint32_t time, uint32_t dt, bool swap);

    // Shutdown: every layer's release, then the layers go.
    void releaseLayers();

    // See the top of this file. frame is clamped to the show's last frame.
    void seek(Compositor& compositor, uint64_t frame);

    enum class Reload { Taken, Failed };
    // changed: names of the files changed (relative to the data folder);
    // allChanged: any file may have (a pack written anew).
    Reload reload(Compositor& compositor, const std::vector<std::string>& changed, uint64_t frame,
                  bool allChanged = false);
    // The diagnostic of the last failed load or reload, as kvxcheck prints it.
    const std::string& diagnostic() const { return diagnostic_; }

    // The frame of the step on or before the script's duration; a seek
    // never goes past it.
    uint64_t lastFrame() const { return options_.step.frameAt(duration()); }
    uint32_t duration() const;
    const FrameStep& step() const { return options_.step; }
    const std::vector<std::unique_ptr<layers::Layer>>& layers() const { return layers_; }
    int layerCount() const { return layerCount_; }
    Soundtrack& soundtrack() { return *soundtrack_; }
    const script::Demo& demo() const { return *demo_; }

  private:
    bool buildLayers(script::LoadProgress* progress);
    bool prepareLayers(Compositor& compositor, script::LoadProgress* progress);
    void replay(uint64_t frames);
    bool musicChanged(const std::vector<std::string>& changed, bool allChanged) const;
    void reloadSoundtrack();

    Options options_;
    std::unique_ptr<script::Demo> demo_;
    std::vector<std::unique_ptr<layers::Layer>> layers_;
    int layerCount_ = 0;
    std::unique_ptr<Soundtrack> soundtrack_;
    bool seeking_ = false;  // the soundtrack rehearses for seeks
    bool playing_ = false;  // the soundtrack was told to play
    bool paused_ = false;
    std::string diagnostic_;
};

}  // namespace kvx::shell
