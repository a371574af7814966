// KXGfx::Texture: one OpenGL texture object, either owned (created here from a FORMAT of the
// format table, from explicit GL formats, or adopted from a GL name) or merely described (the
// FFGL adapter wraps each host input texture: it fills id, target, sizes and pixel format
// directly and clears id again before destroying the wrapper, so the host's texture is never
// deleted).
//
// The class also keeps the process-wide sampler table: which Texture this layer has bound on
// which texture unit. It is allocated by the first registered texture (init) and freed when the
// last one is released. The table, the texture count and Texture::defaultFilter are shared by
// every texture of every plug-in instance in the process and are not locked.
//
// Every member that makes GL calls needs the texture's GL context current on the calling thread
// (the host's rendering thread); so does the destructor of a texture that still owns a name.
#pragma once

#include "KXPixelFuncs.h"

#include <memory>

namespace KXGfx {

// GL_TEXTURE_RECTANGLE_EXT (the ARB and core names share the value; not every glext.h has it).
constexpr unsigned int kGLTextureRectangleEXT = 0x84F5;

class Texture {
public:
    // Rows of the format table. -1 stands for "no row" (wrapped or GL-format textures).
    enum FORMAT : int {
        R8G8B8 = 0,
        A8R8G8B8 = 1,
        A8B8G8R8 = 2,
        L8 = 3,
        YCBCR422 = 4,
        R16F = 5,
        G16R16F = 6,
        A16B16G16R16F = 7,
        R32F = 8,
        G32R32F = 9,
        A32B32G32R32F = 10,
        DXT1 = 11,
        DXT1A = 12,
        DXT5 = 13,
    };
    // Number of rows of the format table.
    static constexpr int kNumFormats = 14;

    enum FILTER : int { NEAREST = 0, LINEAR = 1 };
    enum WRAP : int { CLAMP_TO_EDGE = 0, CLAMP = 1, REPEAT = 2 };
    // Bit set for locking the image into a CPU buffer.
    enum LOCKFLAGS : int { LOCK_READ = 1, LOCK_WRITE = 2 };

    // Min and mag filter of every texture created from now on. Initially LINEAR.
    static FILTER defaultFilter;

    Texture();  // no GL call, not registered
    ~Texture(); // release(); a texture that must not delete its name has id set to 0 first
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // release(), then registers the texture with the sampler table (initTexturing).
    void init();
    // When id is not 0: unbinds, deregisters and deletes the GL texture. Always clears the GL
    // description (id becomes 0). flipped, boundUnit, format, pixelFunc and the lock state stay.
    void release();

    // A GL_TEXTURE_2D texture of `format` filled from `data` (tightly packed rows of width x
    // bytes-per-pixel bytes; null leaves the content undefined). mipmapMode: 0 = mipmaps (GL
    // generated where GL_SGIS_generate_mipmap is offered, else GLU), 1 = one level, n > 1 = GLU
    // mipmaps with n as GLU's component count. True on success; the texture stays bound to
    // GL_TEXTURE_2D on the active unit.
    bool create(void* data, int width, int height, FORMAT format, int mipmapMode);
    // The same, filled with zero bytes.
    bool create(int width, int height, FORMAT format, int mipmapMode);
    // The same with explicit GL formats (format becomes -1, no pixel writer is chosen).
    // bytesPerPixel is the client pixel size of pixelFormat / pixelType (for example 1 for
    // GL_LUMINANCE bytes, 16 for GL_RGBA floats); for a combination not known here 1 for GL_ALPHA,
    // 3 for GL_RGB / GL_BGR and 4 otherwise.
    bool createWithDataFormat(void* data, int width, int height, long internalFormat, long pixelFormat,
                              long pixelType, int mipmapMode);
    // Adopts an existing GL texture name; release() will delete it. No GL call.
    void createFromGL(int width, int height, long target, long id, long internalFormat);
    // Fills the GL description in one call; registers and creates nothing. No GL call.
    void setGLData(int width, int height, int hwWidth, int hwHeight, long target, long id, long internalFormat);
    // Re-creates the texture (new name, zero-filled) at a new size with its FORMAT and mipmap
    // mode. False for a texture without a GL name or without a FORMAT.
    bool resize(int width, int height);

    int getWidth() const { return width; }
    int getHeight() const { return height; }
    FORMAT getFormat() const { return format; }
    bool isValid() const { return id != 0; }
    bool isBound() const { return boundUnit != -1; }
    bool isCompressed() const;
    // maxU, maxV from the sizes: texels for rectangle textures, else image / hardware size
    // clamped to 1 (0 when the hardware size is 0).
    void computeMaxCoords();

    // Binds the texture on `unit` (leaving that unit active) and records it in the sampler table.
    void bind(int unit);
    // Undoes bind and selects unit 0.
    void unbind();

    // Sampling parameters of the texture bound to `target` on the active unit. The texture
    // should be bound: a setter on an unbound texture takes the debugger break, then applies the
    // parameter anyway. Values outside the enumerations are ignored.
    void setMagFilter(FILTER filter);
    void setMinFilter(FILTER filter);
    void setWrapS(WRAP wrap);
    void setWrapT(WRAP wrap);
    void setWrap(WRAP wrap);

    // Chooses the pixel writer of getFormat(); false (and a message) for formats without one.
    bool setPixelFunc();

    // The sampler table. initTexturing registers one texture (allocating the table on first
    // use), deinitTexturing deregisters one (freeing the table with the last), resetAllSamplers
    // unbinds every recorded texture in GL and empties the table (boundUnit fields unchanged).
    static void initTexturing();
    static void deinitTexturing();
    static void resetAllSamplers();

