// Texture objects and the sampler table (see KXTexture.h).
#include "KXTexture.h"

#include "KX.h"
#include "KXGL.h"
#include "KXGLEntryPoints.h"
#include "KXPlatform.h"
#include "KXUtils.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <cstddef>
#include <cstring>
#include <new>

namespace KXGfx {

namespace {

struct GLFormatDesc {
    GLenum internalFormat;
    GLenum pixelFormat;
    GLenum pixelType;
    int bytesPerPixel;
};

// One row per Texture::FORMAT. The half-float rows hand their client data to GL as unsigned
// shorts, and the compressed rows give the 4 bytes per pixel of their uncompressed staging copies.
const GLFormatDesc glFormatDescs[Texture::kNumFormats] = {
    {GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, 3},                                     // R8G8B8
    {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4},                                   // A8R8G8B8
    {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4},                                   // A8B8G8R8
    {GL_INTENSITY8, GL_LUMINANCE, GL_UNSIGNED_BYTE, 1},                         // L8
    {GL_RGB, GL_YCBCR_422_APPLE, GL_UNSIGNED_SHORT_8_8_APPLE, 2},               // YCBCR422
    {GL_INTENSITY16F_ARB, GL_LUMINANCE, GL_UNSIGNED_SHORT, 2},                  // R16F
    {GL_LUMINANCE_ALPHA16F_ARB, GL_LUMINANCE_ALPHA, GL_UNSIGNED_SHORT, 4},      // G16R16F
    {GL_RGBA16F_ARB, GL_RGBA, GL_UNSIGNED_SHORT, 8},                            // A16B16G16R16F
    {GL_INTENSITY32F_ARB, GL_LUMINANCE, GL_FLOAT, 4},                           // R32F
    {GL_LUMINANCE_ALPHA32F_ARB, GL_LUMINANCE_ALPHA, GL_FLOAT, 8},               // G32R32F
    {GL_RGBA32F_ARB, GL_RGBA, GL_FLOAT, 16},                                    // A32B32G32R32F
    {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, GL_RGB, GL_UNSIGNED_BYTE, 4},             // DXT1
    {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, GL_RGBA, GL_UNSIGNED_BYTE, 4},           // DXT1A
    {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, GL_RGBA, GL_UNSIGNED_BYTE, 4},           // DXT5
};

const GLenum glFilterTypes[] = {GL_NEAREST, GL_LINEAR};
const GLenum glWrapTypes[] = {GL_CLAMP_TO_EDGE, GL_CLAMP, GL_REPEAT};
constexpr int kNumFilters = 2;
constexpr int kNumWraps = 3;

// Largest texture side accepted when GL cannot be asked (no current context).
constexpr int kFallbackMaxTextureSize = 16384;

// The sampler table: which Texture this layer bound on which unit (maxTextureUnits entries).
int textureCount = 0;
std::unique_ptr<Texture*[]> currentSamplers;
int maxTextureUnits = 0;

bool isValidFormat(int format) { return format >= 0 && format < Texture::kNumFormats; }

bool isFormatCompressed(Texture::FORMAT format)
{
    return format == Texture::DXT1 || format == Texture::DXT1A || format == Texture::DXT5;
}

bool isCompressedInternalFormat(GLenum internalFormat)
{
    return internalFormat == GL_COMPRESSED_RGB_S3TC_DXT1_EXT ||
           internalFormat == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT ||
           internalFormat == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
}

// Texture sides must be 1..GL_MAX_TEXTURE_SIZE: anything else cannot become a texture, and
// negative or huge sides would make the staging-buffer sizes meaningless.
bool sizeFits(int width, int height)
{
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    const int limit = maxSize > 0 ? maxSize : kFallbackMaxTextureSize;
    return width >= 1 && height >= 1 && width <= limit && height <= limit;
}

bool isValidSize(int width, int height)
{
    if (sizeFits(width, height))
        return true;
    KX::debugPrint("Texture::create invalid size %d x %d\n", width, height);
    return false;
}

std::size_t byteCount(int width, int height, int bytesPerPixel)
{
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
           static_cast<std::size_t>(bytesPerPixel);
}

// Image / hardware size as a texture coordinate; 0 for an empty hardware size.
float coordinate(int size, int hwSize)
{
    return hwSize > 0 ? static_cast<float>(size) / static_cast<float>(hwSize) : 0.0f;
}

// A zero-filled buffer of `bytes` bytes, or null when memory runs out (no exception escapes).
std::unique_ptr<unsigned char[]> zeroedBuffer(std::size_t bytes)
{
    return std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[bytes > 0 ? bytes : 1]());
}

// Bytes per client-side pixel of a GL pixel format and type; 0 when either is not known here.
int clientPixelSize(GLenum pixelFormat, GLenum pixelType)
{
    int components = 0;
    switch (pixelFormat) {
    case GL_ALPHA: case GL_LUMINANCE: case GL_INTENSITY: case GL_RED: case GL_GREEN: case GL_BLUE:
    case GL_DEPTH_COMPONENT: case GL_STENCIL_INDEX: case GL_RED_INTEGER:
        components = 1; break;
    case GL_LUMINANCE_ALPHA: case GL_RG: case GL_RG_INTEGER: case GL_DEPTH_STENCIL:
        components = 2; break;
    case GL_RGB: case GL_BGR: case GL_RGB_INTEGER: case GL_BGR_INTEGER:
        components = 3; break;
    case GL_RGBA: case GL_BGRA: case GL_RGBA_INTEGER: case GL_BGRA_INTEGER:
        components = 4; break;
    default:
        return 0;
    }
    switch (pixelType) {
    case GL_UNSIGNED_BYTE: case GL_BYTE: return components;
    case GL_UNSIGNED_SHORT: case GL_SHORT: case GL_HALF_FLOAT: return components * 2;
    case GL_UNSIGNED_INT: case GL_INT: case GL_FLOAT: return components * 4;
    // Packed types hold a whole pixel.
    case GL_UNSIGNED_BYTE_3_3_2: case GL_UNSIGNED_BYTE_2_3_3_REV: return 1;
    case GL_UNSIGNED_SHORT_5_6_5: case GL_UNSIGNED_SHORT_5_6_5_REV: case GL_UNSIGNED_SHORT_4_4_4_4:
    case GL_UNSIGNED_SHORT_4_4_4_4_REV: case GL_UNSIGNED_SHORT_5_5_5_1: case GL_UNSIGNED_SHORT_1_5_5_5_REV:
        return 2;
    case GL_UNSIGNED_INT_8_8_8_8: case GL_UNSIGNED_INT_8_8_8_8_REV: case GL_UNSIGNED_INT_10_10_10_2:
    case GL_UNSIGNED_INT_2_10_10_10_REV: case GL_UNSIGNED_INT_24_8:
        return 4;
    default:
        return 0;
    }
}

void printGLErrorMarker()
{
    if (kxGetGLError())
        KX::debugPrint("glerror\n");
}

// Makes `unit` the active texture unit. Without multitexturing unit 0 is the only one (and always
// active): false for any other.
bool selectTextureUnit(int unit)
{
    const KXGLEntryPoints& gl = kxGLEntryPoints();
    if (!gl.has(KXGLFeature::Multitexture))
        return unit == 0;
    gl.activeTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    return true;
}

} // namespace

