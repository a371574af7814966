// The read-framebuffer binding, the pixel-pack buffer binding and the pack parameters in force,
// put back when a PixelPackState goes out of scope: whoever reads pixels leaves the context as it
// found it. Header only; include it after the GL headers (with the GL 2.1/3.0 entry points
// declared). Needs a current GL context.
#pragma once

namespace kxhost {

class PixelPackState {
public:
    PixelPackState()
    {
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer_);
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer_);
        glGetIntegerv(GL_PACK_ALIGNMENT, &alignment_);
        glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength_);
        glGetIntegerv(GL_PACK_SKIP_ROWS, &skipRows_);
        glGetIntegerv(GL_PACK_SKIP_PIXELS, &skipPixels_);
    }
    ~PixelPackState()
    {
        glPixelStorei(GL_PACK_ALIGNMENT, alignment_);
        glPixelStorei(GL_PACK_ROW_LENGTH, rowLength_);
        glPixelStorei(GL_PACK_SKIP_ROWS, skipRows_);
        glPixelStorei(GL_PACK_SKIP_PIXELS, skipPixels_);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(packBuffer_));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer_));
    }
    PixelPackState(const PixelPackState&) = delete;
    PixelPackState& operator=(const PixelPackState&) = delete;

private:
    GLint readFramebuffer_ = 0, packBuffer_ = 0, alignment_ = 4, rowLength_ = 0, skipRows_ = 0, skipPixels_ = 0;
};

} // namespace kxhost
