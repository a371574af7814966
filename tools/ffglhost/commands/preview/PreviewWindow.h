// An X11 window with a GLX context: where the preview command shows the host framebuffer live.
// The context is an ordinary (compatibility) OpenGL context made current on the window, so the
// plug-in renders into the host's framebuffer object exactly as it does headless, and show()
// copies that framebuffer into the window and swaps. Where the driver offers swap control the
// swap waits for the display's refresh (interval 1).
//
// Ownership: PreviewWindow owns the display connection, the window, its colormap and the GL
// context. Everything made in that context (framebuffers, plug-in instances) must be gone before
// the window is destroyed; the destructor releases and destroys the context, then the window,
// then closes the connection. Main thread only; open() leaves the context current on it.
#pragma once

#include "HeadlessGL.h"
#include "Status.h"

#include <memory>
#include <string>

namespace ffglhost {

// Largest width or height an X window can have.
constexpr int kMaxWindowSize = 32767;

struct WindowEvent {
    enum class Kind { Key, Resized, Exposed, Closed };
    Kind kind = Kind::Exposed;
    unsigned long keysym = 0; // Key: the key's unshifted X keysym
    bool shift = false;       // Key: Shift was held
    int width = 0;            // Resized: the new size
    int height = 0;
};

class PreviewWindow {
public:
    // Connects to the display DISPLAY names and maps a width x height window titled `title`.
    // No DISPLAY, a display that cannot be opened, or one without GLX: bad input (exit
    // status 2), one line. A display without a usable GL visual or context: a failure.
    static Status open(int width, int height, const std::string& title, std::unique_ptr<PreviewWindow>& out);

    ~PreviewWindow();
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;

    // The next event already received, without waiting; false when there is none. Key presses,
    // changes of size (moves alone are dropped), exposures and the window manager's close
    // request (WM_DELETE_WINDOW) are reported; other events are dropped.
    bool poll(WindowEvent& event);
    // Waits until an event arrives or `timeoutMs` passes.
    void wait(int timeoutMs);

    void setTitle(const std::string& title);
    // Copies `framebuffer` into the window's back buffer (scaled if the sizes differ) and swaps.
    // The scissor test is off for the copy and restored afterwards. [context current]
    void show(const kxhost::Framebuffer& framebuffer);

    int width() const { return width_; }
    int height() const { return height_; }
    // Whether the swap waits for the display (swap control was found and set to 1).
    bool swapControlled() const { return swapControlled_; }
    // The X window id, e.g. for screenshots with xwd -id.
    unsigned long windowId() const { return window_; }
    std::string renderer() const { return renderer_; }

private:
    PreviewWindow() = default;

    // X and GLX handles kept as plain words and void* so that this header pulls in no X
    // headers (Xlib defines macros such as Status and None).
    void* display_ = nullptr;
    void* context_ = nullptr;
    unsigned long window_ = 0;
    unsigned long colormap_ = 0;
    unsigned long deleteAtom_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool swapControlled_ = false;
    std::string renderer_;
};

} // namespace ffglhost
