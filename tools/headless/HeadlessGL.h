// A desktop OpenGL context without a window system, and a framebuffer object that stands in for
// the framebuffer a video host hands to a plug-in. The headless FFGL host and the GL tests run
// the framework on top of these two classes.
//
// HeadlessGL owns one context (compatibility profile, GL 2.1 or later).
//
// Windows (HeadlessWGL.cpp): a WGL context on a hidden window of this process, never shown;
// platformName() is "wgl". It needs a desktop (under Wine: an X display). displayAvailable()
// tells whether a window can be made at all. Entry points beyond GL 1.1 that the host side calls
// are defined by HostGLFunctionsWin.cpp.
//
// Everywhere else (HeadlessGL.cpp): an EGL context on one EGL display. The platform is chosen in
// this order, the first that yields a working context winning:
//   "device"      EGL_EXT_platform_device: one EGL device per GPU (NVIDIA's driver; Mesa lists
//                 its software rasteriser here too). Hardware devices are tried before software.
//   "surfaceless" EGL_MESA_platform_surfaceless: Mesa without any window system (llvmpipe).
//   "default"     eglGetDisplay(EGL_DEFAULT_DISPLAY): whatever the EGL library picks.
// The context is made current without a surface (EGL_KHR_surfaceless_context) or, where that is
// missing, with a 1x1 pbuffer. With no surface the default framebuffer (name 0) is incomplete:
// draw into a Framebuffer.
//
// Drivers. By default the context comes from whatever driver the platform above offers first
// (a GPU's, else Mesa's llvmpipe). selectDriver() names one of Mesa's software drivers instead:
//   "llvmpipe"  Mesa's JIT-compiled rasteriser (the default without a GPU);
//   "softpipe"  Mesa's reference rasteriser, interpreted, slow;
//   "zink"      Mesa's OpenGL on Vulkan, here on the lavapipe Vulkan driver (mesa-vulkan-drivers).
// Mesa reads its choice from the environment (LIBGL_ALWAYS_SOFTWARE, GALLIUM_DRIVER) once, when a
// display loads its driver, so the choice is process-wide and must come before any display is
// initialised; child processes inherit it. With a driver named, hardware devices are passed over
// and a context whose GL_RENDERER does not begin with the driver's name is refused.
//
// Threads: a context is current on one thread at a time. create() leaves the new context current
// on the calling thread; makeCurrent() moves it to the calling thread. Framebuffer calls need a
// current context (the one they were created in, or one sharing its objects).
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kxhost {

class HeadlessGL {
public:
    // A new context, current on the calling thread, or null with `error` naming the EGL, WGL or
    // GL call that failed (with the error code as text) on every platform tried. The caller owns
    // the result.
    static std::unique_ptr<HeadlessGL> create(std::string& error);

    // Names the driver every later context of this process must come from ("llvmpipe",
    // "softpipe" or "zink"; see above). False, with `error` saying why, for any other name or
    // once a display has been initialised. [main thread, before any GL or EGL call]
    static bool selectDriver(const std::string& name, std::string& error);
    // The driver named by selectDriver(), or "" when none was; a static string.
    static const char* selectedDriver();
    // Empty when `renderer` (a GL_RENDERER text) is the selected driver's or no driver was
    // selected; else a one-line explanation. Also for contexts made elsewhere (GLX windows).
    static std::string checkRenderer(const std::string& renderer);

    // Whether any EGL display can be initialised at all (on any of the platforms above; on
    // Windows: whether a window can be made). Tests use it to tell "this machine has no display"
    // from "context creation is broken".
    static bool displayAvailable();
    // Why displayAvailable() is false, for one error line: no EGL display (Windows: no desktop
    // for the hidden window; under Wine, no X display). A static string.
    static const char* noDisplayText();

    // The address of the GL entry point `name` in the current context's driver
    // (eglGetProcAddress, wglGetProcAddress), or null where the driver lacks it. Needs a current
    // context on Windows, where addresses belong to the context's driver.
    static void* procAddress(const char* name);

    // Destroys the context (releasing it first if current) and its pbuffer. The EGL display is
    // process-wide and stays initialised until exit: terminating it would unload the driver
    // under every other user of the display.
    ~HeadlessGL();
    HeadlessGL(const HeadlessGL&) = delete;
    HeadlessGL& operator=(const HeadlessGL&) = delete;

    // "device", "surfaceless", "default" or "wgl"; a static string.
    const char* platformName() const { return platform_; }
    // GL_RENDERER and GL_VERSION as the context reported them at creation.
    std::string renderer() const { return renderer_; }
    std::string version() const { return version_; }
    // Makes this context current on the calling thread; false when EGL (WGL) refuses.
    bool makeCurrent();

private:
    HeadlessGL() = default;

    // Handles kept as void* so that this header does not pull in the EGL or Windows headers.
    // EGL: display, context, and a 1x1 pbuffer (null when current without a surface).
    // WGL: the window's device context, the GL context, and the hidden window.
    void* display_ = nullptr;
    void* context_ = nullptr;
    void* surface_ = nullptr;
    const char* platform_ = "";
    std::string renderer_;
    std::string version_;
};

// A framebuffer object with an RGBA8 colour buffer and a 24-bit depth renderbuffer. The colour
// buffer is a renderbuffer, or (createTextured) a texture that other GL work can sample, as the
// next effect of a chain does. Owns its GL names; release() (also run by the destructor) deletes
// them in the current context.
class Framebuffer {
public:
    Framebuffer() = default;
    ~Framebuffer();
    Framebuffer(const Framebuffer&) = delete;
    Framebuffer& operator=(const Framebuffer&) = delete;
    Framebuffer(Framebuffer&& other) noexcept;
    Framebuffer& operator=(Framebuffer&& other) noexcept;

    // Creates (re-creates) the framebuffer at width x height. On failure returns false, holds
    // nothing, and `error` names the GL call that failed. The bindings in force are kept.
    bool create(int width, int height, std::string& error);
    // The same with a GL_TEXTURE_2D colour texture (RGBA8, linear filtering, clamped to the
    // edge) allocated at hwWidth x hwHeight, at least the frame's size: the frame lies in its
    // lower-left corner, the rest is transparent black. The depth buffer has the allocated size.
    bool createTextured(int width, int height, int hwWidth, int hwHeight, std::string& error);
    // The colour texture's name: 0 for a renderbuffer, or when nothing was created.
    unsigned colorTexture() const { return texture_; }
    // The GL framebuffer name (0 when not created): what a host passes as its framebuffer.
    unsigned id() const { return fbo_; }
    // Binds it as draw and read framebuffer and sets the viewport to its whole size.
    void bind() const;
    int width() const { return width_; }
    int height() const { return height_; }
    // The colour buffer as RGBA8, width * height * 4 bytes, rows from the TOP of the image down
    // (GL stores them bottom-up). The read framebuffer binding and the pixel-pack state in force
    // are restored. False when not created or GL reports an error.
    bool readPixels(std::vector<unsigned char>& rgba) const;
    void release();

private:
    bool createWith(int width, int height, int hwWidth, int hwHeight, bool textured, std::string& error);

    unsigned fbo_ = 0;
    unsigned color_ = 0;   // colour renderbuffer
    unsigned texture_ = 0; // or colour texture
    unsigned depth_ = 0;
    int width_ = 0;
    int height_ = 0;
};

} // namespace kxhost
