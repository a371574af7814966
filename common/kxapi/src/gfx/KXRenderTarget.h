// Render targets of the graphics layer and the main framebuffer record.
//
// The main framebuffer is the one the host asked the plug-in to draw into in the current frame
// (0 = the window-system framebuffer). The FFGL adapter records the host's framebuffer name in
// every frame that it draws, before the application draws; rendering into the layer's own
// framebuffer object returns to this framebuffer afterwards.
//
// A RenderTarget owns one colour texture (two for ping-pong rendering) and optionally a depth
// renderbuffer. All render targets of the process share ONE framebuffer object: binding a target
// attaches its buffers to it (only where the record of what is attached differs), binds it and
// sets the viewport to the target's size; unbinding detaches everything and binds the main
// framebuffer again. The shared object exists while at least one colour buffer holds a texture.
//
// Process-wide state (shared by every plug-in instance, not locked): the main framebuffer
// record, the shared framebuffer object, whether it is bound, and the record of what is attached
// to it. Every function that makes GL calls needs the GL context current on the calling thread
// (the host's rendering thread); so do the destructors of buffers and targets that still own GL
// objects.
#pragma once

#include "KXGfxObject.h"
#include "KXTexture.h"

#include <memory>

namespace KXGfx {

// Records the main framebuffer. No GL call is made.
void setMainFboId(unsigned int id);
// The framebuffer last recorded by setMainFboId (0 before the first call). No GL call.
unsigned int getMainFboId();

// One colour attachment: an owned texture, or none. A buffer with a texture holds one reference
// on the shared framebuffer object.
class ColorBuffer {
public:
    ColorBuffer() = default;
    ~ColorBuffer(); // release()
    ColorBuffer(const ColorBuffer&) = delete;
    ColorBuffer& operator=(const ColorBuffer&) = delete;

    // (Re)creates the texture, zero-filled, with `mipmapMode` as for Texture::create. False when
    // a GL error is pending, the texture cannot be made (then nothing is kept) or the framebuffer
    // bound now is incomplete (then the texture is kept). Leaves the main framebuffer bound on
    // success.
    bool create2D(int width, int height, Texture::FORMAT format, int mipmapMode);
    // Deletes the texture and drops the framebuffer reference; nothing when there is none.
    void release();

    // The texture, owned by this buffer, or null.
    Texture* getTexture() const { return texture.get(); }
    // Forwarded to the texture; 0 / -1 without one.
    int getWidth() const;
    int getHeight() const;
    Texture::FORMAT getFormat() const;

    std::unique_ptr<Texture> texture;
};

// A depth (or depth-stencil) renderbuffer.
class DepthStencilBuffer {
public:
    enum FORMAT : int { D16 = 0, D24 = 1, D24S8 = 2, D32 = 3 };
    static constexpr int kNumFormats = 4;

    DepthStencilBuffer() = default;
    ~DepthStencilBuffer(); // release()
    DepthStencilBuffer(const DepthStencilBuffer&) = delete;
    DepthStencilBuffer& operator=(const DepthStencilBuffer&) = delete;

    // (Re)creates the renderbuffer; the size is rounded up to powers of two where non-power-of-two
    // textures are unsupported. False for a format outside FORMAT or when the framebuffer bound
    // now is incomplete (the renderbuffer then stays bound).
    bool create(int width, int height, FORMAT format);
    // Deletes the renderbuffer; format becomes -1.
    void release();

    unsigned int getId() const { return id; }
    FORMAT getFormat() const { return format; }

    FORMAT format = FORMAT(-1); // storage format, -1 = none
    unsigned int id = 0;        // renderbuffer name, 0 = none
    int width = 0;              // allocated size
    int height = 0;
};

class RenderTarget : public KXGfxObject {
public:
    static constexpr int kNumSets = 2;         // set 1 is used by ping-pong targets only
    static constexpr int kMaxColorBuffers = 4; // slot j of a set goes to colour attachment j

    RenderTarget() = default;
    ~RenderTarget() override; // release()
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    // One colour buffer (one mip level), optionally a depth buffer. A failure leaves the target
    // empty.
    bool create2D(int width, int height, Texture::FORMAT format, bool withDepth,
                  DepthStencilBuffer::FORMAT depthFormat);
    // Two colour buffers (sets 0 and 1) that flip() alternates. A failure of the second colour
    // buffer keeps the first.
    bool createPingPong2D(int width, int height, Texture::FORMAT format, bool withDepth,
                          DepthStencilBuffer::FORMAT depthFormat);
    // Re-creates every buffer at the new size with its own format; the content is lost.
    bool resize(int width, int height);
    // Deletes all buffers (numColorBuffers becomes 0; pingPong and current stay).
    void release();

    // Attaches the current set's buffers to the shared framebuffer object, binds it and sets
    // (and remembers) the viewport to the target's size. False for an invalid target.
    bool bind();
    // Attaches only the depth buffer (none: detaches depth). False for an invalid target.
    bool bindDepth();
    // resetAll().
    void unbind();
    // Ping-pong targets switch to the other colour set; others are unchanged.
    void flip();

    // The texture of colour buffer `index` of the current set, owned by the target, or null.
    Texture* getTexture(int index) const;
    bool isValid() const;
    // Image size of getTexture(0); an invalid target takes the debugger break and gives 0.
    int getWidth() const;
    int getHeight() const;

    // The shared framebuffer object while it is bound, else the main framebuffer.
    static unsigned int getCurrentFboId();
    // Detaches everything from the shared framebuffer object (only while it is bound, so that a
    // host framebuffer is never modified), binds the main framebuffer with its draw and read
    // buffer and returns to the remembered viewport. Nothing at all when getCurrentFboId() is 0.
    static void resetAll();

    std::unique_ptr<ColorBuffer> colorBuffers[kNumSets][kMaxColorBuffers];
    std::unique_ptr<DepthStencilBuffer> depthStencilBuffer;
    int numColorBuffers = 0; // colour attachments in use: 1 after creation, 0 after release
    bool pingPong = false;
    int current = 0; // colour set in use, 0 or 1

private:
    bool createColorBuffer(int set, int width, int height, Texture::FORMAT format);
    bool finishCreate(int width, int height, bool withDepth, DepthStencilBuffer::FORMAT depthFormat,
                      bool pingPongTarget);
};

} // namespace KXGfx
