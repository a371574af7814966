// Frame read-back through pixel buffer objects (see FrameReader.h).
#define GL_GLEXT_PROTOTYPES 1
#include "output/FrameReader.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "PixelPackState.h"

#include <string>

namespace ffglhost {

namespace {

// Errors left by earlier calls (the plug-in's, say) are not the read-back's. Bounded, as a lost
// context may report errors without end.
void clearGLErrors()
{
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

Status glFailure(const std::string& what)
{
    return Status::failed("cannot read frames back: " + what);
}

} // namespace

FrameReader::~FrameReader() { release(); }

Status FrameReader::create(int width, int height)
{
    release();
    if (width < 1 || height < 1)
        return glFailure("the frame has no pixels");
    width_ = width;
    height_ = height;
    bytes_ = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;

    clearGLErrors();
    kxhost::PixelPackState keep;
    for (Slot& slot : slots_) {
        GLuint name = 0;
        glGenBuffers(1, &name);
        slot.buffer = name;
        glBindBuffer(GL_PIXEL_PACK_BUFFER, name);
        glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(bytes_), nullptr, GL_STREAM_READ);
    }
    if (glGetError() != GL_NO_ERROR) {
        release();
        return glFailure("no pixel buffers of " + std::to_string(bytes_) + " bytes");
    }
    return Status();
}

Status FrameReader::start(const kxhost::Framebuffer& framebuffer, int frame, const Delivery& deliver)
{
    if (slots_[0].buffer == 0 || framebuffer.id() == 0 || framebuffer.width() != width_ ||
        framebuffer.height() != height_)
        return glFailure("the framebuffer does not match the pixel buffers");
    if (queued_ == kSlots) {
        Status s = deliverOldest(deliver);
        if (!s.ok())
            return s;
    }

    Slot& slot = slots_[next_];
    clearGLErrors();
    {
        kxhost::PixelPackState keep;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer.id());
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, slot.buffer);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    }
    if (glGetError() != GL_NO_ERROR)
        return glFailure("reading frame " + std::to_string(frame) + " from the framebuffer failed");
    slot.frame = frame;
    slot.queued = true;
    next_ = (next_ + 1) % kSlots;
    ++queued_;
    return Status();
}

Status FrameReader::drain(const Delivery& deliver)
{
    while (queued_ > 0) {
        Status s = deliverOldest(deliver);
        if (!s.ok())
            return s;
    }
    return Status();
}

Status FrameReader::deliverOldest(const Delivery& deliver)
{
    Slot& slot = slots_[(next_ + kSlots - queued_) % kSlots];
    --queued_;
    slot.queued = false;

    clearGLErrors();
    kxhost::PixelPackState keep;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, slot.buffer);
    // Waits for the copy to finish, if it has not.
    const void* mapped = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    if (mapped == nullptr)
        return glFailure("cannot map the pixels of frame " + std::to_string(slot.frame));
    Status s = deliver(slot.frame, static_cast<const unsigned char*>(mapped), bytes_);
    if (glUnmapBuffer(GL_PIXEL_PACK_BUFFER) == GL_FALSE && s.ok())
        s = glFailure("the pixels of frame " + std::to_string(slot.frame) + " were lost while mapped");
    return s;
}

void FrameReader::release()
{
    for (Slot& slot : slots_) {
        if (slot.buffer != 0) {
            const GLuint name = slot.buffer;
            glDeleteBuffers(1, &name);
        }
        slot = Slot();
    }
    next_ = 0;
    queued_ = 0;
}

} // namespace ffglhost
