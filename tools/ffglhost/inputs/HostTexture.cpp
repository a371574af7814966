// The host's input textures (see HostTexture.h).
#include "inputs/HostTexture.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

namespace ffglhost {

namespace {

// Most pending GL errors drained before a call starts its own checks.
constexpr int kMaxDrainedErrors = 64;

void drainGLErrors()
{
    for (int i = 0; i < kMaxDrainedErrors && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// The 2D texture binding of the active unit and the unpack state, put back when the object goes
// out of scope.
class TextureTransferState {
public:
    TextureTransferState()
    {
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture_);
        glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer_);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment_);
        glGetIntegerv(GL_UNPACK_ROW_LENGTH, &unpackRowLength_);
        glGetIntegerv(GL_UNPACK_SKIP_ROWS, &unpackSkipRows_);
        glGetIntegerv(GL_UNPACK_SKIP_PIXELS, &unpackSkipPixels_);
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    }
    ~TextureTransferState()
    {
        glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment_);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, unpackRowLength_);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, unpackSkipRows_);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, unpackSkipPixels_);
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(unpackBuffer_));
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture_));
    }
    TextureTransferState(const TextureTransferState&) = delete;
    TextureTransferState& operator=(const TextureTransferState&) = delete;

private:
    GLint texture_ = 0, unpackBuffer_ = 0;
    GLint unpackAlignment_ = 4, unpackRowLength_ = 0, unpackSkipRows_ = 0, unpackSkipPixels_ = 0;
};

int nextPowerOfTwo(int size)
{
    int p = 1;
    while (p < size && p <= (1 << 29))
        p <<= 1;
    return p;
}

} // namespace

int hardwareSize(int size, TextureLayout layout)
{
    return layout == TextureLayout::PowerOfTwo ? nextPowerOfTwo(size) : size;
}

HostTexture::~HostTexture() { release(); }

Status HostTexture::create(int width, int height, TextureLayout layout)
{
    release();
    const int hw = hardwareSize(width, layout);
    const int hh = hardwareSize(height, layout);
    GLint most = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
    if (width < 1 || height < 1 || hw > most || hh > most)
        return Status::badInput("an input texture of " + std::to_string(hw) + "x" + std::to_string(hh) +
                                " is more than this GL context holds (at most " + std::to_string(most) + " a side)");
    drainGLErrors();
    const TextureTransferState keep;
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    const std::vector<unsigned char> black(static_cast<std::size_t>(hw) * static_cast<std::size_t>(hh) * 4, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, hw, hh, 0, GL_RGBA, GL_UNSIGNED_BYTE, black.data());
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &name);
        return Status::failed("cannot create a " + std::to_string(hw) + "x" + std::to_string(hh) +
                              " input texture");
    }
    record_ = FFGLTextureStructTag{static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                                   static_cast<uint32_t>(hw), static_cast<uint32_t>(hh), name};
    layout_ = layout;
    return Status();
}

Status HostTexture::upload(const Picture& picture)
{
    if (!valid() || picture.width != width() || picture.height != height() ||
        picture.rgba.size() != picture.rowBytes() * static_cast<std::size_t>(picture.height))
        return Status::failed("an input picture of " + std::to_string(picture.width) + "x" +
                              std::to_string(picture.height) + " does not fit its " + std::to_string(width()) + "x" +
                              std::to_string(height()) + " texture");
    drainGLErrors();
    const TextureTransferState keep;
    glBindTexture(GL_TEXTURE_2D, record_.Handle);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, picture.width, picture.height, GL_RGBA, GL_UNSIGNED_BYTE,
                    picture.rgba.data());
    if (glGetError() != GL_NO_ERROR)
        return Status::failed("cannot upload a picture into input texture " + std::to_string(record_.Handle));
    return Status();
}

void HostTexture::release()
{
    if (record_.Handle != 0) {
        const GLuint name = record_.Handle;
        glDeleteTextures(1, &name);
    }
    record_ = FFGLTextureStructTag{};
}

} // namespace ffglhost
