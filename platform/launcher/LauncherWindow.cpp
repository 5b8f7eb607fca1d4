// LauncherWindow: borderless, optionally shaped SDL window for the launcher.
#include "platform/launcher/LauncherWindow.h"

#include <SDL.h>
#include <SDL_shape.h>

#include <algorithm>
#include <cassert>
#include <cstring>

namespace kvx::platform {
namespace {

struct WindowDeleter {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};
struct RendererDeleter {
    void operator()(SDL_Renderer* r) const { SDL_DestroyRenderer(r); }
};
struct TextureDeleter {
    void operator()(SDL_Texture* t) const { SDL_DestroyTexture(t); }
};
struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};

using WindowPtr = std::unique_ptr<SDL_Window, WindowDeleter>;
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// Gives a shaped window its outline; false when the driver refuses.
bool applyShape(SDL_Window* window, int width, int height, const std::vector<uint8_t>& shape) {
    SurfacePtr surface(
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGBA32));
    if (!surface)
        return false;
    if (SDL_LockSurface(surface.get()) != 0)
        return false;
    for (int y = 0; y < height; ++y) {
        auto* row = static_cast<uint8_t*>(surface->pixels) +
                    static_cast<std::ptrdiff_t>(y) * surface->pitch;
        for (int x = 0; x < width; ++x) {
            const bool inside =
                shape[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)] != 0;
            const uint8_t v = inside ? 255 : 0;
            row[x * 4 + 0] = v;
            row[x * 4 + 1] = v;
            row[x * 4 + 2] = v;
            row[x * 4 + 3] = v;
        }
    }
    SDL_UnlockSurface(surface.get());
    SDL_WindowShapeMode mode;
    mode.mode = ShapeModeBinarizeAlpha;
    mode.parameters.binarizationCutoff = 1;  // alpha 0 is outside, anything else inside
    return SDL_SetWindowShape(window, surface.get(), &mode) == 0;
}

}  // namespace

VideoSession::VideoSession() {
    ok_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!ok_)
        error_ = SDL_GetError();
}

VideoSession::~VideoSession() {
    if (ok_)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::vector<VideoMode> listVideoModes() {
    std::vector<VideoMode> modes;
    // Headless drivers report a desktop of 0 x 0; such modes say nothing.
    auto add = [&modes](const SDL_DisplayMode& m) {
        if (m.w > 0 && m.h > 0)
            modes.push_back({m.w, m.h, static_cast<int>(SDL_BITSPERPIXEL(m.format))});
    };
    SDL_DisplayMode m;
    if (SDL_GetDesktopDisplayMode(0, &m) == 0)
        add(m);
    const int n = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < n; ++i) {
        if (SDL_GetDisplayMode(0, i, &m) == 0)
            add(m);
    }
    return modes;
}

void showWarning(const char* caption, const char* text) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption, text, nullptr);
}

bool postLauncherEvent(const LauncherEvent& ev) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    switch (ev.type) {
        case LauncherEvent::Type::Quit:
            e.type = SDL_QUIT;
            break;
        case LauncherEvent::Type::Escape:
            e.type = SDL_KEYDOWN;
            e.key.state = SDL_PRESSED;
            e.key.keysym.sym = SDLK_ESCAPE;
            e.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
            break;
        case LauncherEvent::Type::MouseDown:
        case LauncherEvent::Type::MouseUp:
            e.type =
                ev.type == LauncherEvent::Type::MouseDown ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
            e.button.button = SDL_BUTTON_LEFT;
            e.button.state = ev.type == LauncherEvent::Type::MouseDown ? SDL_PRESSED : SDL_RELEASED;
            e.button.clicks = 1;
            e.button.x = ev.x;
            e.button.y = ev.y;
            break;
        case LauncherEvent::Type::MouseMove:
            e.type = SDL_MOUSEMOTION;
            e.motion.x = ev.x;
            e.motion.y = ev.y;
            break;
        case LauncherEvent::Type::Wheel:
            e.type = SDL_MOUSEWHEEL;
            e.wheel.y = ev.wheel;
            e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
            break;
        case LauncherEvent::Type::Redraw:
            e.type = SDL_WINDOWEVENT;
            e.window.event = SDL_WINDOWEVENT_EXPOSED;
            break;
    }
    return SDL_PushEvent(&e) > 0;
}

