// A texture the host owns and hands to effects as one of their input textures, with the record
// (FFGLTextureStructTag) that describes it in a frame. RGBA8, GL_TEXTURE_2D, linear filtering,
// clamped to the edge. The picture either fills the texture (TextureLayout::Exact) or sits in the
// lower-left corner of a texture whose sides are the next powers of two (PowerOfTwo, as older
// hosts and GPUs allocate them), the rest transparent black; the record gives the picture's size
// and the allocated ("hardware") size either way.
//
// Ownership: HostTexture owns its GL texture and its record; the record's address stays valid
// (and its fields the same) from create() until release(), so a frame may point at it. A plug-in
// is lent the texture for its calls and must leave it as it found it.
//
// Main thread; every call but the accessors needs the GL context the texture was made in (or one
// sharing its objects) current. Each call keeps the texture binding and unpack state in force.
#pragma once

#include "Status.h"
#include "inputs/Picture.h"

#include "FFGLPluginSDK.h"

namespace ffglhost {

enum class TextureLayout { Exact, PowerOfTwo };

// The size a side of `size` pixels is allocated at in `layout`.
int hardwareSize(int size, TextureLayout layout);

class HostTexture {
public:
    HostTexture() = default;
    ~HostTexture();
    HostTexture(const HostTexture&) = delete;
    HostTexture& operator=(const HostTexture&) = delete;

    // (Re)creates the texture for a width x height picture in `layout`, cleared to transparent
    // black. A failure (GL error, a size the context cannot hold) leaves nothing behind.
    Status create(int width, int height, TextureLayout layout);
    // Replaces the picture; `picture` must have the texture's picture size.
    Status upload(const Picture& picture);
    void release();

    bool valid() const { return record_.Handle != 0; }
    unsigned id() const { return record_.Handle; }
    int width() const { return static_cast<int>(record_.Width); }
    int height() const { return static_cast<int>(record_.Height); }
    TextureLayout layout() const { return layout_; }
    // The record a frame points at; owned by this object (see above).
    FFGLTextureStructTag* record() { return &record_; }
    const FFGLTextureStructTag* record() const { return &record_; }

private:
    FFGLTextureStructTag record_{};
    TextureLayout layout_ = TextureLayout::Exact;
};

} // namespace ffglhost