Texture::FILTER Texture::defaultFilter = Texture::LINEAR;

Texture::Texture() = default;

Texture::~Texture() { release(); }

void Texture::forgetInSamplerTable()
{
    if (currentSamplers == nullptr)
        return;
    for (int i = 0; i < maxTextureUnits; ++i)
        if (currentSamplers[i] == this)
            currentSamplers[i] = nullptr;
}

void Texture::clearGLData()
{
    maxU = maxV = 0.0f;
    width = height = hwWidth = hwHeight = 0;
    compressedSize = 0;
    mipmapMode = 0;
    target = id = internalFormat = pixelFormat = pixelType = 0;
    bytesPerPixel = 0;
}

void Texture::init()
{
    release();
    initTexturing();
}

void Texture::release()
{
    if (id != 0) {
        unbind();
        deinitTexturing();
        GLuint name = id;
        glDeleteTextures(1, &name);
    }
    // unbind() clears only the entry of the last bind. A texture bound on several units, or a
    // wrapper whose id its owner cleared, may still be listed elsewhere: drop those entries too,
    // or resetAllSamplers would later act on a released or destroyed texture. No GL call.
    forgetInSamplerTable();
    clearGLData();
}

bool Texture::isCompressed() const { return isCompressedInternalFormat(internalFormat); }

