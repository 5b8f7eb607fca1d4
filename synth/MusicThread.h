// The music thread: runs Player::run beside the frame loop.
//
// startMusicThread starts one std::thread on the player's run(); the optional
// function is called first on the new thread to raise its priority (the
// player passes the platform's raiseThreadPriority). stopMusicThread asks the
// player to leave its loop and joins the thread, so hasFinished() is true
// when it returns; without a started thread it does nothing. There is one
// music thread per process.
//
// Threads: both functions are called from the main thread.
#pragma once

namespace kvx::synth {

class Player;

using RaisePriorityFn = void (*)();

// False (and nothing started) for a null player or when a thread is running.
bool startMusicThread(Player* player, RaisePriorityFn raisePriority = nullptr);
void stopMusicThread(Player* player);
bool musicThreadRunning();
// Called by a player's destructor: when the music thread runs that player,
// it is asked to stop and joined, so no thread outlives its player.
void releaseMusicThread(Player* player);

}  // namespace kvx::synth
