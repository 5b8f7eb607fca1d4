// SDL2 audio output for the synthesizer, and the music thread's priority.
//
// The device is SDL's queue mode: no callback; the player queues 16-bit
// blocks with SDL_QueueAudio, and the play position is what the device has
// consumed (bytes queued so far minus SDL_GetQueuedAudioSize). Should the
// queue ever run dry (a stall longer than the ring), the device queues a
// ring of silence, as a looping ring would have replayed old samples, so the
// player finds its usual distance again.
//
// Only the SDL audio subsystem is initialised (and quit when the device
// closes), so it coexists with the video side. Under SDL_AUDIODRIVER=dummy
// the device opens and consumes in real time without sound; a failed open
// makes the player leave its HEAD unaccepted (a silent show).
#pragma once

#include <memory>

#include "synth/AudioDevice.h"

namespace kvx::platform {

std::unique_ptr<synth::AudioDevice> makeSdlAudioDevice();

// Raises the calling thread's priority as high as SDL grants: time critical,
// else high. Returns false when neither was granted.
bool raiseThreadPriority();

// The same as a plain function for startMusicThread.
void raiseMusicThreadPriority();

}  // namespace kvx::platform
