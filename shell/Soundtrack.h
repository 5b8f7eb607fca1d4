// Soundtrack: the synthesizer as the show uses it.
//
// Live: the Player plays through the platform's audio device from the music
// thread, on its own clock; note-ons of the beat channel reach the pictures
// through the beat globals. Without a live audio device (none registered, or
// it cannot be opened) the show is silent.
// Lockstep (headless runs and recordings): no thread and no device; the
// frame loop calls advanceTo(show time) every frame, which renders the
// soundtrack up to that time on the main thread and fires the beats due by
// then, so they land on the frames they belong to. A recording keeps the
// samples for writeWav; a headless run drops them as it goes.
//
// Seeking (either mode): enableSeeking starts a SoundTimeline along the
// show's frame step; seek(frame) puts the player where a run along that step
// is just before the frame (a live player takes the state on its music
// thread and drops what it had queued), and the beats of the frames skipped
// are replayed, without sound, by replayBeats. A live show's pause holds the
// player: silence, the song standing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/String.h"
#include "shell/FrameStep.h"
#include "shell/SoundTimeline.h"
#include "vfs/Vfs.h"

namespace kvx::synth {
class AudioDevice;
class MemoryAudioDevice;
class Player;
}  // namespace kvx::synth

namespace kvx::shell {

class Soundtrack {
  public:
    enum class Mode { Live, Lockstep };
    using DeviceFactory = std::unique_ptr<synth::AudioDevice> (*)();
    using RaisePriority = void (*)();

    // The live audio device and thread priority of the platform; set once by
    // the program before any show runs (kvx_shell itself needs no audio).
    static void setLiveAudio(DeviceFactory factory, RaisePriority raise);

    Soundtrack(Mode mode, bool keepSamples);
    ~Soundtrack();
    Soundtrack(const Soundtrack&) = delete;
    Soundtrack& operator=(const Soundtrack&) = delete;

    // Loads the configuration and, only if that worked, the song; live mode
    // then starts the music thread. Returns the music flag.
    bool load(const core::String& config, const core::String& song);
    void play();
    // Lockstep only: renders up to ms of show time.
    void advanceTo(uint32_t ms);
    // Lockstep with kept samples: the soundtrack from startMs to endMs as a
    // 16-bit WAV file of exactly endMs * 44.1 - startMs * 44.1 frames
    // (rounded down each; silence without music). The samples are those of
    // the same stretch of a run from 0, also after a seek.
    bool writeWav(const std::string& path, uint32_t startMs, uint32_t endMs, std::string* error);

    // Starts the rehearsal for seeks along step, up to endMs of show time
    // (nothing without music; again only after the music was reloaded).
    void enableSeeking(FrameStep step, uint32_t endMs);
    SoundTimeline* timeline() { return timeline_.get(); }
    // The player as a run along the step is before frame (enables seeking
    // with endMs at that frame when it was not). Beats are not fired.
    void seek(FrameStep step, uint64_t frame);
    // Beats of a replay from time 0: rewindBeats, then replayBeats(t) for
    // each replayed frame's time fires the beats a run fires by then.
    void rewindBeats() { beatCursor_ = 0; }
    void replayBeats(uint32_t ms);
    // Live: a paused show holds the player; lockstep players only move when
    // advanced, so a pause needs nothing there.
    void setPaused(bool paused);
    // Stops the music thread (waiting until it has finished) and deletes the
    // player. Safe twice.
    void stop();

    bool musicLoaded() const { return music_; }

    // The configuration and song file names of the last load.
    const core::String& configName() const { return configName_; }
    const core::String& songName() const { return songName_; }

  private:
    Mode mode_;
    bool keep_;
    bool music_ = false;
    bool thread_ = false;
    synth::MemoryAudioDevice* memory_ = nullptr;  // owned by the player
    std::unique_ptr<synth::Player> player_;
    core::String configName_;
    core::String songName_;
    vfs::Bytes config_;
    vfs::Bytes song_;
    std::unique_ptr<SoundTimeline> timeline_;
    size_t beatCursor_ = 0;  // next song event of the beat replay
    // Sample frame (from time 0) of the first sample the memory device
    // holds: 0, or where the last seek put the player.
    uint64_t firstFrame_ = 0;
};

}  // namespace kvx::shell
