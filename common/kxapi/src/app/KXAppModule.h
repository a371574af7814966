// The framework's generic application base: a named module with initialise, update, draw and
// exit hooks. Effects derive from KXFFGLApp (ffgl/KXFFGLApp.h), which derives from this.
//
// The hooks run on the host's rendering thread; init, draw, afterDraw and exit need the host's
// GL context current.
#pragma once

#include <string>

namespace KXApp {

class AppModule {
public:
    AppModule();
    virtual ~AppModule();

    AppModule(const AppModule&) = delete;
    AppModule& operator=(const AppModule&) = delete;

    // Creates the module's GL objects; false means the module cannot run. [gl-context]
    virtual bool init() = 0;
    virtual void draw();      // [gl-context]
    virtual void afterDraw(); // [gl-context]
    virtual void update();
    virtual void exit();      // releases what init created [gl-context]

    std::string name;
};

} // namespace KXApp
