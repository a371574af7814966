// Headless EGL context (see HeadlessGL.h), used everywhere but on Windows.
#include "HeadlessGL.h"

#include "HexCode.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kxhost {

namespace {

// Most EGL devices looked at on the device platform.
constexpr int kMaxDevices = 16;

// The drivers selectDriver() accepts. Each is one of Mesa's gallium drivers, reached through its
// software (swrast) loader path; zink then runs on the first CPU Vulkan device, lavapipe (without
// LIBGL_ALWAYS_SOFTWARE it passes CPU devices over and the display fails to initialise).
const char* const kDrivers[] = {"llvmpipe", "softpipe", "zink"};

// The driver named by selectDriver(), "" for none; and whether a display was initialised since
// the process started (after that, Mesa has read its environment).
const char* s_driver = "";
bool s_displayInitialised = false;

const char* eglErrorName(EGLint e)
{
    switch (e) {
    case EGL_SUCCESS: return "EGL_SUCCESS";
    case EGL_NOT_INITIALIZED: return "EGL_NOT_INITIALIZED";
    case EGL_BAD_ACCESS: return "EGL_BAD_ACCESS";
    case EGL_BAD_ALLOC: return "EGL_BAD_ALLOC";
    case EGL_BAD_ATTRIBUTE: return "EGL_BAD_ATTRIBUTE";
    case EGL_BAD_CONFIG: return "EGL_BAD_CONFIG";
    case EGL_BAD_CONTEXT: return "EGL_BAD_CONTEXT";
    case EGL_BAD_CURRENT_SURFACE: return "EGL_BAD_CURRENT_SURFACE";
    case EGL_BAD_DISPLAY: return "EGL_BAD_DISPLAY";
    case EGL_BAD_MATCH: return "EGL_BAD_MATCH";
    case EGL_BAD_NATIVE_PIXMAP: return "EGL_BAD_NATIVE_PIXMAP";
    case EGL_BAD_NATIVE_WINDOW: return "EGL_BAD_NATIVE_WINDOW";
    case EGL_BAD_PARAMETER: return "EGL_BAD_PARAMETER";
    case EGL_BAD_SURFACE: return "EGL_BAD_SURFACE";
    case EGL_CONTEXT_LOST: return "EGL_CONTEXT_LOST";
    default: return "unknown EGL error";
    }
}

// "<call> failed: EGL_BAD_MATCH (0x3009)" with the thread's current EGL error.
std::string eglFailure(const char* call)
{
    const EGLint e = eglGetError();
    return std::string(call) + " failed: " + eglErrorName(e) + " (" + hexCode(static_cast<unsigned>(e)) + ")";
}

// Whether `name` is one whole blank-separated entry of `list` (null counts as empty).
bool hasExtension(const char* list, const char* name)
{
    if (list == nullptr)
        return false;
    const std::size_t len = std::strlen(name);
    for (const char* p = list; *p != '\0';) {
        const std::size_t n = std::strcspn(p, " ");
        if (n == len && std::strncmp(p, name, n) == 0)
            return true;
        p += n;
        while (*p == ' ')
            ++p;
    }
    return false;
}

// EGL displays are process-wide: the same platform and native handle give the same EGLDisplay,
// and eglTerminate would end it for every user in the process. Displays initialised here are
// therefore left initialised until the process exits (EGL cleans them up then): terminating one
// unloads the GL driver, which also leaves the leak checker unable to name the driver's own
// process-lifetime allocations. Initialising an initialised display again is harmless.
bool initializeDisplay(EGLDisplay dpy, std::string& error)
{
    EGLint major = 0, minor = 0;
    s_displayInitialised = true;
    if (eglInitialize(dpy, &major, &minor) != EGL_TRUE) {
        error = eglFailure("eglInitialize");
        return false;
    }
    return true;
}

struct Candidate {
    EGLDisplay display;
    const char* platform;
    std::string label; // for error texts, e.g. "device 1 (software)"
};

// Every display worth trying, in the order of preference described in the header.
std::vector<Candidate> candidateDisplays(std::string& notes)
{
    std::vector<Candidate> out;
    const char* clientExt = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (clientExt == nullptr)
        eglGetError(); // no client extensions: EGL 1.4 without EGL_EXT_client_extensions

    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));

    if (hasExtension(clientExt, "EGL_EXT_platform_device") && getPlatformDisplay != nullptr) {
        auto queryDevices =
            reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
        auto queryDeviceString = reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(
            eglGetProcAddress("eglQueryDeviceStringEXT"));
        EGLDeviceEXT devices[kMaxDevices];
        EGLint count = 0;
        if (queryDevices == nullptr) {
            notes += "device: eglQueryDevicesEXT not found; ";
        } else if (queryDevices(kMaxDevices, devices, &count) != EGL_TRUE) {
            notes += "device: " + eglFailure("eglQueryDevicesEXT") + "; ";
            count = 0;
        } else if (count == 0) {
            notes += "device: eglQueryDevicesEXT listed no device; ";
        }
        // Hardware devices first, Mesa's software device after them.
        std::vector<Candidate> software;
        for (EGLint i = 0; i < count && i < kMaxDevices; ++i) {
            const char* devExt =
                queryDeviceString != nullptr ? queryDeviceString(devices[i], EGL_EXTENSIONS) : nullptr;
            const bool isSoftware = hasExtension(devExt, "EGL_MESA_device_software");
            EGLDisplay dpy = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
            std::string label = "device " + std::to_string(i) + (isSoftware ? " (software)" : "");
            if (dpy == EGL_NO_DISPLAY) {
                notes += label + ": " + eglFailure("eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT)") + "; ";
                continue;
            }
            if (!isSoftware && *s_driver != '\0')
                continue; // a named software driver never runs on a GPU's device
            (isSoftware ? software : out).push_back({dpy, "device", label});
        }
        out.insert(out.end(), software.begin(), software.end());
    } else {
        notes += "device: EGL_EXT_platform_device not offered; ";
    }

    if (hasExtension(clientExt, "EGL_MESA_platform_surfaceless") && getPlatformDisplay != nullptr) {
        EGLDisplay dpy = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (dpy != EGL_NO_DISPLAY)
            out.push_back({dpy, "surfaceless", "surfaceless"});
        else
            notes += "surfaceless: " + eglFailure("eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA)") + "; ";
    } else {
        notes += "surfaceless: EGL_MESA_platform_surfaceless not offered; ";
    }

    EGLDisplay dpy = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (dpy != EGL_NO_DISPLAY)
        out.push_back({dpy, "default", "default"});
    else
        notes += "default: " + eglFailure("eglGetDisplay(EGL_DEFAULT_DISPLAY)") + "; ";
    return out;
}

