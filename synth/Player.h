// Player: the synthesizer object. It owns the song, the instruments, the
// mixer channels with their effects and the audio device, and renders the
// soundtrack block by block.
//
// Live use (the show):
//     Player player(makeSdlAudioDevice());
//     player.setNoteOnHook(&expr::detectBeat);
//     if (player.loadConfig("config.sp")) { player.loadSong("music.m");
//         startMusicThread(&player, &platform::raiseThreadPriority); }
//     ... player.play(); ... stopMusicThread(&player);
//   run() (the music thread) keeps about 20 blocks queued in the device and
//   advances the song by its own millisecond clock.
//
// Offline / lockstep use (recorder, kvxsynth render, tests): build the player
// in Mode::Lockstep with a MemoryAudioDevice, load, play(), then call
// advanceTo(ms) from one thread with rising virtual times. advanceTo renders
// every whole block that ends at or before ms (block b covers frames
// 256b..256b+255), handing the song the events due at each block's start
// time before rendering it, and finally the events due by ms itself; each
// note-on fires the note-on hook on the calling thread. No silent lead-in is
// queued in this mode, so sample 0 of the device is time 0. The samples are
// in the MemoryAudioDevice (take() them, or write them with WavWriter).
//
// Saved states (checkpoints for seeking): saveState copies everything that
// decides the sound from then on (instruments with their voices, generators
// and effects, the mixer channels and smoothing history, the song position,
// the lockstep clock and frame count); restoreState puts such a copy into
// this player or into another one loaded from the same configuration and
// song, after which it renders exactly what the original rendered after the
// copy. Both run on the thread that renders (or while none does). A live
// player takes a state from the main thread through requestRestore, and
// setHeld stills it (silence, the song standing) without stopping its thread.
//
// Threads: load*, setNoteOnHook and assignment happen on the main thread
// before run() starts. Afterwards the main thread only calls play, stop,
// requestStop, isPlaying and hasFinished (atomic flags; a rewind asked for by
// stop(true) is carried out by the music thread before its next song step);
// everything else, including the note-on hook, runs on the music thread.
// Call stopMusicThread before destroying a player; a destructor that finds
// its music thread still running stops and joins it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Timer.h"
#include "synth/AudioDevice.h"
#include "synth/Instrument.h"
#include "synth/Mixer.h"
#include "synth/Song.h"
#include "synth/Tables.h"
#include "vfs/Vfs.h"

namespace kvx::synth {

// A copy of a player's sound-deciding state (see saveState). The copies of
// the instruments still read their original player's settings; nothing
// renders from them until restoreState binds them to a player's own.
struct PlayerState {
    std::vector<Instrument> instruments;
    std::vector<MixerChannel> channels;
    std::vector<int> channelInstrument;  // index into instruments per channel, -1 none
    std::array<float, 4> history{};
    std::array<float, 4> oldHistory{};
    float masterLeft = 1.0f;
    float masterRight = 1.0f;
    size_t songPosition = 0;
    int64_t songElapsed = 0;
    uint32_t songClock = 0;
    uint64_t renderedFrames = 0;
};

class Player {
  public:
    enum class Mode { RealTime, Lockstep };
    // Called for every note-on that a channel slot receives (also with
    // velocity 0), with the slot index and the note.
    using NoteOnHook = void (*)(int channelSlot, int note);

    // A null device behaves as one that cannot be opened: the configuration
    // loads, no HEAD is accepted, and the show stays silent. The clock drives
    // run() and must outlive the player.
    explicit Player(std::unique_ptr<AudioDevice> device = nullptr, Mode mode = Mode::RealTime,
                    const core::Clock& clock = core::Clock::system());
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Virtual operations in their fixed order.
    virtual bool loadSong(const char* name);
    virtual void play();
    virtual void stop(bool rewind);
    virtual bool loadConfig(const char* name);
    virtual bool isPlaying() const;
    virtual bool hasFinished() const;
    virtual void requestStop();
    virtual void run();
    virtual ~Player();

    // The same loads from bytes already in memory.
    bool parseSong(const vfs::Bytes& bytes);
    bool parseConfig(const vfs::Bytes& bytes);

    // The song sink: applies one due message.
    void onMessage(const SongEvent& event);
    // Gives mixer channel `channel` instrument `index`; returns index, or -1
    // when there is no such instrument (the channel is then silent).
    int assignInstrument(int channel, int index);
    void setNoteOnHook(NoteOnHook hook) { noteOnHook_ = hook; }

