// Video over SDL2: window, GL contexts, key state, pump, message boxes.
//
// The Escape key is latched by an event watch, which SDL calls as events
// arrive, so a press is seen even while the one-message-per-frame pump is
// behind on a busy queue.
#include "platform/video/Video.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

namespace kvx::platform {

namespace {

struct VideoState {
    bool started = false;
    bool ok = false;
    bool headless = false;
    std::string driver;
};

VideoState& state() {
    static VideoState s;
    return s;
}

std::atomic<bool> escapeLatch{false};
std::atomic<int> quitCount{0};

// Key presses latched by the event watch, which SDL may call from whichever
// thread pushes an event; at most kMaxKeys wait, later ones are dropped.
constexpr size_t kMaxKeys = 64;
std::mutex keyMutex;
std::deque<KeyPress> keyQueue;

struct KeyName {
    SDL_Keycode sym;
    SDL_Scancode scancode;  // the key's place, for layouts without the symbol
    Key key;
    bool repeats;
};
constexpr KeyName kKeys[] = {
    {SDLK_SPACE, SDL_SCANCODE_SPACE, Key::Space, false},
    {SDLK_LEFT, SDL_SCANCODE_LEFT, Key::Left, true},
    {SDLK_RIGHT, SDL_SCANCODE_RIGHT, Key::Right, true},
    {SDLK_HOME, SDL_SCANCODE_HOME, Key::Home, false},
    {SDLK_LEFTBRACKET, SDL_SCANCODE_LEFTBRACKET, Key::LoopStart, false},
    {SDLK_RIGHTBRACKET, SDL_SCANCODE_RIGHTBRACKET, Key::LoopEnd, false},
    {SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, Key::Backspace, false},
    {SDLK_F1, SDL_SCANCODE_F1, Key::F1, false},
};

void latchKey(const SDL_KeyboardEvent& e) {
    for (const KeyName& k : kKeys) {
        if (e.keysym.sym != k.sym && e.keysym.scancode != k.scancode) {
            continue;
        }
        if (e.repeat != 0 && !k.repeats) {
            return;
        }
        const std::lock_guard<std::mutex> lock(keyMutex);
        if (keyQueue.size() < kMaxKeys) {
            keyQueue.push_back(KeyPress{k.key, (e.keysym.mod & KMOD_SHIFT) != 0});
        }
        return;
    }
}

int SDLCALL watchEvents(void*, SDL_Event* event) {
    if (event->type == SDL_KEYDOWN) {
        if (event->key.keysym.sym == SDLK_ESCAPE) {
            escapeLatch.store(true, std::memory_order_relaxed);
        } else {
            latchKey(event->key);
        }
    }
    return 1;
}

bool startDriver(const char* driver) {
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, driver, SDL_HINT_OVERRIDE);
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

}  // namespace

bool initVideo(bool forceHeadless) {
    VideoState& s = state();
    if (s.started) {
        return s.ok;
    }
    s.started = true;
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) {
        std::fprintf(stderr, "kvx: %s\n", SDL_GetError());
        return false;
    }
    const char* env = std::getenv("SDL_VIDEODRIVER");
    bool ok = false;
    if (forceHeadless) {
        ok = startDriver("offscreen");
    } else if (env != nullptr && *env != '\0') {
        ok = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    } else {
        // Any real display first; without one, fall back to offscreen GL.
        ok = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        const char* name = ok ? SDL_GetCurrentVideoDriver() : nullptr;
        if (!ok || name == nullptr || SDL_strcmp(name, "offscreen") == 0 ||
            SDL_strcmp(name, "dummy") == 0) {
            if (ok) {
                SDL_QuitSubSystem(SDL_INIT_VIDEO);
            }
            ok = startDriver("offscreen");
        }
    }
    if (!ok) {
        std::fprintf(stderr, "kvx: no video: %s\n", SDL_GetError());
        return false;
    }
    const char* name = SDL_GetCurrentVideoDriver();
    s.driver = name != nullptr ? name : "";
    s.headless = s.driver == "offscreen" || s.driver == "dummy";
    s.ok = true;
    SDL_AddEventWatch(watchEvents, nullptr);
    return true;
}

bool headless() {
    return state().headless;
}

std::string videoDriver() {
    return state().driver;
}

