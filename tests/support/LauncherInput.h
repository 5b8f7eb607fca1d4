// Queues input for the launcher window as a user would make it: SDL events
// pushed onto the queue (positions in window pixels), so they travel the
// same road as a real mouse and keyboard.
#pragma once

#include <SDL.h>

#include <vector>

namespace kvx::test {

struct UserInput {
    enum class Type { Down, Up, Move, Wheel, Key, Quit };
    Type type = Type::Move;
    int x = 0;
    int y = 0;  // notches for Wheel, positive away from the user
    SDL_Keycode key = SDLK_UNKNOWN;
    bool shift = false;
};

// Pushes one input (a Key is pressed and released); false when SDL's event
// queue is not running.
inline bool push(const UserInput& in) {
    SDL_Event e{};
    switch (in.type) {
        case UserInput::Type::Down:
        case UserInput::Type::Up:
            e.type = in.type == UserInput::Type::Down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
            e.button.button = SDL_BUTTON_LEFT;
            e.button.state = in.type == UserInput::Type::Down ? SDL_PRESSED : SDL_RELEASED;
            e.button.clicks = 1;
            e.button.x = in.x;
            e.button.y = in.y;
            break;
        case UserInput::Type::Move:
            e.type = SDL_MOUSEMOTION;
            e.motion.x = in.x;
            e.motion.y = in.y;
            break;
        case UserInput::Type::Wheel:
            e.type = SDL_MOUSEWHEEL;
            e.wheel.y = in.y;
            e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
            break;
        case UserInput::Type::Key:
            e.type = SDL_KEYDOWN;
            e.key.state = SDL_PRESSED;
            e.key.keysym.sym = in.key;
            e.key.keysym.scancode = SDL_GetScancodeFromKey(in.key);
            e.key.keysym.mod = in.shift ? KMOD_LSHIFT : KMOD_NONE;
            if (SDL_PushEvent(&e) <= 0)
                return false;
            e.type = SDL_KEYUP;
            e.key.state = SDL_RELEASED;
            break;
        case UserInput::Type::Quit:
            e.type = SDL_QUIT;
            break;
    }
    return SDL_PushEvent(&e) > 0;
}

inline std::vector<UserInput> click(int x, int y) {
    return {{UserInput::Type::Down, x, y}, {UserInput::Type::Up, x, y}};
}

inline std::vector<UserInput> keys(std::vector<SDL_Keycode> codes, bool shift = false) {
    std::vector<UserInput> out;
    for (SDL_Keycode k : codes)
        out.push_back({UserInput::Type::Key, 0, 0, k, shift});
    return out;
}

inline std::vector<UserInput> operator+(std::vector<UserInput> a, const std::vector<UserInput>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace kvx::test
