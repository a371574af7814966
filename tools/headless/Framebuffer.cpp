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
      texture_(std::exchange(other.texture_, 0u)), depth_(std::exchange(other.depth_, 0u)), width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0))
{
}

Framebuffer& Framebuffer::operator=(Framebuffer&& other) noexcept
{
    if (this != &other) {
        release();
        fbo_ = std::exchange(other.fbo_, 0u);
        color_ = std::exchange(other.color_, 0u);
        texture_ = std::exchange(other.texture_, 0u);
        depth_ = std::exchange(other.depth_, 0u);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

bool Framebuffer::create(int width, int height, std::string& error)
{
    return createWith(width, height, width, height, false, error);
}

bool Framebuffer::createTextured(int width, int height, int hwWidth, int hwHeight, std::string& error)
{
    return createWith(width, height, hwWidth, hwHeight, true, error);
}

bool Framebuffer::createWith(int width, int height, int hwWidth, int hwHeight, bool textured, std::string& error)
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
    if (textured) {
        GLint maxTexture = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
        maxSize = maxSize < maxTexture ? maxSize : maxTexture;
    }
    if (width < 1 || height < 1 || hwWidth < width || hwHeight < height || hwWidth > maxSize || hwHeight > maxSize) {
        error = "Framebuffer::create: size " + std::to_string(width) + "x" + std::to_string(height) + " (allocated " +
                std::to_string(hwWidth) + "x" + std::to_string(hwHeight) + ") outside 1.." + std::to_string(maxSize);
        return false;
    }

    GLint prevDraw = 0, prevRead = 0, prevRenderbuffer = 0, prevTexture = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &prevDraw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &prevRead);
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &prevRenderbuffer);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &prevTexture);

    auto step = [&error](const char* call) {
        if (error.empty())
            error = glFailure(call);
        return error.empty();
    };
    glGenFramebuffers(1, &fbo_);
    glGenRenderbuffers(1, &depth_);
    if (textured)
        glGenTextures(1, &texture_);
    else
        glGenRenderbuffers(1, &color_);
    if (step("glGenFramebuffers/glGenRenderbuffers") && textured) {
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, hwWidth, hwHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        step("glTexImage2D(GL_RGBA8)");
    } else if (error.empty()) {
        glBindRenderbuffer(GL_RENDERBUFFER, color_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    }
    if (step("glRenderbufferStorage(GL_RGBA8)")) {
        glBindRenderbuffer(GL_RENDERBUFFER, depth_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, hwWidth, hwHeight);
    }
    if (step("glRenderbufferStorage(GL_DEPTH_COMPONENT24)")) {
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        if (textured)
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
        else
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
    }
    if (step("glFramebufferRenderbuffer")) {
        const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
        if (status != GL_FRAMEBUFFER_COMPLETE)
            error = "glCheckFramebufferStatus returned " + hexCode(status) + " instead of GL_FRAMEBUFFER_COMPLETE";
    }

    if (textured && error.empty()) {
        // The padding is defined: transparent black, like the frame before anything draws.
        GLint viewport[4];
        GLfloat clearColour[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
        glViewport(0, 0, hwWidth, hwHeight);
        glClearColor(0.f, 0.f, 0.f, 0.f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
        step("glClear");
    }
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(prevTexture));
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
    if (texture_ != 0)
        glDeleteTextures(1, &texture_);
    if (depth_ != 0)
        glDeleteRenderbuffers(1, &depth_);
    fbo_ = color_ = texture_ = depth_ = 0;
    width_ = height_ = 0;
}

} // namespace kxhost