// "4.5 (Compatibility Profile) Mesa ..." -> 4, 5; 0, 0 when unreadable.
void parseGLVersion(const char* text, int& major, int& minor)
{
    major = minor = 0;
    if (text == nullptr || std::sscanf(text, "%d.%d", &major, &minor) != 2)
        major = minor = 0;
}

bool chooseConfig(EGLDisplay dpy, bool surfaceless, EGLConfig& config, std::string& error)
{
    // A pbuffer-capable config keeps the 1x1 pbuffer fallback open; where surfaceless contexts
    // exist any desktop-GL config will do.
    const EGLint withPbuffer[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                  EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_NONE};
    const EGLint anySurface[] = {EGL_SURFACE_TYPE, 0, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    if (eglChooseConfig(dpy, withPbuffer, &config, 1, &count) == EGL_TRUE && count > 0)
        return true;
    if (surfaceless && eglChooseConfig(dpy, anySurface, &config, 1, &count) == EGL_TRUE && count > 0)
        return true;
    error = count == 0 ? std::string("eglChooseConfig found no desktop OpenGL config")
                       : eglFailure("eglChooseConfig");
    return false;
}

EGLContext createContext(EGLDisplay dpy, EGLConfig config, bool createContextExt, std::string& error)
{
    if (createContextExt) {
        // Asking for 2.1 gives the newest version backwards compatible with it.
        const EGLint compat[] = {EGL_CONTEXT_MAJOR_VERSION_KHR, 2, EGL_CONTEXT_MINOR_VERSION_KHR, 1,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK_KHR,
                                 EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT_KHR, EGL_NONE};
        EGLContext ctx = eglCreateContext(dpy, config, EGL_NO_CONTEXT, compat);
        if (ctx != EGL_NO_CONTEXT)
            return ctx;
        eglGetError();
    }
    EGLContext ctx = eglCreateContext(dpy, config, EGL_NO_CONTEXT, nullptr);
    if (ctx == EGL_NO_CONTEXT)
        error = eglFailure("eglCreateContext");
    return ctx;
}

} // namespace

