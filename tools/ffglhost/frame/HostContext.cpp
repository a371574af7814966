// Headless context and size limits (see HostContext.h).
#include "frame/HostContext.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <string>

namespace ffglhost {

Status selectDriver(const std::string& name)
{
    if (name.empty())
        return Status();
    std::string error;
    if (!kxhost::HeadlessGL::selectDriver(name, error))
        return Status::badInput("--driver: " + error);
    return Status();
}

Status openContext(std::unique_ptr<kxhost::HeadlessGL>& out)
{
    out.reset();
    const std::string driver = kxhost::HeadlessGL::selectedDriver();
    if (!kxhost::HeadlessGL::displayAvailable())
        return Status::badInput(driver.empty()
                                    ? std::string(kxhost::HeadlessGL::noDisplayText()) + ": cannot render headless"
                                    : "cannot bring up the GL driver " + driver +
                                          " here: no EGL display initialises with it (Mesa's messages above say why)");
    std::string error;
    out = kxhost::HeadlessGL::create(error);
    if (out == nullptr && !driver.empty())
        return Status::badInput("cannot bring up the GL driver " + driver + " here: " + error);
    if (out == nullptr)
        return Status::failed("cannot create a headless OpenGL context: " + error);
    return Status();
}

Status checkFrameSize(int width, int height)
{
    GLint viewport[2] = {0, 0};
    GLint renderbuffer = 0;
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    const int maxW = std::min(viewport[0], renderbuffer);
    const int maxH = std::min(viewport[1], renderbuffer);
    if (width > maxW || height > maxH)
        return Status::badInput("--size " + std::to_string(width) + "x" + std::to_string(height) +
                                " is larger than this GL context allows (" + std::to_string(maxW) + "x" +
                                std::to_string(maxH) + ")");
    return Status();
}

Status openFrameContext(std::unique_ptr<kxhost::HeadlessGL>& out, int width, int height)
{
    Status s = openContext(out);
    if (s.ok())
        s = checkFrameSize(width, height);
    return s;
}

} // namespace ffglhost
