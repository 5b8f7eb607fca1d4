// Video: the platform services the player needs from the operating system,
// behind plain functions so that nothing above platform/ includes SDL.
//
// One window with its OpenGL compatibility context (the fixed-function
// pipeline the effects draw with), further contexts on that window that
// share its textures and display lists (one per offscreen buffer, so that
// each buffer keeps its own GL state), an optional full-screen mode change,
// the Escape key, a message pump that handles one message per call, buffer
// swaps and message boxes.
//
// Headless: when SDL_VIDEODRIVER=offscreen is set, or when no display can be
// opened, the offscreen driver gives a GL context without a visible window
// (Mesa llvmpipe through EGL). headless() tells which one is in use.
//
// Threads: everything here belongs to the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvx::platform {

// Starts the video subsystem once per process. forceHeadless selects the
// offscreen driver. Returns false when not even that can start. Later calls
// return the first result (a later forceHeadless cannot change the driver).
bool initVideo(bool forceHeadless = false);
// True once initVideo has chosen a driver without a visible display.
bool headless();
// The name of the driver in use ("x11", "offscreen", ...), or "" before init.
std::string videoDriver();

// The desktop's current mode, for defaults when no launcher chose one.
struct DisplayMode {
    int width = 800;
    int height = 600;
    int bits = 32;
};
DisplayMode desktopMode();
// Every mode of the first display, the desktop's first; empty when the driver
// reports none (headless drivers report a desktop of 0 x 0).
std::vector<DisplayMode> displayModes();

class Window;

// One OpenGL rendering context of the show window. All contexts made with
// createShared share one name space of textures, renderbuffers, buffers and
// display lists; everything else (enables, matrices, the attribute stack,
// bindings, framebuffer objects) belongs to each context alone. Switching
// contexts flushes the one left, so a texture drawn in one context can be
// read in the next after binding it there.
class GlContext {
  public:
    // A new context on share's window that shares objects with share. The
    // context that was current stays current. Returns null (and a reason in
    // error) when the driver cannot make one.
    static std::unique_ptr<GlContext> createShared(GlContext& share, std::string* error = nullptr);
    // Deleting the current context leaves no context current.
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    // Cheap when this context is current already.
    bool makeCurrent();
    bool isCurrent() const;
    // The context of this module that is current on the calling thread, or
    // null when none (or one made elsewhere) is.
    static GlContext* current();

  private:
    friend class Window;
    struct Impl;
    explicit GlContext(std::unique_ptr<Impl> impl);
    // Takes ownership of a context SDL made.
    static std::unique_ptr<GlContext> adopt(void* window, void* context);
    std::unique_ptr<Impl> impl_;
};

// The show window with its GL context. Creation makes the context current.
class Window {
  public:
    // Returns null (and a reason in error) when the window, the full-screen
    // mode or the context cannot be made. title is the window caption.
    static std::unique_ptr<Window> create(const char* title, int width, int height, int bits,
                                          bool fullScreen, std::string* error = nullptr);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Makes the window's own context current.
    void makeCurrent();
    GlContext& context();
    void swap();
    // Drawable size in pixels.
    int width() const { return width_; }
    int height() const { return height_; }
    bool fullScreen() const { return fullScreen_; }

  private:
    Window() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int width_ = 0;
    int height_ = 0;
    bool fullScreen_ = false;
};

// Swap interval for the current context: 0 = do not wait for retrace.
bool setSwapInterval(int interval);
// An OpenGL entry point of the current context, or null.
void* glProcAddress(const char* name);

// True when Escape is down now or was pressed since the previous call.
bool escapePressed();
// Queues an Escape key press as the keyboard would (tests, scripted runs).
void pushEscapePress();
// The keys that steer a running show besides Escape.
enum class Key {
    Space,      // pause and resume
    Left,       // seek back
    Right,      // seek forward
    Home,       // back to the start
    LoopStart,  // '[': the loop range starts here
    LoopEnd,    // ']': the loop range ends here
    Backspace,  // clear the loop range
    F1,         // the information overlay
};
struct KeyPress {
    Key key = Key::Space;
    bool shift = false;  // either Shift key was held
};
// Takes the oldest key press not yet taken; false when there is none. Presses
// are latched as they arrive (like Escape), so the one-message pump cannot
// lose them; a held key repeats only for Left and Right.
bool takeKeyPress(KeyPress& press);
// Queues a key press as the keyboard would (tests, scripted runs).
void pushKeyPress(Key key, bool shift = false);
// Queues a quit request as closing the window does (tests, scripted runs).
void pushQuitRequest();
// Takes at most one message from the queue and handles it. Returns false
// when the queue was empty. A quit request is not acted on here.
bool pumpOneMessage();
// Counts quit requests (window closed) seen by the pump, for the summary.
int quitRequests();

// A plain OK message box; the text also goes to stderr, so that headless
// runs and terminals see it. Headless runs show no box. A warning box carries
// an exclamation sign.
void messageBox(const char* caption, const char* text, bool warning = false);

// Sleeps the calling thread.
void sleepMs(uint32_t ms);

}  // namespace kvx::platform
