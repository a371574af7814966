// Application base of FFGL effects (see KXFFGLApp.h).
#include "KXFFGLApp.h"

#include "KXTexture.h"

KXFFGLApp::KXFFGLApp() : inputTextures{nullptr, nullptr, nullptr}, viewport{0, 0, 0, 0}, frameMesec(0.0)
{
    params.release();
}

KXFFGLApp::~KXFFGLApp()
{
    params.release();
    for (KXGfx::Texture*& texture : inputTextures) {
        if (texture == nullptr)
            continue;
        // The GL texture is the host's: forget its name so destroying the wrapper leaves it alone.
        texture->id = 0;
        delete texture;
        texture = nullptr;
    }
}

void KXFFGLApp::onParameterChanged(KX::Param*) {}
const char* KXFFGLApp::getParameterDisplay(KX::Param*) { return nullptr; }
void KXFFGLApp::resize(int, int) {}
void KXFFGLApp::connect() {}
void KXFFGLApp::disconnect() {}

void KXFFGLApp::setFrameMesec(double ms) { frameMesec = ms; }

int KXFFGLApp::getNumParameters() const { return params.getNumParams(); }

KX::Param* KXFFGLApp::getParameter(int index) const
{
    if (index < 0 || index >= params.getNumParams())
        return nullptr;
    return params.getParam(index);
}
