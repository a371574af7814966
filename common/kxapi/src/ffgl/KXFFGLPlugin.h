// The FFGL instance class that drives one application object (KXFFGLApp).
//
// The adapter owns its application and destroys it with itself. It announces the application's
// parameters to the host, maps host values (floats in 0..1, booleans, text pointers) to typed
// values in each parameter's own range and back, formats display texts, and turns the host's
// GL calls into the application's hooks: the frame interval is measured, host input textures are
// wrapped (never deleted), the host framebuffer is recorded for the render targets, and the
// host's matrices and attribute state are saved around the application's draw.
//
// Host thread only; InitGL, DeInitGL, ProcessOpenGL and Resize need the host's GL context.
#pragma once

#include "FFGLPluginSDK.h"

#include <memory>

class KXFFGLApp;

// Capacity of the adapter's display-text buffer, terminator included.
constexpr int KX_DISPLAY_TEXT_SIZE = 128;

class KXFFGLPlugin : public CFreeFrameGLPlugin {
public:
    // Takes ownership of `app`, whose parameters must all be registered already. At most
    // KX_MAX_INPUT_TEXTURES inputs are supported; larger counts are limited to that.
    KXFFGLPlugin(KXFFGLApp* app, int minInputs, int maxInputs);
    ~KXFFGLPlugin() override;

    FFWord InitGL(const FFGLViewportStructTag* viewport) override;   // [gl-context]
    FFWord DeInitGL() override;                                       // [gl-context]
    // The text lives in this instance's buffer (or the application's) until the next call.
    char* GetParameterDisplay(uint32_t index) override;
    FFWord SetParameter(const SetParameterStructTag* record) override;
    FFWord GetParameter(uint32_t index) override;
    // Fails without drawing when the frame brings fewer input textures than the minimum; wrappers
    // left from earlier frames do not count.
    FFWord ProcessOpenGL(ProcessOpenGLStructTag* frame) override;     // [gl-context, initialised]
    FFWord SetTime(double time) override;
    FFWord Connect() override;
    FFWord Disconnect() override;
    FFWord Resize(const FFGLViewportStructTag* viewport) override;    // [gl-context, initialised]

    KXFFGLApp* getApp() const { return m_app.get(); }

private:
    void initParameters();
    // Wraps the frame's input textures; returns the slots refreshed (bit i for slot i).
    unsigned setupInputTextures(const ProcessOpenGLStructTag* frame);

    double m_lastTickMs;
    char m_displayText[KX_DISPLAY_TEXT_SIZE];
    bool m_glReady;
    std::unique_ptr<KXFFGLApp> m_app;
};
