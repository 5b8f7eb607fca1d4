// The music thread (see MusicThread.h).
#include "synth/MusicThread.h"

#include <thread>

#include "synth/Player.h"

namespace kvx::synth {

namespace {

struct MusicThreadState {
    std::thread thread;
    Player* player = nullptr;

    ~MusicThreadState() {
        // A process that exits without stopping still ends the thread.
        if (thread.joinable()) {
            player->requestStop();
            thread.join();
        }
    }
};

MusicThreadState& state() {
    static MusicThreadState s;
    return s;
}

}  // namespace

bool startMusicThread(Player* player, RaisePriorityFn raisePriority) {
    MusicThreadState& s = state();
    if (player == nullptr || s.thread.joinable()) {
        return false;
    }
    s.player = player;
    s.thread = std::thread([player, raisePriority] {
        if (raisePriority != nullptr) {
            raisePriority();
        }
        player->run();
    });
    return true;
}

void stopMusicThread(Player* player) {
    MusicThreadState& s = state();
    if (!s.thread.joinable() || player == nullptr) {
        return;
    }
    player->requestStop();
    s.thread.join();
    s.player = nullptr;
}

void releaseMusicThread(Player* player) {
    MusicThreadState& s = state();
    if (player == nullptr || s.player != player || !s.thread.joinable()) {
        return;
    }
    player->requestStop();
    if (s.thread.get_id() == std::this_thread::get_id()) {
        s.thread.detach();  // destroyed from its own thread: it cannot join itself
    } else {
        s.thread.join();
    }
    s.player = nullptr;
}

bool musicThreadRunning() {
    return state().thread.joinable();
}

}  // namespace kvx::synth