void Texture::computeMaxCoords()
{
    if (target == kGLTextureRectangleEXT) {
        maxU = static_cast<float>(width);
        maxV = static_cast<float>(height);
        return;
    }
    maxU = coordinate(width, hwWidth);
    maxV = coordinate(height, hwHeight);
    if (maxU > 1.0f)
        maxU = 1.0f;
    if (maxV > 1.0f)
        maxV = 1.0f;
}

void Texture::chooseHardwareSize(bool compressed)
{
    if (!kxAreNonPowerOfTwoTexturesSupported()) {
        hwWidth = KX::nextPowerOf2(width);
        hwHeight = KX::nextPowerOf2(height);
    } else if (compressed) {
        hwWidth = KX::nd16(width);
        hwHeight = KX::nd16(height);
    } else {
        hwWidth = width;
        hwHeight = height;
    }
}

bool Texture::padToHardwareSize(const void* data, std::unique_ptr<unsigned char[]>& staging,
                                const void*& pixels) const
{
    pixels = data;
    if (data == nullptr || (hwWidth == width && hwHeight == height))
        return true;
    // Zeroed; the image goes to the first `height` rows and `width` columns.
    staging = zeroedBuffer(byteCount(hwWidth, hwHeight, bytesPerPixel));
    if (staging == nullptr)
        return false;
    const std::size_t srcRow = byteCount(width, 1, bytesPerPixel);
    const std::size_t dstRow = byteCount(hwWidth, 1, bytesPerPixel);
    const auto* src = static_cast<const unsigned char*>(data);
    for (int y = 0; y < height; ++y)
        std::memcpy(staging.get() + static_cast<std::size_t>(y) * dstRow, src + static_cast<std::size_t>(y) * srcRow,
                    srcRow);
    pixels = staging.get();
    return true;
}

bool Texture::uploadLevels(const void* pixels, bool compressed)
{
    const KXGLEntryPoints& gl = kxGLEntryPoints();
    if (compressed && !gl.has(KXGLFeature::CompressedTextures)) {
        KX::debugPrint("Texture: no compressed textures in this GL context\n");
        return false;
    }
    if (compressed) {
        const int blockBytes = internalFormat == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT ? 16 : 8;
        // S3TC stores 4 x 4 blocks; a side below 4 (a 1- or 2-texel power of two) still takes one
        // block, where plain division would give an image size of 0 that GL rejects.
        compressedSize = ((hwWidth + 3) / 4) * ((hwHeight + 3) / 4) * blockBytes;
    } else {
        compressedSize = 0;
    }
    auto uploadLevel0 = [&]() {
        if (compressed)
            gl.compressedTexImage2D(GL_TEXTURE_2D, 0, internalFormat, hwWidth, hwHeight, 0, compressedSize, pixels);
        else
            glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), hwWidth, hwHeight, 0, pixelFormat,
                         pixelType, pixels);
    };
    if (mipmapMode == 1) {
        uploadLevel0();
    } else if (mipmapMode == 0 && kxGLExtension("GL_SGIS_generate_mipmap") &&
               gl.has(KXGLFeature::MipmapGeneration)) {
        uploadLevel0();
        if (kxGetGLError())
            return false;
        gl.generateMipmap(GL_TEXTURE_2D);
    } else {
        // GLU builds the levels where GL cannot generate them. GLU's component count: 4 for mode
        // 0, the mode itself otherwise.
        const GLint components = mipmapMode == 0 ? 4 : mipmapMode;
        gluBuild2DMipmaps(GL_TEXTURE_2D, components, hwWidth, hwHeight, pixelFormat, pixelType, pixels);
    }
    return true;
}