    // Lockstep rendering (see the top of this file).
    void advanceTo(uint32_t ms);
    // Renders one block into the ring at index b and queues it.
    void renderBlock(int b);

    // Why parts of the configuration or the song will not sound as written,
    // one line per cause, e.g. "channel 9: no mixer channel (HEAD has 4); its
    // notes are silent". parseConfig gives the configuration's lines and
    // parseSong (after the configuration) the song's; the caller prints them.
    std::vector<std::string> warnings() const;

    // Requested instrument indices from this one on are not placed (that
    // many empty entries would have to be allocated): such an instrument
    // goes to the end of the table, with a warning.
    static constexpr int32_t kInstrumentTableLimit = 4096;

    // Saved states (see the top of this file). restoreState is false, and
    // changes nothing, when the state has another number of instruments or
    // mixer channels than this player.
    std::unique_ptr<PlayerState> saveState() const;
    bool restoreState(const PlayerState& state);
    // Live use from the main thread: the music thread restores the state
    // before its next round and drops the audio already queued. A state
    // handed over before the previous one was taken replaces it.
    void requestRestore(std::unique_ptr<PlayerState> state);
    // Live use from the main thread: while held, run() queues silence and the
    // song stands still; the audio queued before the hold is dropped.
    void setHeld(bool held) { held_.store(held, std::memory_order_release); }
    bool isHeld() const { return held_.load(std::memory_order_acquire); }

    // Calls the note-on hook for every note-on of the song that is due by
    // untilMs and lies at or after song event `cursor`, as a lockstep player
    // playing from time 0 fires them by advanceTo(untilMs) (at time 0 none
    // is due yet); cursor moves past them. Renders nothing: beats of a
    // stretch of song can be replayed without the sound.
    void replayNoteOns(size_t& cursor, uint32_t untilMs) const;

    bool headAccepted() const { return accepted_; }
    const Settings& settings() const { return settings_; }
    Mixer& mixer() { return mixer_; }
    Song& song() { return song_; }
    AudioDevice* device() { return device_.get(); }
    const std::vector<std::unique_ptr<Instrument>>& instruments() const { return instruments_; }
    const uint8_t* channelMap() const { return channelMap_; }
    // Frames rendered so far; may be read from any thread.
    uint64_t renderedFrames() const { return renderedFrames_.load(std::memory_order_relaxed); }
    // True from the moment run() has started its clock until it returns.
    bool isRunning() const { return running_.load(std::memory_order_acquire); }

  private:
    struct Sink final : SongSink {
        explicit Sink(Player& p) : player(p) {}
        void onMessage(const SongEvent& e) override { player.onMessage(e); }
        Player& player;
    };

    void note(int slot, int note, int velocity);
    bool channelExists(int channel) const {
        return channel >= 0 && channel < static_cast<int>(mixer_.channels.size());
    }
    void readHead(const vfs::Bytes& data);
    void readChannelEffects(const vfs::Bytes& data);
    void readInstrument(const vfs::Bytes& data);
    // The table index a new instrument takes (see readInstrument).
    int placeInstrument(int32_t requested, const std::string& name);
    // Lists the causes of silence that the loaded song meets (see warnings).
    void checkSong();
    void advanceSongTo(uint32_t ms);
    // Live: writes a block of silence into the ring at index b and queues it.
    void queueSilence(int b);
    void dropQueuedAudio();

    std::unique_ptr<AudioDevice> device_;
    Mode mode_;
    const core::Clock* clock_;
    Settings settings_;
    Song song_;
    Sink sink_{*this};
    Mixer mixer_;
    std::vector<std::unique_ptr<Instrument>> instruments_;
    uint8_t channelMap_[16] = {};
    std::vector<int16_t> ring_;
    std::vector<float> block_;
    NoteOnHook noteOnHook_ = nullptr;
    std::vector<std::string> configWarnings_;
    std::vector<std::string> songWarnings_;
    bool accepted_ = false;
    bool deviceOpen_ = false;
    int current_ = -1;
    int renderIndex_ = -1;
    uint32_t songClock_ = 0;

    std::atomic<bool> playing_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> muted_{false};
    std::atomic<bool> rewindRequested_{false};
    std::atomic<uint64_t> renderedFrames_{0};
    std::atomic<bool> held_{false};
    // Handed over by requestRestore, taken (and deleted) by the music thread.
    std::atomic<PlayerState*> pendingState_{nullptr};
};

}  // namespace kvx::synth
