// The host's input textures watched around a frame (see InputTextureGuard.h).
#include "commands/validate/InputTextureGuard.h"

#include "commands/validate/HostGLState.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstring>

namespace ffglhost {

namespace {

struct SamplingParameter {
    GLenum name;
    const char* label;
    bool isEnum; // else a number
};

const SamplingParameter kSampling[kWatchedSamplingParameters] = {
    {GL_TEXTURE_MIN_FILTER, "min filter", true}, {GL_TEXTURE_MAG_FILTER, "mag filter", true},
    {GL_TEXTURE_WRAP_S, "wrap S", true},         {GL_TEXTURE_WRAP_T, "wrap T", true},
    {GL_TEXTURE_BASE_LEVEL, "base level", false}, {GL_TEXTURE_MAX_LEVEL, "max level", false},
};

std::string parameterText(const SamplingParameter& p, GLint value)
{
    return p.isEnum ? glEnumName(static_cast<unsigned>(value)) : std::to_string(value);
}

// Unit 0 active with the texture to inspect bound, the pixel transfer state plain (no pixel
// buffers, tight rows, alignment 4); everything put back when the object goes out of scope.
class TextureAccess {
public:
    TextureAccess()
    {
        glGetIntegerv(GL_ACTIVE_TEXTURE, &unit_);
        glActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture_);
        for (std::size_t i = 0; i < kStoreCount; ++i)
            glGetIntegerv(kStore[i], &store_[i]);
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer_);
        glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer_);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        for (std::size_t i = 0; i < kStoreCount; ++i)
            glPixelStorei(kStore[i], kPlain[i]);
    }
    ~TextureAccess()
    {
        for (std::size_t i = 0; i < kStoreCount; ++i)
            glPixelStorei(kStore[i], store_[i]);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(packBuffer_));
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(unpackBuffer_));
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture_));
        glActiveTexture(static_cast<GLenum>(unit_));
    }
    TextureAccess(const TextureAccess&) = delete;
    TextureAccess& operator=(const TextureAccess&) = delete;

private:
    static constexpr std::size_t kStoreCount = 8;
    static constexpr GLenum kStore[kStoreCount] = {GL_PACK_ALIGNMENT,   GL_PACK_ROW_LENGTH,   GL_PACK_SKIP_ROWS,
                                                   GL_PACK_SKIP_PIXELS, GL_UNPACK_ALIGNMENT, GL_UNPACK_ROW_LENGTH,
                                                   GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS};
    static constexpr GLint kPlain[kStoreCount] = {4, 0, 0, 0, 4, 0, 0, 0};
    GLint unit_ = GL_TEXTURE0, texture_ = 0, packBuffer_ = 0, unpackBuffer_ = 0;
    GLint store_[kStoreCount] = {};
};

GLint levelParameter(GLenum query)
{
    GLint v = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, query, &v);
    return v;
}

// The content of the bound texture, width x height RGBA8.
Picture readBound(int width, int height)
{
    Picture out(width, height);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.rgba.data());
    return out;
}

// "4 of 144 rows, first at row 0 from the bottom", or "" when the pictures are equal.
std::string changedRows(const Picture& before, const Picture& after)
{
    int rows = 0;
    int first = -1;
    for (int y = 0; y < before.height; ++y) {
        if (std::memcmp(before.row(y), after.row(y), before.rowBytes()) != 0) {
            if (rows++ == 0)
                first = y;
        }
    }
    if (rows == 0)
        return "";
    return std::to_string(rows) + " of " + std::to_string(before.height) + " rows, first at row " +
           std::to_string(first) + " from the bottom";
}

std::string sizeText(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

} // namespace

constexpr GLenum TextureAccess::kStore[];
constexpr GLint TextureAccess::kPlain[];

Picture readTextureContent(unsigned name, int width, int height)
{
    const TextureAccess access;
    glBindTexture(GL_TEXTURE_2D, name);
    return readBound(width, height);
}