bool Texture::create(void* data, int width, int height, FORMAT format, int mipmapMode)
{
    init();
    if (!isValidFormat(format) || !isValidSize(width, height))
        return false;

    resetAllSamplers();
    glDisable(kGLTextureRectangleEXT);
    glEnable(GL_TEXTURE_2D);
    GLint unpackAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    const GLFormatDesc& desc = glFormatDescs[format];
    this->format = format;
    this->width = width;
    this->height = height;
    target = GL_TEXTURE_2D;
    internalFormat = desc.internalFormat;
    pixelFormat = desc.pixelFormat;
    pixelType = desc.pixelType;
    bytesPerPixel = desc.bytesPerPixel;
    this->mipmapMode = mipmapMode;

    const bool compressed = isFormatCompressed(format);
    chooseHardwareSize(compressed);
    std::unique_ptr<unsigned char[]> staging;
    const void* pixels = nullptr;
    if (!padToHardwareSize(data, staging, pixels))
        return false;
    maxU = coordinate(width, hwWidth);
    maxV = coordinate(height, hwHeight);

    if (kxGetGLError())
        return false;

    GLuint name = 0;
    glGenTextures(1, &name);
    id = name;
    glBindTexture(GL_TEXTURE_2D, id);
    const GLfloat filter = static_cast<GLfloat>(defaultFilter == LINEAR ? GL_LINEAR : GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    if (kxGetGLError())
        return false;

    if (!uploadLevels(pixels, compressed))
        return false;
    if (kxGetGLError())
        return false;
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment);
    if (kxGetGLError())
        return false;

    glDisable(GL_TEXTURE_2D);
    setPixelFunc();
    return true;
}

bool Texture::create(int width, int height, FORMAT format, int mipmapMode)
{
    // The data form reports a missing format or a bad size (and releases the texture).
    if (!isValidFormat(format) || !sizeFits(width, height))
        return create(nullptr, width, height, format, mipmapMode);
    const GLFormatDesc& desc = glFormatDescs[format];
    const bool pad = !kxAreNonPowerOfTwoTexturesSupported() || isFormatCompressed(format);
    const int w = pad ? KX::nextPowerOf2(width) : width;
    const int h = pad ? KX::nextPowerOf2(height) : height;
    std::unique_ptr<unsigned char[]> zeros = zeroedBuffer(byteCount(w, h, desc.bytesPerPixel));
    if (zeros == nullptr) {
        init();
        return false;
    }
    return create(zeros.get(), width, height, format, mipmapMode);
}

bool Texture::createWithDataFormat(void* data, int width, int height, long internalFormat, long pixelFormat,
                                   long pixelType, int mipmapMode)
{
    init();
    format = FORMAT(-1);
    if (!isValidSize(width, height))
        return false;

    resetAllSamplers();
    glDisable(kGLTextureRectangleEXT);
    glEnable(GL_TEXTURE_2D);
    GLint unpackAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    this->width = width;
    this->height = height;
    target = GL_TEXTURE_2D;
    this->internalFormat = static_cast<unsigned int>(internalFormat);
    this->pixelFormat = static_cast<unsigned int>(pixelFormat);
    this->pixelType = static_cast<unsigned int>(pixelType);
    // The true size of one client pixel: padding copies and GL reads that many bytes per pixel, so
    // a smaller figure would make both read past the data (GL_LUMINANCE bytes, float pixels).
    // Formats and types not known here get 1 for GL_ALPHA, 3 for GL_RGB / GL_BGR, else 4.
    bytesPerPixel = clientPixelSize(this->pixelFormat, this->pixelType);
    if (bytesPerPixel == 0)
        bytesPerPixel = pixelFormat == GL_ALPHA ? 1 : (pixelFormat == GL_RGB || pixelFormat == GL_BGR ? 3 : 4);
    this->mipmapMode = mipmapMode;

    const bool compressed = isCompressed();
    chooseHardwareSize(compressed);
    std::unique_ptr<unsigned char[]> staging;
    const void* pixels = nullptr;
    if (!padToHardwareSize(data, staging, pixels))
        return false;
    computeMaxCoords();

    GLuint name = 0;
    glGenTextures(1, &name);
    id = name;
    glBindTexture(GL_TEXTURE_2D, id);
    const GLfloat filter = static_cast<GLfloat>(defaultFilter == LINEAR ? GL_LINEAR : GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);

    if (!uploadLevels(pixels, compressed))
        return false;
    if (kxGetGLError())
        return false;
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment);
    glDisable(GL_TEXTURE_2D);
    return true;
}

