// LauncherWindow: the SDL side of the launcher dialog.
//
// A borderless window of a fixed size, centred on the first display, that
// shows RGBA pictures painted elsewhere and reports the little input the
// dialog needs. When given a shape it asks SDL for a shaped window and falls
// back to a plain rectangular one where the video driver cannot shape
// windows (shaped() tells which it got). The window can follow the pointer
// while a button is held (dragging), since it has no title bar to drag.
//
// Main thread only. VideoSession keeps SDL's video subsystem up for as long
// as it lives; every other call needs one alive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvx::platform {

class VideoSession {
  public:
    VideoSession();
    ~VideoSession();
    VideoSession(const VideoSession&) = delete;
    VideoSession& operator=(const VideoSession&) = delete;

    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }

  private:
    bool ok_ = false;
    std::string error_;
};

struct VideoMode {
    int width = 0;
    int height = 0;
    int bits = 0;
};

// Every mode of the first display (its desktop mode included); empty when
// the driver reports none.
std::vector<VideoMode> listVideoModes();

// A message box with an exclamation sign; returns when it is dismissed.
void showWarning(const char* caption, const char* text);

struct LauncherEvent {
    // Redraw: the window's content was lost and must be presented again.
    enum class Type { Quit, MouseDown, MouseUp, MouseMove, Wheel, Escape, Redraw };
    Type type = Type::MouseMove;
    int x = 0;
    int y = 0;
    int wheel = 0;  // positive: away from the user
};

// Queues ev as if the user had made it, for every launcher window (tests and
// scripted runs; positions are window coordinates). Thread-safe; false while
// no VideoSession is up, so a caller can retry until the dialog runs.
bool postLauncherEvent(const LauncherEvent& ev);

class LauncherWindow {
  public:
    // shape: width * height bytes, row 0 at the top, nonzero = part of the
    // window; empty for a rectangular window. Null (with error set) when no
    // window can be made at all.
    static std::unique_ptr<LauncherWindow> create(const char* title, int width, int height,
                                                  const std::vector<uint8_t>& shape,
                                                  std::string& error);
    ~LauncherWindow();
    LauncherWindow(const LauncherWindow&) = delete;
    LauncherWindow& operator=(const LauncherWindow&) = delete;

    bool shaped() const { return shaped_; }
    int width() const { return width_; }
    int height() const { return height_; }
    void position(int& x, int& y) const;

    // Waits up to timeoutMs for the next event for this window (or for no
    // window in particular); false when none came. Only the left button
    // counts.
    bool waitEvent(LauncherEvent& event, int timeoutMs);
    // Whether Escape is held down now.
    bool escapeDown() const;

    // Shows a width * height RGBA picture (row 0 at the top). When capture
    // is given it receives what the window's renderer holds, in the same
    // layout, read back before the picture is presented.
    bool present(const uint8_t* rgba, std::vector<uint8_t>* capture = nullptr);

    // Window dragging: start at a button press, follow() on every move,
    // stop at the release.
    void beginDrag();
    void follow();
    void endDrag();

  private:
    struct Impl;
    explicit LauncherWindow(std::unique_ptr<Impl> impl, int width, int height, bool shaped);

    std::unique_ptr<Impl> impl_;
    int width_;
    int height_;
    bool shaped_;
};

}  // namespace kvx::platform