Picture readInputPicture(const FFGLTextureStructTag& record)
{
    const Picture all = readTextureContent(record.Handle, static_cast<int>(record.HardwareWidth),
                                           static_cast<int>(record.HardwareHeight));
    Picture out(static_cast<int>(record.Width), static_cast<int>(record.Height));
    for (int y = 0; y < out.height && y < all.height; ++y)
        std::memcpy(out.row(y), all.row(y), std::min(out.rowBytes(), all.rowBytes()));
    return out;
}

InputTextureGuard::InputTextureGuard(const FrameInputs& inputs)
{
    const TextureAccess access;
    for (std::size_t slot = 0; slot < inputs.size(); ++slot) {
        if (inputs[slot] == nullptr || inputs[slot]->Handle == 0)
            continue;
        Note n;
        n.slot = slot;
        n.name = inputs[slot]->Handle;
        glBindTexture(GL_TEXTURE_2D, n.name);
        n.width = levelParameter(GL_TEXTURE_WIDTH);
        n.height = levelParameter(GL_TEXTURE_HEIGHT);
        n.format = levelParameter(GL_TEXTURE_INTERNAL_FORMAT);
        for (int p = 0; p < kWatchedSamplingParameters; ++p)
            glGetTexParameteriv(GL_TEXTURE_2D, kSampling[p].name, &n.sampling[p]);
        n.content = readBound(n.width, n.height);
        notes_.push_back(std::move(n));
    }
}

void InputTextureGuard::restore(std::vector<std::string>& faults, std::vector<std::string>& warnings)
{
    const TextureAccess access;
    for (const Note& n : notes_) {
        const std::string who = "input " + std::to_string(n.slot) + " (texture " + std::to_string(n.name) + ")";
        // Binding a name that is no texture (any more) makes a new texture under it: the repair
        // below then specifies it afresh.
        const bool deleted = glIsTexture(n.name) == GL_FALSE;
        glBindTexture(GL_TEXTURE_2D, n.name);
        bool respecify = deleted;
        if (deleted) {
            faults.push_back(who + " was deleted");
        } else {
            const int w = levelParameter(GL_TEXTURE_WIDTH);
            const int h = levelParameter(GL_TEXTURE_HEIGHT);
            const int format = levelParameter(GL_TEXTURE_INTERNAL_FORMAT);
            if (w != n.width || h != n.height) {
                faults.push_back(who + " was resized to " + sizeText(w, h) + " (was " + sizeText(n.width, n.height) +
                                 ")");
                respecify = true;
            } else if (format != n.format) {
                faults.push_back(who + " got internal format " + glEnumName(static_cast<unsigned>(format)) +
                                 " (was " + glEnumName(static_cast<unsigned>(n.format)) + ")");
                respecify = true;
            } else {
                const std::string rows = changedRows(n.content, readBound(w, h));
                if (!rows.empty()) {
                    faults.push_back(who + " content changed in " + rows);
                    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, n.width, n.height, GL_RGBA, GL_UNSIGNED_BYTE,
                                    n.content.rgba.data());
                }
            }
        }
        if (respecify)
            glTexImage2D(GL_TEXTURE_2D, 0, n.format, n.width, n.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         n.content.rgba.data());
        for (int p = 0; p < kWatchedSamplingParameters; ++p) {
            GLint now = 0;
            glGetTexParameteriv(GL_TEXTURE_2D, kSampling[p].name, &now);
            if (now == n.sampling[p])
                continue;
            // A texture made afresh has GL's defaults: its parameters are part of the repair.
            if (!deleted)
                warnings.push_back(who + " has " + kSampling[p].label + " " + parameterText(kSampling[p], now) +
                                   " (was " + parameterText(kSampling[p], n.sampling[p]) + ")");
            glTexParameteri(GL_TEXTURE_2D, kSampling[p].name, n.sampling[p]);
        }
    }
    notes_.clear();
}

} // namespace ffglhost