DisplayMode desktopMode() {
    DisplayMode mode;
    SDL_DisplayMode dm;
    if (state().ok && SDL_GetDesktopDisplayMode(0, &dm) == 0 && dm.w > 0 && dm.h > 0) {
        mode.width = dm.w;
        mode.height = dm.h;
        int bits = static_cast<int>(SDL_BITSPERPIXEL(dm.format));
        mode.bits = bits >= 24 ? 32 : bits;
    }
    return mode;
}

std::vector<DisplayMode> displayModes() {
    std::vector<DisplayMode> modes;
    auto add = [&modes](const SDL_DisplayMode& m) {
        if (m.w > 0 && m.h > 0)
            modes.push_back({m.w, m.h, static_cast<int>(SDL_BITSPERPIXEL(m.format))});
    };
    SDL_DisplayMode m;
    if (state().ok && SDL_GetDesktopDisplayMode(0, &m) == 0)
        add(m);
    const int n = state().ok ? SDL_GetNumDisplayModes(0) : 0;
    for (int i = 0; i < n; ++i) {
        if (SDL_GetDisplayMode(0, i, &m) == 0)
            add(m);
    }
    return modes;
}

struct GlContext::Impl {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
};

namespace {

// The context of this module last made current on the main thread.
GlContext* currentContext = nullptr;

}  // namespace

GlContext::GlContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<GlContext> GlContext::adopt(void* window, void* context) {
    auto impl = std::make_unique<Impl>();
    impl->window = static_cast<SDL_Window*>(window);
    impl->context = static_cast<SDL_GLContext>(context);
    return std::unique_ptr<GlContext>(new GlContext(std::move(impl)));
}

std::unique_ptr<GlContext> GlContext::createShared(GlContext& share, std::string* error) {
    GlContext* previous = current();
    if (!share.makeCurrent()) {
        if (error != nullptr) {
            *error = std::string("GL make-current: ") + SDL_GetError();
        }
        return nullptr;
    }
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
    SDL_GLContext made = SDL_GL_CreateContext(share.impl_->window);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    std::unique_ptr<GlContext> context;
    if (made == nullptr) {
        if (error != nullptr) {
            *error = std::string("shared GL context: ") + SDL_GetError();
        }
    } else {
        context = adopt(share.impl_->window, made);
    }
    // SDL made the new context current; go back to the one the caller had.
    currentContext = nullptr;
    if (previous != nullptr) {
        previous->makeCurrent();
    } else {
        SDL_GL_MakeCurrent(share.impl_->window, nullptr);
    }
    return context;
}

GlContext::~GlContext() {
    if (!impl_ || impl_->context == nullptr) {
        return;
    }
    if (isCurrent()) {
        SDL_GL_MakeCurrent(impl_->window, nullptr);
    }
    if (currentContext == this) {
        currentContext = nullptr;
    }
    SDL_GL_DeleteContext(impl_->context);
}

bool GlContext::makeCurrent() {
    if (SDL_GL_MakeCurrent(impl_->window, impl_->context) != 0) {
        return false;
    }
    currentContext = this;
    return true;
}

bool GlContext::isCurrent() const {
    return SDL_GL_GetCurrentContext() == impl_->context;
}

GlContext* GlContext::current() {
    if (currentContext != nullptr && currentContext->isCurrent()) {
        return currentContext;
    }
    return nullptr;
}

struct Window::Impl {
    SDL_Window* window = nullptr;
    std::unique_ptr<GlContext> context;
    ~Impl() {
        // The context goes before its window.
        context.reset();
        if (window != nullptr) {
            // Leaving full screen restores the desktop mode.
            SDL_DestroyWindow(window);
        }
    }
};

