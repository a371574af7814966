// Framebuffer object standing in for a host's framebuffer (see HeadlessGL.h). Needs only a
// current GL context, whichever way it was made.
#include "HeadlessGL.h"

#include "HexCode.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "PixelPackState.h"

#include <cstring>
#include <utility>

namespace kxhost {

namespace {

// Most pending GL errors drained before a Framebuffer call starts its own checks.
constexpr int kMaxDrainedErrors = 64;

const char* glErrorName(GLenum e)
{
    switch (e) {
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_STACK_OVERFLOW: return "GL_STACK_OVERFLOW";
    case GL_STACK_UNDERFLOW: return "GL_STACK_UNDERFLOW";
    case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
    case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
    default: return "unknown GL error";
    }
}

// Empty when GL reports no error after `call`, else "<call> failed: GL_INVALID_VALUE (0x0501)".
std::string glFailure(const char* call)
{
    const GLenum e = glGetError();
    if (e == GL_NO_ERROR)
        return std::string();
    return std::string(call) + " failed: " + glErrorName(e) + " (" + hexCode(e) + ")";
}

void drainGLErrors()
{
    for (int i = 0; i < kMaxDrainedErrors && glGetError() != GL_NO_ERROR; ++i) {
    }
}

} // namespace

Framebuffer::~Framebuffer() { release(); }

Framebuffer::Framebuffer(Framebuffer&& other) noexcept
    : fbo_(std::exchange(other.fbo_, 0u)), color_(std::exchange(other.color_, 0u)),
      depth_(std::exchange(other.depth_, 0u)), width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0))
{
}

Framebuffer& Framebuffer::operator=(Framebuffer&& other) noexcept
{
    if (this != &other) {
        release();
        fbo_ = std::exchange(other.fbo_, 0u);
        color_ = std::exchange(other.color_, 0u);
        depth_ = std::exchange(other.depth_, 0u);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

bool Framebuffer::create(int width, int height, std::string& error)
{
    release();
    error.clear();
    if (glGetString(GL_VERSION) == nullptr) {
        error = "glGetString(GL_VERSION) returned null: no GL context is current";
        return false;
    }
    drainGLErrors();
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (width < 1 || height < 1 || width > maxSize || height > maxSize) {
        error = "Framebuffer::create: size " + std::to_string(width) + "x" + std::to_string(height) +
                " outside 1.." + std::to_string(maxSize);
        return false;
    }

    GLint prevDraw = 0, prevRead = 0, prevRenderbuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &prevDraw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &prevRead);
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &prevRenderbuffer);

    auto step = [&error](const char* call) {
        if (error.empty())
            error = glFailure(call);
        return error.empty();
    };
    glGenFramebuffers(1, &fbo_);
    glGenRenderbuffers(1, &color_);
    glGenRenderbuffers(1, &depth_);
    if (step("glGenFramebuffers/glGenRenderbuffers")) {
        glBindRenderbuffer(GL_RENDERBUFFER, color_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    }
    if (step("glRenderbufferStorage(GL_RGBA8)")) {
        glBindRenderbuffer(GL_RENDERBUFFER, depth_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    }
    if (step("glRenderbufferStorage(GL_DEPTH_COMPONENT24)")) {
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
    }
    if (step("glFramebufferRenderbuffer")) {
        const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
        if (status != GL_FRAMEBUFFER_COMPLETE)
            error = "glCheckFramebufferStatus returned " + hexCode(status) + " instead of GL_FRAMEBUFFER_COMPLETE";
    }

    glBindRenderbuffer(GL_RENDERBUFFER, static_cast<GLuint>(prevRenderbuffer));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(prevDraw));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(prevRead));
    if (!error.empty()) {
        release();
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

void Framebuffer::bind() const
{
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glViewport(0, 0, width_, height_);
}

bool Framebuffer::readPixels(std::vector<unsigned char>& rgba) const
{
    rgba.clear();
    if (fbo_ == 0)
        return false;
    drainGLErrors();
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * 4;
    std::vector<unsigned char> bottomUp(rowBytes * static_cast<std::size_t>(height_));
    const PixelPackState keep; // put back on every return
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    if (glGetError() != GL_NO_ERROR)
        return false;

    rgba.resize(bottomUp.size());
    for (int y = 0; y < height_; ++y) {
        const unsigned char* src = bottomUp.data() + static_cast<std::size_t>(height_ - 1 - y) * rowBytes;
        std::memcpy(rgba.data() + static_cast<std::size_t>(y) * rowBytes, src, rowBytes);
    }
    return true;
}

void Framebuffer::release()
{
    if (fbo_ != 0)
        glDeleteFramebuffers(1, &fbo_);
    if (color_ != 0)
        glDeleteRenderbuffers(1, &color_);
    if (depth_ != 0)
        glDeleteRenderbuffers(1, &depth_);
    fbo_ = color_ = depth_ = 0;
    width_ = height_ = 0;
}

} // namespace kxhost