void Texture::createFromGL(int width, int height, long target, long id, long internalFormat)
{
    init();
    this->width = width;
    this->height = height;
    this->target = static_cast<unsigned int>(target);
    this->id = static_cast<unsigned int>(id);
    this->internalFormat = static_cast<unsigned int>(internalFormat);
    if (target == kGLTextureRectangleEXT) {
        hwWidth = width;
        hwHeight = height;
        maxU = static_cast<float>(width);
        maxV = static_cast<float>(height);
    } else if (target == GL_TEXTURE_2D) {
        const bool npot = kxAreNonPowerOfTwoTexturesSupported();
        hwWidth = npot ? width : KX::nextPowerOf2(width);
        hwHeight = npot ? height : KX::nextPowerOf2(height);
        maxU = coordinate(width, hwWidth);
        maxV = coordinate(height, hwHeight);
    }
}

void Texture::setGLData(int width, int height, int hwWidth, int hwHeight, long target, long id, long internalFormat)
{
    this->width = width;
    this->height = height;
    this->hwWidth = hwWidth;
    this->hwHeight = hwHeight;
    this->target = static_cast<unsigned int>(target);
    this->id = static_cast<unsigned int>(id);
    this->internalFormat = static_cast<unsigned int>(internalFormat);
    compressedSize = 0;
    if (target == GL_TEXTURE_2D) {
        maxU = coordinate(width, hwWidth);
        maxV = coordinate(height, hwHeight);
    } else if (target == kGLTextureRectangleEXT) {
        maxU = static_cast<float>(width);
        maxV = static_cast<float>(height);
    }
}

bool Texture::resize(int width, int height)
{
    if (!isValid()) {
        KX::debugPrint("Texture::resize called on unitizlized texture\n");
        return false;
    }
    return create(width, height, getFormat(), mipmapMode);
}

// --- Binding and the sampler table ---

void Texture::initTexturing()
{
    textureCount += 1;
    if (currentSamplers == nullptr) {
        // Without multitexturing there is one unit, and asking GL for the count would only leave
        // an error behind for the next check to blame on the caller.
        GLint units = 1;
        if (kxGLEntryPoints().has(KXGLFeature::Multitexture))
            glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
        maxTextureUnits = units > 0 ? units : 0;
        currentSamplers = std::make_unique<Texture*[]>(static_cast<std::size_t>(maxTextureUnits));
    }
}

void Texture::deinitTexturing()
{
    if (textureCount > 0)
        textureCount -= 1;
    if (textureCount == 0 && currentSamplers != nullptr)
        currentSamplers.reset();
}

void Texture::resetAllSamplers()
{
    if (currentSamplers != nullptr) {
        for (int i = 0; i < maxTextureUnits; ++i) {
            Texture* t = currentSamplers[i];
            if (t == nullptr)
                continue;
            selectTextureUnit(i);
            glBindTexture(t->target, 0);
            glDisable(t->target);
            currentSamplers[i] = nullptr;
        }
    }
    selectTextureUnit(0);
}

