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
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/String.h"

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
    // Lockstep with kept samples: the soundtrack from 0 to endMs as a
    // 16-bit WAV file of exactly endMs * 44.1 frames (silence without music).
    bool writeWav(const std::string& path, uint32_t endMs, std::string* error);
    // Stops the music thread (waiting until it has finished) and deletes the
    // player. Safe twice.
    void stop();

    bool musicLoaded() const { return music_; }

  private:
    Mode mode_;
    bool keep_;
    bool music_ = false;
    bool thread_ = false;
    synth::MemoryAudioDevice* memory_ = nullptr;  // owned by the player
    std::unique_ptr<synth::Player> player_;
};

}  // namespace kvx::shell
