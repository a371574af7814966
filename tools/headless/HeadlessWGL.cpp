// Headless WGL context (see HeadlessGL.h), used on Windows: the context of a hidden window that
// is never shown. Its default framebuffer is that window's, so the picture goes to a Framebuffer
// as on the other platforms.
#include "HeadlessGL.h"

#include <windows.h>

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>

namespace kxhost {

namespace {

const char kWindowClass[] = "KXHeadlessGL";

// "<call> failed: Windows error <code>" with the thread's last error.
std::string windowsFailure(const char* call)
{
    return std::string(call) + " failed: Windows error " + std::to_string(GetLastError());
}

// Registers the hidden windows' class once per process. False, with the reason, when Windows
// refuses; the class stays registered until the process ends.
bool registerWindowClass(std::string& error)
{
    static bool registered = false;
    if (registered)
        return true;
    WNDCLASSA wc{};
    wc.style = CS_OWNDC; // one device context per window, kept with its pixel format
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    if (RegisterClassA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        error = windowsFailure("RegisterClassA");
        return false;
    }
    registered = true;
    return true;
}

HWND createHiddenWindow(std::string& error)
{
    if (!registerWindowClass(error))
        return nullptr;
    HWND window = CreateWindowExA(0, kWindowClass, "headless OpenGL", WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                  0, 0, 64, 64, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr)
        error = windowsFailure("CreateWindowExA");
    return window;
}

} // namespace

std::unique_ptr<HeadlessGL> HeadlessGL::create(std::string& error)
{
    error.clear();
    std::unique_ptr<HeadlessGL> gl(new HeadlessGL());
    gl->platform_ = "wgl";
    // From here on a failure destroys `gl`, whose destructor undoes what was done.
    auto fail = [&error](const std::string& why) {
        error = "no headless OpenGL context: " + why;
        return nullptr;
    };
    std::string why;
    HWND window = createHiddenWindow(why);
    if (window == nullptr)
        return fail(why);
    gl->surface_ = window;
    HDC dc = GetDC(window);
    if (dc == nullptr)
        return fail(windowsFailure("GetDC"));
    gl->display_ = dc;

    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.cAlphaBits = 8;
    pfd.cDepthBits = 24;
    pfd.cStencilBits = 8;
    pfd.iLayerType = PFD_MAIN_PLANE;
    const int format = ChoosePixelFormat(dc, &pfd);
    if (format == 0)
        return fail(windowsFailure("ChoosePixelFormat"));
    if (SetPixelFormat(dc, format, &pfd) == FALSE)
        return fail(windowsFailure("SetPixelFormat"));
    // A plain WGL context is the newest compatibility-profile context the driver offers.
    HGLRC context = wglCreateContext(dc);
    if (context == nullptr)
        return fail(windowsFailure("wglCreateContext"));
    gl->context_ = context;
    if (wglMakeCurrent(dc, context) == FALSE)
        return fail(windowsFailure("wglMakeCurrent"));

    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    int major = 0, minor = 0;
    if (version == nullptr || std::sscanf(version, "%d.%d", &major, &minor) != 2)
        return fail("glGetString(GL_VERSION) gave no version");
    if (major < 2 || (major == 2 && minor < 1))
        return fail(std::string("OpenGL 2.1 or later needed, the context offers \"") + version + "\"");
    gl->version_ = version;
    gl->renderer_ = renderer != nullptr ? renderer : "";
    return gl;
}

// Choosing Mesa's driver by name works through Mesa's own environment, which only the Linux build
// reaches; on Windows the driver is whatever opengl32 loads.
bool HeadlessGL::selectDriver(const std::string& name, std::string& error)
{
    error = "choosing the GL driver (\"" + name + "\") is only possible on Linux";
    return false;
}

const char* HeadlessGL::selectedDriver() { return ""; }

std::string HeadlessGL::checkRenderer(const std::string&) { return std::string(); }

bool HeadlessGL::displayAvailable()
{
    // Whether this process can have a window at all (a desktop to put it on).
    std::string why;
    HWND window = createHiddenWindow(why);
    if (window == nullptr)
        return false;
    DestroyWindow(window);
    return true;
}

const char* HeadlessGL::noDisplayText()
{
    return "no window could be made for a WGL context (no desktop; under Wine: no X display)";
}

void* HeadlessGL::procAddress(const char* name)
{
    PROC proc = wglGetProcAddress(name);
    // Some drivers answer 1, 2, 3 or -1 instead of null for a name they do not have.
    const auto value = reinterpret_cast<std::intptr_t>(proc);
    if (value == 0 || value == 1 || value == 2 || value == 3 || value == -1)
        return nullptr;
    return reinterpret_cast<void*>(proc);
}

HeadlessGL::~HeadlessGL()
{
    auto window = static_cast<HWND>(surface_);
    auto dc = static_cast<HDC>(display_);
    auto context = static_cast<HGLRC>(context_);
    if (context != nullptr) {
        if (wglGetCurrentContext() == context)
            wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(context);
    }
    if (dc != nullptr)
        ReleaseDC(window, dc);
    if (window != nullptr)
        DestroyWindow(window);
}

bool HeadlessGL::makeCurrent()
{
    return wglMakeCurrent(static_cast<HDC>(display_), static_cast<HGLRC>(context_)) != FALSE;
}

} // namespace kxhost
