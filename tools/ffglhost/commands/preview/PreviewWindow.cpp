// The preview's X11 window and GLX context (see PreviewWindow.h).
#include "commands/preview/PreviewWindow.h"

#include "HeadlessGL.h"
#include "plugin/PluginDescription.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// Xlib's macro of this name would rewrite ffglhost::Status below.
#undef Status

#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace ffglhost {

namespace {

using SwapIntervalExt = void (*)(Display*, GLXDrawable, int);
using SwapIntervalMesa = int (*)(unsigned int);
using SwapIntervalSgi = int (*)(int);

Display* asDisplay(void* d) { return static_cast<Display*>(d); }

bool hasExtension(const char* list, const char* name)
{
    if (list == nullptr)
        return false;
    std::stringstream words(list);
    for (std::string w; words >> w;)
        if (w == name)
            return true;
    return false;
}

template <typename Fn> Fn glxFunction(const char* name)
{
    return reinterpret_cast<Fn>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

// Sets swap interval 1 through the first swap-control extension the display offers.
bool setSwapInterval(Display* display, int screen, Window window)
{
    const char* extensions = glXQueryExtensionsString(display, screen);
    if (hasExtension(extensions, "GLX_EXT_swap_control")) {
        if (auto fn = glxFunction<SwapIntervalExt>("glXSwapIntervalEXT")) {
            fn(display, window, 1);
            return true;
        }
    }
    if (hasExtension(extensions, "GLX_MESA_swap_control")) {
        if (auto fn = glxFunction<SwapIntervalMesa>("glXSwapIntervalMESA"))
            return fn(1) == 0;
    }
    if (hasExtension(extensions, "GLX_SGI_swap_control")) {
        if (auto fn = glxFunction<SwapIntervalSgi>("glXSwapIntervalSGI"))
            return fn(1) == 0;
    }
    return false;
}

} // namespace

Status PreviewWindow::open(int width, int height, const std::string& title, std::unique_ptr<PreviewWindow>& out)
{
    out.reset();
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0')
        return Status::badInput("no X display: DISPLAY is not set; preview needs a window (render works "
                                "without one)");
    if (width > kMaxWindowSize || height > kMaxWindowSize)
        return Status::badInput("--size " + std::to_string(width) + "x" + std::to_string(height) +
                                " is larger than an X window can be (" + std::to_string(kMaxWindowSize) + " a side)");
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return Status::badInput("cannot open the X display \"" + printable(name) +
                                "\"; preview needs a window (render works without one)");
    std::unique_ptr<PreviewWindow> w(new PreviewWindow());
    w->display_ = display;
    int errorBase = 0, eventBase = 0;
    if (!glXQueryExtension(display, &errorBase, &eventBase))
        return Status::badInput("the X display \"" + printable(name) + "\" has no GLX extension: no OpenGL "
                                "in a window there");

    const int screen = DefaultScreen(display);
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, None};
    XVisualInfo* visual = glXChooseVisual(display, screen, attributes);
    if (visual == nullptr)
        return Status::failed("the X display offers no double-buffered 24-bit RGB GLX visual");
    const Window root = RootWindow(display, screen);
    w->colormap_ = XCreateColormap(display, root, visual->visual, AllocNone);
    XSetWindowAttributes set{};
    set.colormap = w->colormap_;
    set.background_pixmap = None; // the frames cover it; no flash of background on resize
    set.border_pixel = 0;
    set.event_mask = KeyPressMask | StructureNotifyMask | ExposureMask;
    w->window_ = XCreateWindow(display, root, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                               visual->depth, InputOutput, visual->visual,
                               CWColormap | CWBackPixmap | CWBorderPixel | CWEventMask, &set);
    w->width_ = width;
    w->height_ = height;
    Atom deleteAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, w->window_, &deleteAtom, 1);
    w->deleteAtom_ = deleteAtom;
    w->setTitle(title);

    GLXContext context = glXCreateContext(display, visual, nullptr, True);
    XFree(visual);
    if (context == nullptr)
        return Status::failed("glXCreateContext failed: no OpenGL context on this X display");
    w->context_ = context;
    if (!glXMakeCurrent(display, w->window_, context))
        return Status::failed("glXMakeCurrent failed for the preview window");
    if (const GLubyte* r = glGetString(GL_RENDERER))
        w->renderer_ = reinterpret_cast<const char*>(r);
    // GLX reads the --driver choice from the environment too; refuse a window from another one.
    const std::string mismatch = kxhost::HeadlessGL::checkRenderer(w->renderer_);
    if (!mismatch.empty())
        return Status::badInput("cannot bring up the GL driver " + std::string(kxhost::HeadlessGL::selectedDriver()) +
                                " in the preview window: " + mismatch);
    w->swapControlled_ = setSwapInterval(display, screen, w->window_);
    XMapWindow(display, w->window_);
    XFlush(display);
    out = std::move(w);
    return Status();
}

