// Remote control of the preview window (see XWindowRemote.h).
#include "XWindowRemote.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace hosttest {

namespace {

// Errors for windows that vanish between the query and the call are expected here; the
// default handler would end the test program.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

struct Connection {
    explicit Connection(const std::string& name) : display(XOpenDisplay(name.c_str()))
    {
        if (display != nullptr)
            previous = XSetErrorHandler(ignoreErrors);
    }
    ~Connection()
    {
        if (display != nullptr) {
            XSync(display, False);
            XSetErrorHandler(previous);
            XCloseDisplay(display);
        }
    }
    Display* display;
    XErrorHandler previous = nullptr;
};

std::string nameOf(Display* display, Window window)
{
    char* name = nullptr;
    std::string out;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        out = name;
        XFree(name);
    }
    return out;
}

} // namespace

unsigned long findWindow(const std::string& display, const std::string& prefix)
{
    Connection c(display);
    if (c.display == nullptr)
        return 0;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(c.display, DefaultRootWindow(c.display), &root, &parent, &children, &count) == 0)
        return 0;
    unsigned long found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i)
        if (nameOf(c.display, children[i]).rfind(prefix, 0) == 0)
            found = children[i];
    if (children != nullptr)
        XFree(children);
    return found;
}

std::string windowTitle(const std::string& display, unsigned long window)
{
    Connection c(display);
    return c.display == nullptr ? std::string() : nameOf(c.display, window);
}

bool requestClose(const std::string& display, unsigned long window)
{
    Connection c(display);
    if (c.display == nullptr)
        return false;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(c.display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(c.display, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(c.display, window, False, NoEventMask, &e);
    XFlush(c.display);
    return true;
}

} // namespace hosttest