int Texture::getTextureCount() { return textureCount; }

int Texture::getMaxTextureUnits() { return maxTextureUnits; }

Texture* Texture::getCurrentSampler(int unit)
{
    if (currentSamplers == nullptr || unit < 0 || unit >= maxTextureUnits)
        return nullptr;
    return currentSamplers[unit];
}

void Texture::bind(int unit)
{
    if (unit < 0) {
        KXPlatform::debuggerBreak("Texture::bind: negative texture unit");
        return;
    }
    if (!selectTextureUnit(unit)) {
        KXPlatform::debuggerBreak("Texture::bind: texture units beyond 0 need multitexturing");
        return;
    }
    glEnable(target);
    glBindTexture(target, id);
    // Units beyond the fixed-function count are legal in GL but have no table entry.
    if (currentSamplers != nullptr && unit < maxTextureUnits)
        currentSamplers[unit] = this;
    boundUnit = unit;
    printGLErrorMarker();
}

void Texture::unbind()
{
    if (isBound()) {
        selectTextureUnit(boundUnit);
        glDisable(target);
        glBindTexture(target, 0);
        if (currentSamplers != nullptr && boundUnit >= 0 && boundUnit < maxTextureUnits)
            currentSamplers[boundUnit] = nullptr;
    }
    boundUnit = -1;
    printGLErrorMarker();
    selectTextureUnit(0);
}

// --- Sampling parameters ---

namespace {

void requireBound(const Texture& t, const char* what)
{
    if (!t.isBound())
        KXPlatform::debuggerBreak(what);
}

} // namespace

void Texture::setMagFilter(FILTER filter)
{
    requireBound(*this, "Texture::setMagFilter on an unbound texture");
    if (filter >= 0 && filter < kNumFilters)
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(glFilterTypes[filter]));
}

void Texture::setMinFilter(FILTER filter)
{
    requireBound(*this, "Texture::setMinFilter on an unbound texture");
    if (filter >= 0 && filter < kNumFilters)
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(glFilterTypes[filter]));
}

void Texture::setWrapS(WRAP wrap)
{
    requireBound(*this, "Texture::setWrapS on an unbound texture");
    if (wrap >= 0 && wrap < kNumWraps)
        glTexParameteri(target, GL_TEXTURE_WRAP_S, static_cast<GLint>(glWrapTypes[wrap]));
}

void Texture::setWrapT(WRAP wrap)
{
    requireBound(*this, "Texture::setWrapT on an unbound texture");
    if (wrap >= 0 && wrap < kNumWraps)
        glTexParameteri(target, GL_TEXTURE_WRAP_T, static_cast<GLint>(glWrapTypes[wrap]));
}

void Texture::setWrap(WRAP wrap)
{
    setWrapS(wrap);
    setWrapT(wrap);
}

bool Texture::setPixelFunc()
{
    switch (getFormat()) {
    case R8G8B8: pixelFunc = pixelR8G8B8; return true;
    case A8R8G8B8: pixelFunc = pixelA8R8G8B8; return true;
    case L8: pixelFunc = pixelL8; return true;
    case A16B16G16R16F: pixelFunc = pixelA16B16G16R16F; return true;
    case R32F: pixelFunc = pixelR32F; return true;
    case A32B32G32R32F: pixelFunc = pixelA32B32G32R32F; return true;
    default:
        pixelFunc = nullptr;
        KX::debugPrint("Texture:Can't set pixel callback\n");
        return false;
    }
}

// --- Upload, locking, reading back and drawing ---

namespace {

constexpr int kQuadVertices = 4;

// Sets GL_UNPACK_ALIGNMENT to 1 and gives the previous value.
GLint unpackTightly()
{
    GLint previous = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &previous);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    return previous;
}