    // Inspection of the sampler table for tests and diagnostics.
    static int getTextureCount();
    // GL_MAX_TEXTURE_UNITS as queried when the table was last allocated (0 before).
    static int getMaxTextureUnits();
    // The texture recorded on `unit`, or null (also outside the table or with no table). Not
    // owned by the caller.
    static Texture* getCurrentSampler(int unit);

    // --- Upload, locking, reading back and drawing ---

    // Replaces the level-0 rectangle at the origin (0 width / height: the image size) from
    // tightly packed client pixels of the texture's pixel format and type (a compressed texture
    // takes compressedSize bytes). Leaves the texture unbound; on a GL error returns false with
    // the texture still bound on unit 0 and the unpack alignment at 1.
    bool update(void* data, int width, int height);
    // The same for the rectangle at (x, y), without the zero defaults.
    bool update(void* data, int x, int y, int width, int height);
    // Copies mip level `level` into a CPU buffer of hwHeight rows of lockPitch (hwWidth x
    // bytesPerPixel) bytes, row 0 first; LOCK_READ fills it from the texture, otherwise its
    // content is undefined. The buffer is owned by the texture and valid until unlock(). The
    // texture stays bound on unit 0 until unlock(). Lock at most once before unlocking.
    unsigned char* lock(LOCKFLAGS flags, int level);
    // LOCK_WRITE uploads the whole buffer to the locked level; then frees it and unbinds.
    // Without a lock it only unbinds. Always true.
    bool unlock();
    // Draws the texture over a width x height viewport of the framebuffer bound now (clearing it
    // first) and reads that area into `dest` in `format`, rows bottom-up (texture row 0 first) and
    // each row padded to 4 bytes: dest must hold height x that many bytes. True, or false for a
    // format outside FORMAT (then nothing is drawn or read).
    bool readPixels(void* dest, int width, int height, FORMAT format);
    // Copies the framebuffer rectangle (x, y, width, height) of the framebuffer bound now into the
    // texture's origin. Always true.
    bool grabFrameBuffer(int x, int y, int width, int height);
    // grabFrameBuffer(0, 0, width, height).
    bool grabFrameBuffer();

    // Screen-aligned quads in the caller's coordinates (top = the smaller y), drawn as a fan from
    // client arrays on unit 0; the vertex array stays enabled, the texture-coordinate array is
    // disabled afterwards. The member draws bind and unbind the texture on unit 0 and set no
    // colour; they mirror vertically when `flipped` is set or upright is false.
    void draw(float x, float y, float w, float h, bool upright);
    // Corners (x1, y1) - (x2, y2), image fractions (s1, t1) - (s2, t2).
    void draw(float x1, float y1, float x2, float y2, float s1, float t1, float s2, float t2, bool upright);
    // The image part (px, py, pw, ph), in fractions of the image, into (x, y, w, h).
    void drawPart(float x, float y, float w, float h, float px, float py, float pw, float ph, bool upright);
    // As draw(x, y, w, h, ...) with the colour set to white, for a texture the caller has bound;
    // mirrored only by `flipped`. A null texture draws nothing.
    static void drawQuad(Texture* texture, float x, float y, float w, float h);
    // The same with every vertex at depth z.
    static void drawQuadZ(Texture* texture, float x, float y, float z, float w, float h);

    // --- Public data: the FFGL adapter fills wrappers directly. ---

    // When true, draws mirror the image vertically. Nothing in the framework sets it.
    bool flipped = false;

    // The GL description, cleared as a whole by construction and release().
    float maxU = 0.0f;      // texture coordinate of the image's right edge
    float maxV = 0.0f;      // texture coordinate of the image's top edge
    int width = 0;          // image size in pixels
    int height = 0;
    int hwWidth = 0;        // allocated size, never smaller than the image
    int hwHeight = 0;
    int compressedSize = 0; // bytes of the level-0 image of a compressed texture, else 0
    int mipmapMode = 0;     // as given at creation, repeated by resize
    unsigned int target = 0; // GL_TEXTURE_2D or GL_TEXTURE_RECTANGLE_EXT
    unsigned int id = 0;     // GL texture name; 0 = none
    unsigned int internalFormat = 0;
    unsigned int pixelFormat = 0; // format and type of client-side pixel data
    unsigned int pixelType = 0;
    int bytesPerPixel = 0;        // bytes per client-side pixel

    int boundUnit = -1;           // unit of the last bind; -1 = not bound
    FORMAT format = FORMAT(-1);   // format-table row; -1 = none
    PixelFunc pixelFunc = nullptr; // writer for `format`, or null

    // CPU lock: owned copy of the whole allocated image (null when not locked), bytes per row,
    // mip level and LOCKFLAGS of the lock.
    std::unique_ptr<unsigned char[]> lockBuffer;
    int lockPitch = 0;
    int lockLevel = 0;
    int lockFlags = 0;

private:
    void clearGLData();
    // Steps shared by create and createWithDataFormat.
    void chooseHardwareSize(bool compressed);
    // `pixels` = data, or the zero-padded staging copy when the hardware size differs. False
    // when the staging buffer cannot be allocated.
    bool padToHardwareSize(const void* data, std::unique_ptr<unsigned char[]>& staging, const void*& pixels) const;
    void forgetInSamplerTable();
    bool uploadLevels(const void* pixels, bool compressed);
};

// The first FORMAT (0 to 13) whose internal format is `glInternalFormat`, else -1.
int getTextureFormat(int glInternalFormat);

} // namespace KXGfx