std::unique_ptr<Window> Window::create(const char* title, int width, int height, int bits,
                                       bool fullScreen, std::string* error) {
    auto fail = [error](const char* what) -> std::unique_ptr<Window> {
        if (error != nullptr) {
            *error = std::string(what) + ": " + SDL_GetError();
        }
        return nullptr;
    };
    if (!initVideo()) {
        return fail("video");
    }
    if (width <= 0 || height <= 0) {
        SDL_SetError("bad size %dx%d", width, height);
        return fail("window");
    }
    // The fixed-function pipeline: a compatibility context, any version.
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    int channel = bits >= 24 ? 8 : 5;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);

    const bool reallyFull = fullScreen && !headless();
    Uint32 flags = SDL_WINDOW_OPENGL;
    if (reallyFull) {
        flags |= SDL_WINDOW_FULLSCREEN;
    }
    auto impl = std::make_unique<Impl>();
    impl->window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                                    height, flags | SDL_WINDOW_HIDDEN);
    if (impl->window == nullptr) {
        return fail("window");
    }
    if (reallyFull) {
        SDL_DisplayMode want{};
        want.w = width;
        want.h = height;
        want.format = bits <= 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
        SDL_DisplayMode got{};
        if (SDL_GetClosestDisplayMode(0, &want, &got) == nullptr || got.w != width ||
            got.h != height || SDL_SetWindowDisplayMode(impl->window, &got) != 0) {
            SDL_SetError("display mode %dx%d:%d not available", width, height, bits);
            return fail("full screen");
        }
    }
    SDL_GLContext made = SDL_GL_CreateContext(impl->window);
    if (made == nullptr) {
        return fail("GL context");
    }
    impl->context = GlContext::adopt(impl->window, made);
    if (!impl->context->makeCurrent()) {
        return fail("GL make-current");
    }
    // Hidden only once nothing can fail any more: a failed creation leaves
    // the cursor as it found it (the Window's destructor shows it again).
    if (reallyFull) {
        SDL_ShowCursor(SDL_DISABLE);
    }
    SDL_ShowWindow(impl->window);
    SDL_RaiseWindow(impl->window);

    std::unique_ptr<Window> w(new Window());
    int dw = 0;
    int dh = 0;
    SDL_GL_GetDrawableSize(impl->window, &dw, &dh);
    w->width_ = dw > 0 ? dw : width;
    w->height_ = dh > 0 ? dh : height;
    w->fullScreen_ = reallyFull;
    w->impl_ = std::move(impl);
    return w;
}

Window::~Window() {
    if (impl_ && fullScreen_) {
        SDL_ShowCursor(SDL_ENABLE);
    }
}

void Window::makeCurrent() {
    impl_->context->makeCurrent();
}

GlContext& Window::context() {
    return *impl_->context;
}

void Window::swap() {
    SDL_GL_SwapWindow(impl_->window);
}

bool setSwapInterval(int interval) {
    return SDL_GL_SetSwapInterval(interval) == 0;
}

void* glProcAddress(const char* name) {
    return SDL_GL_GetProcAddress(name);
}

bool escapePressed() {
    bool latched = escapeLatch.exchange(false, std::memory_order_relaxed);
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    bool down = keys != nullptr && keys[SDL_SCANCODE_ESCAPE] != 0;
    return latched || down;
}

void pushEscapePress() {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = SDLK_ESCAPE;
    event.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    SDL_PushEvent(&event);
}

bool takeKeyPress(KeyPress& press) {
    const std::lock_guard<std::mutex> lock(keyMutex);
    if (keyQueue.empty()) {
        return false;
    }
    press = keyQueue.front();
    keyQueue.pop_front();
    return true;
}

void pushKeyPress(Key key, bool shift) {
    for (const KeyName& k : kKeys) {
        if (k.key != key) {
            continue;
        }
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = k.sym;
        event.key.keysym.scancode = k.scancode;
        event.key.keysym.mod = shift ? KMOD_LSHIFT : KMOD_NONE;
        SDL_PushEvent(&event);
        return;
    }
}

void pushQuitRequest() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

bool pumpOneMessage() {
    SDL_Event event;
    if (SDL_PollEvent(&event) == 0) {
        return false;
    }
    if (event.type == SDL_QUIT) {
        // Closing the window does not end the show: only Escape or the end
        // of its duration do.
        quitCount.fetch_add(1, std::memory_order_relaxed);
    }
    return true;
}

int quitRequests() {
    return quitCount.load(std::memory_order_relaxed);
}

void messageBox(const char* caption, const char* text, bool warning) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    if (state().ok && !state().headless) {
        SDL_ShowSimpleMessageBox(warning ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION,
                                 caption, text, nullptr);
    }
}

void sleepMs(uint32_t ms) {
    SDL_Delay(ms);
}

}  // namespace kvx::platform