// One quad from client arrays on client unit 0: `dims` floats per vertex, 2 per coordinate, both
// in the order (left, top), (left, bottom), (right, bottom), (right, top).
void drawFan(const GLfloat* vertices, int dims, const GLfloat* texCoords)
{
    // Without multitexturing client unit 0 is the only one.
    const KXGLEntryPoints& gl = kxGLEntryPoints();
    if (gl.has(KXGLFeature::Multitexture))
        gl.clientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(dims, GL_FLOAT, 0, vertices);
    glDrawArrays(GL_TRIANGLE_FAN, 0, kQuadVertices);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

// Texture coordinates of the whole image, plain or mirrored vertically.
void wholeImageCoords(const Texture& t, bool mirrored, GLfloat out[2 * kQuadVertices])
{
    const GLfloat plain[2 * kQuadVertices] = {0, 0, 0, t.maxV, t.maxU, t.maxV, t.maxU, 0};
    const GLfloat mirror[2 * kQuadVertices] = {0, t.maxV, 0, 0, t.maxU, 0, t.maxU, t.maxV};
    std::memcpy(out, mirrored ? mirror : plain, sizeof(plain));
}

void rectVertices(float x, float y, float w, float h, GLfloat out[2 * kQuadVertices])
{
    const GLfloat v[2 * kQuadVertices] = {x, y, x, y + h, x + w, y + h, x + w, y};
    std::memcpy(out, v, sizeof(v));
}

} // namespace

bool Texture::update(void* data, int width, int height)
{
    return update(data, 0, 0, width != 0 ? width : this->width, height != 0 ? height : this->height);
}

bool Texture::update(void* data, int x, int y, int width, int height)
{
    const KXGLEntryPoints& gl = kxGLEntryPoints();
    if (isCompressed() && !gl.has(KXGLFeature::CompressedTextures)) {
        KX::debugPrint("Texture: no compressed textures in this GL context\n");
        return false;
    }
    bind(0);
    const GLint alignment = unpackTightly();
    if (isCompressed())
        gl.compressedTexSubImage2D(target, 0, x, y, width, height, internalFormat, compressedSize, data);
    else
        glTexSubImage2D(target, 0, x, y, width, height, pixelFormat, pixelType, data);
    if (kxGetGLError())
        return false;
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    unbind();
    return true;
}

unsigned char* Texture::lock(LOCKFLAGS flags, int level)
{
    resetAllSamplers();
    glEnable(target);
    const GLint alignment = unpackTightly();
    // GL writes hwWidth x hwHeight pixels of pixelFormat / pixelType, which can be larger than
    // bytesPerPixel says (a wrapper filled by the adapter has none): size the buffer for
    // whichever is larger so the read-back and the upload never run past it.
    const int readSize = clientPixelSize(pixelFormat, pixelType);
    const int pixelSize = bytesPerPixel > 0 ? bytesPerPixel : readSize;
    const int allocSize = readSize > pixelSize ? readSize : pixelSize;
    lockBuffer.reset(new (std::nothrow) unsigned char[byteCount(hwWidth, hwHeight, allocSize) + 1]);
    lockFlags = flags;
    bind(0);
    if ((flags & LOCK_READ) != 0 && lockBuffer != nullptr) {
        // Read-back rows are padded to GL_PACK_ALIGNMENT; the buffer's rows are not.
        GLint packAlignment = 4;
        glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(target, level, pixelFormat, pixelType, lockBuffer.get());
        glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    }
    lockPitch = hwWidth * pixelSize;
    lockLevel = level;
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    return lockBuffer.get();
}

bool Texture::unlock()
{
    const GLint alignment = unpackTightly();
    if ((lockFlags & LOCK_WRITE) != 0 && lockBuffer != nullptr)
        glTexSubImage2D(GL_TEXTURE_2D, lockLevel, 0, 0, hwWidth, hwHeight, pixelFormat, pixelType, lockBuffer.get());
    lockBuffer.reset();
    lockFlags = 0;
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    unbind();
    return true;
}

