// SDL2 queue-mode audio device and thread priority (see SdlAudio.h).
#include "platform/audio/SdlAudio.h"

#include <SDL.h>

#include "synth/Tables.h"

#include <vector>

namespace kvx::platform {

namespace {

class SdlAudioDevice final : public synth::AudioDevice {
  public:
    ~SdlAudioDevice() override { close(); }

    bool open(int sampleRate, bool stereo) override {
        close();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            return false;
        }
        SDL_AudioSpec want{};
        want.freq = sampleRate;
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(stereo ? 2 : 1);
        want.samples = 512;
        want.callback = nullptr;  // queue mode
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts if the hardware differs.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        ringBytes_ =
            static_cast<Uint32>(synth::kRingBlocks * synth::kBlockFrames * (stereo ? 4 : 2));
        queued_ = 0;
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    void write(const int16_t* samples, size_t count) override {
        if (device_ == 0) {
            return;
        }
        const auto bytes = static_cast<Uint32>(count * sizeof(int16_t));
        if (SDL_QueueAudio(device_, samples, bytes) == 0) {
            queued_ += bytes;
        }
    }

    bool position(uint32_t& bytes) override {
        if (device_ == 0) {
            return false;
        }
        if (queued_ > 0 && SDL_GetQueuedAudioSize(device_) == 0) {
            silence_.assign(ringBytes_, 0);
            if (SDL_QueueAudio(device_, silence_.data(), ringBytes_) == 0) {
                queued_ += ringBytes_;
            }
        }
        const uint64_t consumed = queued_ - SDL_GetQueuedAudioSize(device_);
        bytes = static_cast<uint32_t>(consumed);
        return true;
    }

    void reset() override {
        if (device_ != 0) {
            queued_ -= SDL_GetQueuedAudioSize(device_);
            SDL_ClearQueuedAudio(device_);
        }
    }

    void close() override {
        if (device_ != 0) {
            SDL_CloseAudioDevice(device_);
            device_ = 0;
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
    }

  private:
    SDL_AudioDeviceID device_ = 0;
    uint64_t queued_ = 0;  // bytes queued since open
    Uint32 ringBytes_ = 0;
    std::vector<uint8_t> silence_;
};

}  // namespace

std::unique_ptr<synth::AudioDevice> makeSdlAudioDevice() {
    return std::make_unique<SdlAudioDevice>();
}

bool raiseThreadPriority() {
    return SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL) == 0 ||
           SDL_SetThreadPriority(SDL_THREAD_PRIORITY_HIGH) == 0;
}

void raiseMusicThreadPriority() {
    raiseThreadPriority();
}

}  // namespace kvx::platform