PreviewWindow::~PreviewWindow()
{
    Display* display = asDisplay(display_);
    if (display == nullptr)
        return;
    if (context_ != nullptr) {
        glXMakeCurrent(display, None, nullptr);
        glXDestroyContext(display, static_cast<GLXContext>(context_));
    }
    if (window_ != 0)
        XDestroyWindow(display, window_);
    if (colormap_ != 0)
        XFreeColormap(display, colormap_);
    XCloseDisplay(display);
}

bool PreviewWindow::poll(WindowEvent& event)
{
    Display* display = asDisplay(display_);
    while (XPending(display) > 0) {
        XEvent e;
        XNextEvent(display, &e);
        switch (e.type) {
        case KeyPress:
            event = WindowEvent();
            event.kind = WindowEvent::Kind::Key;
            event.keysym = XLookupKeysym(&e.xkey, 0);
            event.shift = (e.xkey.state & ShiftMask) != 0;
            return true;
        case ConfigureNotify:
            if (e.xconfigure.width == width_ && e.xconfigure.height == height_)
                break;
            width_ = e.xconfigure.width;
            height_ = e.xconfigure.height;
            event = WindowEvent();
            event.kind = WindowEvent::Kind::Resized;
            event.width = width_;
            event.height = height_;
            return true;
        case Expose:
            if (e.xexpose.count != 0)
                break;
            event = WindowEvent();
            event.kind = WindowEvent::Kind::Exposed;
            return true;
        case ClientMessage:
            if (static_cast<unsigned long>(e.xclient.data.l[0]) != deleteAtom_)
                break;
            event = WindowEvent();
            event.kind = WindowEvent::Kind::Closed;
            return true;
        case DestroyNotify:
            if (e.xdestroywindow.window != window_)
                break;
            window_ = 0; // destroyed by someone else: not ours to destroy again
            event = WindowEvent();
            event.kind = WindowEvent::Kind::Closed;
            return true;
        default: break;
        }
    }
    return false;
}

void PreviewWindow::wait(int timeoutMs)
{
    Display* display = asDisplay(display_);
    XFlush(display);
    if (XPending(display) > 0)
        return;
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    (void)::poll(&fd, 1, timeoutMs);
}

void PreviewWindow::setTitle(const std::string& title)
{
    Display* display = asDisplay(display_);
    XStoreName(display, window_, title.c_str());
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, window_, netName, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    XFlush(display);
}

void PreviewWindow::show(const kxhost::Framebuffer& framebuffer)
{
    if (framebuffer.id() == 0)
        return;
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer.id());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBlitFramebuffer(0, 0, framebuffer.width(), framebuffer.height(), 0, 0, width_, height_, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    if (scissor)
        glEnable(GL_SCISSOR_TEST);
    glXSwapBuffers(asDisplay(display_), window_);
}

} // namespace ffglhost