bool Texture::readPixels(void* dest, int width, int height, FORMAT format)
{
    if (!isValidFormat(format))
        return false;
    glPushAttrib(GL_VIEWPORT_BIT);
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const GLenum matrices[] = {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW};
    for (GLenum m : matrices) {
        glMatrixMode(m);
        glPushMatrix();
        glLoadIdentity();
    }
    glScalef(1, 1, 1);
    draw(-1, -1, 2, 2, true);
    for (GLenum m : matrices) {
        glMatrixMode(m);
        glPopMatrix();
    }
    glPopAttrib();

    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    const GLFormatDesc& desc = glFormatDescs[format];
    const GLenum type = format == A8R8G8B8 ? GL_UNSIGNED_INT_8_8_8_8_REV : desc.pixelType;
    glReadPixels(0, 0, width, height, desc.pixelFormat, type, dest);
    glPopClientAttrib();
    return true;
}

bool Texture::grabFrameBuffer(int x, int y, int width, int height)
{
    bind(0);
    glCopyTexSubImage2D(target, 0, 0, 0, x, y, width, height);
    unbind();
    return true;
}

bool Texture::grabFrameBuffer() { return grabFrameBuffer(0, 0, width, height); }

void Texture::draw(float x, float y, float w, float h, bool upright)
{
    GLfloat vertices[2 * kQuadVertices];
    GLfloat coords[2 * kQuadVertices];
    rectVertices(x, y, w, h, vertices);
    wholeImageCoords(*this, flipped || !upright, coords);
    bind(0);
    drawFan(vertices, 2, coords);
    unbind();
}

void Texture::draw(float x1, float y1, float x2, float y2, float s1, float t1, float s2, float t2, bool upright)
{
    if (flipped || !upright) {
        t1 = 1 - t1;
        t2 = 1 - t2;
    }
    const GLfloat S1 = s1 * maxU, S2 = s2 * maxU, T1 = t1 * maxV, T2 = t2 * maxV;
    const GLfloat vertices[2 * kQuadVertices] = {x1, y1, x1, y2, x2, y2, x2, y1};
    const GLfloat coords[2 * kQuadVertices] = {S1, T1, S1, T2, S2, T2, S2, T1};
    bind(0);
    drawFan(vertices, 2, coords);
    unbind();
}

void Texture::drawPart(float x, float y, float w, float h, float px, float py, float pw, float ph, bool upright)
{
    const GLfloat S1 = px * maxU, S2 = (px + pw) * maxU;
    GLfloat T1 = py * maxV, T2 = (py + ph) * maxV;
    if (flipped || !upright) {
        const GLfloat t = T1;
        T1 = T2;
        T2 = t;
    }
    GLfloat vertices[2 * kQuadVertices];
    rectVertices(x, y, w, h, vertices);
    const GLfloat coords[2 * kQuadVertices] = {S1, T1, S1, T2, S2, T2, S2, T1};
    bind(0);
    drawFan(vertices, 2, coords);
    unbind();
}

void Texture::drawQuad(Texture* texture, float x, float y, float w, float h)
{
    if (texture == nullptr)
        return;
    GLfloat vertices[2 * kQuadVertices];
    GLfloat coords[2 * kQuadVertices];
    rectVertices(x, y, w, h, vertices);
    wholeImageCoords(*texture, texture->flipped, coords);
    glColor4f(1, 1, 1, 1);
    drawFan(vertices, 2, coords);
}

void Texture::drawQuadZ(Texture* texture, float x, float y, float z, float w, float h)
{
    if (texture == nullptr)
        return;
    const GLfloat vertices[3 * kQuadVertices] = {x, y, z, x, y + h, z, x + w, y + h, z, x + w, y, z};
    GLfloat coords[2 * kQuadVertices];
    wholeImageCoords(*texture, texture->flipped, coords);
    glColor4f(1, 1, 1, 1);
    drawFan(vertices, 3, coords);
}

int getTextureFormat(int glInternalFormat)
{
    for (int f = 0; f < Texture::kNumFormats; ++f)
        if (static_cast<int>(glFormatDescs[f].internalFormat) == glInternalFormat)
            return f;
    return -1;
}

} // namespace KXGfx