std::unique_ptr<HeadlessGL> HeadlessGL::create(std::string& error)
{
    error.clear();
    std::string notes;
    const std::vector<Candidate> candidates = candidateDisplays(notes);

    for (const Candidate& c : candidates) {
        std::string why;
        if (!initializeDisplay(c.display, why)) {
            notes += c.label + ": " + why + "; ";
            continue;
        }
        std::unique_ptr<HeadlessGL> gl(new HeadlessGL());
        gl->display_ = c.display;
        gl->platform_ = c.platform;

        // From here on a failure destroys `gl`, whose destructor undoes what was done.
        const char* dispExt = eglQueryString(c.display, EGL_EXTENSIONS);
        EGLint major = 0, minor = 0;
        const char* eglVersion = eglQueryString(c.display, EGL_VERSION);
        if (eglVersion != nullptr)
            std::sscanf(eglVersion, "%d.%d", &major, &minor);
        const bool egl15 = major > 1 || (major == 1 && minor >= 5);
        const bool surfaceless = hasExtension(dispExt, "EGL_KHR_surfaceless_context");

        if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
            notes += c.label + ": " + eglFailure("eglBindAPI(EGL_OPENGL_API)") + "; ";
            continue;
        }
        EGLConfig config = nullptr;
        if (!chooseConfig(c.display, surfaceless, config, why)) {
            notes += c.label + ": " + why + "; ";
            continue;
        }
        gl->context_ = createContext(c.display, config, egl15 || hasExtension(dispExt, "EGL_KHR_create_context"), why);
        if (gl->context_ == EGL_NO_CONTEXT) {
            notes += c.label + ": " + why + "; ";
            continue;
        }
        bool current = surfaceless &&
                       eglMakeCurrent(c.display, EGL_NO_SURFACE, EGL_NO_SURFACE, gl->context_) == EGL_TRUE;
        if (!current) {
            if (surfaceless)
                eglGetError();
            EGLint surfaceType = 0;
            eglGetConfigAttrib(c.display, config, EGL_SURFACE_TYPE, &surfaceType);
            if ((surfaceType & EGL_PBUFFER_BIT) == 0) {
                notes += c.label + ": eglMakeCurrent without a surface failed and the config has no pbuffer; ";
                continue;
            }
            const EGLint size[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
            gl->surface_ = eglCreatePbufferSurface(c.display, config, size);
            if (gl->surface_ == EGL_NO_SURFACE) {
                notes += c.label + ": " + eglFailure("eglCreatePbufferSurface") + "; ";
                continue;
            }
            if (eglMakeCurrent(c.display, gl->surface_, gl->surface_, gl->context_) != EGL_TRUE) {
                notes += c.label + ": " + eglFailure("eglMakeCurrent") + "; ";
                continue;
            }
        }
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        if (version == nullptr) {
            notes += c.label + ": glGetString(GL_VERSION) returned null; ";
            continue;
        }
        int glMajor = 0, glMinor = 0;
        parseGLVersion(version, glMajor, glMinor);
        if (glMajor < 2 || (glMajor == 2 && glMinor < 1)) {
            notes += c.label + ": OpenGL 2.1 or later needed, the context offers \"" + version + "\"; ";
            continue;
        }
        const std::string mismatch = checkRenderer(renderer != nullptr ? renderer : "");
        if (!mismatch.empty()) {
            notes += c.label + ": " + mismatch + "; ";
            continue;
        }
        gl->version_ = version;
        gl->renderer_ = renderer != nullptr ? renderer : "";
        return gl;
    }
    error = "no headless OpenGL context: " + notes;
    if (error.size() >= 2 && error.compare(error.size() - 2, 2, "; ") == 0)
        error.resize(error.size() - 2);
    return nullptr;
}

bool HeadlessGL::selectDriver(const std::string& name, std::string& error)
{
    error.clear();
    const char* known = nullptr;
    for (const char* d : kDrivers) {
        if (name == d)
            known = d;
    }
    if (known == nullptr) {
        error = "unknown GL driver '" + name + "' (llvmpipe, softpipe or zink)";
        return false;
    }
    if (s_displayInitialised && std::strcmp(s_driver, known) != 0) {
        error = std::string("the GL driver cannot change to ") + known + " once a display is open";
        return false;
    }
    if (setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1) != 0 || setenv("GALLIUM_DRIVER", known, 1) != 0) {
        error = "cannot set the environment that selects the GL driver";
        return false;
    }
    s_driver = known;
    return true;
}

const char* HeadlessGL::selectedDriver() { return s_driver; }

std::string HeadlessGL::checkRenderer(const std::string& renderer)
{
    const std::size_t n = std::strlen(s_driver);
    if (n == 0 || renderer.compare(0, n, s_driver) == 0)
        return std::string();
    return std::string("the context came from \"") + renderer + "\", not from the " + s_driver + " driver";
}

bool HeadlessGL::displayAvailable()
{
    std::string notes;
    for (const Candidate& c : candidateDisplays(notes)) {
        std::string why;
        if (initializeDisplay(c.display, why))
            return true;
    }
    return false;
}

const char* HeadlessGL::noDisplayText()
{
    return "no EGL display could be opened (no GPU driver or Mesa EGL on this machine)";
}

void* HeadlessGL::procAddress(const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

HeadlessGL::~HeadlessGL()
{
    if (display_ == nullptr)
        return;
    if (context_ != nullptr) {
        if (eglGetCurrentContext() == context_) {
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        }
        eglDestroyContext(display_, context_);
    }
    if (surface_ != nullptr)
        eglDestroySurface(display_, surface_);
    // The display stays initialised (see initializeDisplay).
}

bool HeadlessGL::makeCurrent()
{
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE)
        return false;
    EGLSurface s = surface_ != nullptr ? surface_ : EGL_NO_SURFACE;
    return eglMakeCurrent(display_, s, s, context_) == EGL_TRUE;
}

} // namespace kxhost