struct LauncherWindow::Impl {
    // Destroyed in reverse order: texture, renderer, then the window.
    WindowPtr window;
    std::unique_ptr<SDL_Renderer, RendererDeleter> renderer;
    std::unique_ptr<SDL_Texture, TextureDeleter> texture;
    bool dragging = false;
    int grabX = 0, grabY = 0;      // pointer on the screen at the press
    int windowX = 0, windowY = 0;  // window position at the press
};

LauncherWindow::LauncherWindow(std::unique_ptr<Impl> impl, int width, int height, bool shaped)
    : impl_(std::move(impl)), width_(width), height_(height), shaped_(shaped) {}

LauncherWindow::~LauncherWindow() {
    if (impl_->dragging)
        SDL_CaptureMouse(SDL_FALSE);
}

std::unique_ptr<LauncherWindow> LauncherWindow::create(const char* title, int width, int height,
                                                       const std::vector<uint8_t>& shape,
                                                       std::string& error) {
    assert(width > 0 && height > 0 && "a window needs a size");
    assert((shape.empty() ||
            shape.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) &&
           "the shape covers the window");
    // Centred: half the screen minus half the window, on the first display.
    // A display without a size (headless drivers) puts the window at 0, 0.
    SDL_Rect bounds{0, 0, 0, 0};
    if (SDL_GetDisplayBounds(0, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) {
        bounds = SDL_Rect{0, 0, width, height};
    }
    const int x = bounds.x + bounds.w / 2 - width / 2;
    const int y = bounds.y + bounds.h / 2 - height / 2;

    auto impl = std::make_unique<Impl>();
    bool shaped = false;
    if (!shape.empty()) {
        // Shaped windows take unsigned positions: a screen smaller than the
        // window gets it at its top-left corner.
        const unsigned sx = static_cast<unsigned>(std::max(x, 0));
        const unsigned sy = static_cast<unsigned>(std::max(y, 0));
        impl->window.reset(SDL_CreateShapedWindow(title, sx, sy, static_cast<unsigned>(width),
                                                  static_cast<unsigned>(height),
                                                  SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN));
        if (impl->window && applyShape(impl->window.get(), width, height, shape)) {
            shaped = true;
        } else {
            impl->window.reset();  // the driver cannot shape windows: use a plain one
        }
    }
    if (!impl->window) {
        impl->window.reset(SDL_CreateWindow(title, x, y, width, height,
                                            SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN));
    }
    if (!impl->window) {
        error = SDL_GetError();
        return nullptr;
    }
    SDL_Window* win = impl->window.get();
    impl->renderer.reset(SDL_CreateRenderer(win, -1, SDL_RENDERER_SOFTWARE));
    if (!impl->renderer)
        impl->renderer.reset(SDL_CreateRenderer(win, -1, 0));
    if (!impl->renderer) {
        error = SDL_GetError();
        return nullptr;
    }
    impl->texture.reset(SDL_CreateTexture(impl->renderer.get(), SDL_PIXELFORMAT_RGBA32,
                                          SDL_TEXTUREACCESS_STREAMING, width, height));
    if (!impl->texture) {
        error = SDL_GetError();
        return nullptr;
    }
    SDL_ShowWindow(win);
    SDL_RaiseWindow(win);
    return std::unique_ptr<LauncherWindow>(
        new LauncherWindow(std::move(impl), width, height, shaped));
}

void LauncherWindow::position(int& x, int& y) const {
    SDL_GetWindowPosition(impl_->window.get(), &x, &y);
}

bool LauncherWindow::waitEvent(LauncherEvent& event, int timeoutMs) {
    SDL_Event e;
    const Uint32 own = SDL_GetWindowID(impl_->window.get());
    // Queued events name no window (0); real ones name the window they hit.
    auto mine = [own](Uint32 id) { return id == own || id == 0; };
    while (SDL_WaitEventTimeout(&e, timeoutMs) != 0) {
        switch (e.type) {
            case SDL_QUIT:
                event = {LauncherEvent::Type::Quit};
                return true;
            case SDL_WINDOWEVENT:
                if (!mine(e.window.windowID))
                    break;
                if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                    event = {LauncherEvent::Type::Quit};
                    return true;
                }
                if (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
                    e.window.event == SDL_WINDOWEVENT_SHOWN) {
                    event = {LauncherEvent::Type::Redraw};
                    return true;
                }
                break;
            case SDL_KEYDOWN:
                if (e.key.keysym.sym == SDLK_ESCAPE) {
                    event = {LauncherEvent::Type::Escape};
                    return true;
                }
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (!mine(e.button.windowID) || e.button.button != SDL_BUTTON_LEFT)
                    break;
                event = {e.type == SDL_MOUSEBUTTONDOWN ? LauncherEvent::Type::MouseDown
                                                       : LauncherEvent::Type::MouseUp,
                         e.button.x, e.button.y};
                return true;
            case SDL_MOUSEMOTION:
                if (!mine(e.motion.windowID))
                    break;
                event = {LauncherEvent::Type::MouseMove, e.motion.x, e.motion.y};
                return true;
            case SDL_MOUSEWHEEL: {
                if (!mine(e.wheel.windowID))
                    break;
                int dy = e.wheel.y;
                if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
                    dy = -dy;
                int mx = 0, my = 0;
                SDL_GetMouseState(&mx, &my);
                event = {LauncherEvent::Type::Wheel, mx, my, dy};
                return true;
            }
            default:
                break;
        }
        timeoutMs = 0;  // drain what is queued, but do not wait again
    }
    return false;
}

