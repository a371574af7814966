// The base class of every effect application driven by the FFGL adapter (KXFFGLPlugin).
//
// An effect derives from KXFFGLApp, registers its parameters in its constructor (a parameter's
// position in `params` is its host index) and implements the hooks. The application owns its
// parameter list and the wrappers of the host's input textures, never the host's GL textures.
//
// Hooks run on the host's rendering thread; init, draw and exit need the host's GL context.
#pragma once

#include "KXAppModule.h"
#include "KXParam.h"

namespace KXGfx {
class Texture;
}

// Number of host input-texture slots an application has.
constexpr int KX_MAX_INPUT_TEXTURES = 3;

class KXFFGLApp : public KXApp::AppModule {
public:
    KXFFGLApp();
    ~KXFFGLApp() override;

    // Called after each host parameter change once init has succeeded.
    virtual void onParameterChanged(KX::Param* param);
    // A display text for the host, or null to let the adapter format the value. The text is owned
    // by the application and must stay valid until the next call.
    virtual const char* getParameterDisplay(KX::Param* param);
    virtual void resize(int width, int height); // [gl-context]
    virtual void connect();
    virtual void disconnect();

    void setFrameMesec(double ms);
    int getNumParameters() const;
    // The parameter at host index `index`, or null outside the list. Owned by `params`.
    KX::Param* getParameter(int index) const;

    struct Viewport {
        int x;
        int y;
        int width;
        int height;
    };

    // Wrappers of the host's input textures, filled by the adapter; owned by the application.
    KXGfx::Texture* inputTextures[KX_MAX_INPUT_TEXTURES];
    // Set from the host at InitGL and at every resize; undefined before InitGL.
    Viewport viewport;
    KX::ParamList params;
    // Milliseconds between the start of the previous frame and of the current one.
    double frameMesec;
};