bool LauncherWindow::escapeDown() const {
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    return keys != nullptr && keys[SDL_SCANCODE_ESCAPE] != 0;
}

bool LauncherWindow::present(const uint8_t* rgba, std::vector<uint8_t>* capture) {
    SDL_Renderer* r = impl_->renderer.get();
    if (SDL_UpdateTexture(impl_->texture.get(), nullptr, rgba, width_ * 4) != 0)
        return false;
    if (SDL_RenderClear(r) != 0 || SDL_RenderCopy(r, impl_->texture.get(), nullptr, nullptr) != 0)
        return false;
    bool ok = true;
    if (capture != nullptr) {
        capture->assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4,
                        0);
        ok = SDL_RenderReadPixels(r, nullptr, SDL_PIXELFORMAT_RGBA32, capture->data(),
                                  width_ * 4) == 0;
    }
    SDL_RenderPresent(r);
    return ok;
}

void LauncherWindow::beginDrag() {
    impl_->dragging = true;
    SDL_GetGlobalMouseState(&impl_->grabX, &impl_->grabY);
    SDL_GetWindowPosition(impl_->window.get(), &impl_->windowX, &impl_->windowY);
    // Keep getting motion when the pointer outruns the window.
    SDL_CaptureMouse(SDL_TRUE);
}

void LauncherWindow::follow() {
    if (!impl_->dragging)
        return;
    int gx = 0, gy = 0;
    SDL_GetGlobalMouseState(&gx, &gy);
    SDL_SetWindowPosition(impl_->window.get(), impl_->windowX + gx - impl_->grabX,
                          impl_->windowY + gy - impl_->grabY);
}

void LauncherWindow::endDrag() {
    if (!impl_->dragging)
        return;
    impl_->dragging = false;
    SDL_CaptureMouse(SDL_FALSE);
}

}  // namespace kvx::platform
