// Render targets, the shared framebuffer object and the main framebuffer record (see
// KXRenderTarget.h).
#include "KXRenderTarget.h"

#include "KX.h"
#include "KXGL.h"
#include "KXGLEntryPoints.h"
#include "KXGfxUtils.h"
#include "KXPlatform.h"
#include "KXUtils.h"

#include <GL/gl.h>
#include <GL/glext.h>

namespace KXGfx {

namespace {

// The host's framebuffer for the current frame; 0 = window-system framebuffer.
unsigned int mainFboId = 0;

// The framebuffer object shared by all render targets (0 = none), the number of colour buffers
// holding a reference on it, and whether bind() has bound it.
GLuint fboId = 0;
int fboCount = 0;
bool fboBound = false;

// What is attached to fboId: colour attachments 0..3, the attachment count of the last bind and
// the depth attachment. Records are compared by buffer, so a buffer that loses its GL object
// removes itself here (see forgetAttachment).
ColorBuffer* curColorBuffers[RenderTarget::kMaxColorBuffers] = {};
int curNumColorBuffers = 0;
DepthStencilBuffer* curDepthStencilBuffer = nullptr;

// The draw-buffer list for more than one colour attachment.
GLenum colorAttachmentIds[RenderTarget::kMaxColorBuffers] = {};

const GLenum glFmts[DepthStencilBuffer::kNumFormats] = {
    GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT24, GL_DEPTH24_STENCIL8_EXT, GL_DEPTH_COMPONENT32};

// The framebuffer-object entry points (see KXGLEntryPoints.h), or null where the context has
// none. Every creation checks renderTargetsPossible() first; without framebuffer objects there is
// nothing to bind, attach or delete, and the calls below do nothing.
const KXGLEntryPoints* fboEntryPoints()
{
    const KXGLEntryPoints& gl = kxGLEntryPoints();
    return gl.has(KXGLFeature::FramebufferObjects) ? &gl : nullptr;
}

void genFramebuffers(GLsizei n, GLuint* ids)
{
    if (const KXGLEntryPoints* gl = fboEntryPoints())
        gl->genFramebuffers(n, ids);
}
void deleteFramebuffers(GLsizei n, const GLuint* ids)
{
    if (const KXGLEntryPoints* gl = fboEntryPoints())
        gl->deleteFramebuffers(n, ids);
}
void bindFramebuffer(GLuint id)
{
    if (const KXGLEntryPoints* gl = fboEntryPoints())
        gl->bindFramebuffer(GL_FRAMEBUFFER_EXT, id);
}
void framebufferTexture2D(GLenum attachment, GLenum texTarget, GLuint tex)
{
    if (const KXGLEntryPoints* gl = fboEntryPoints())
        gl->framebufferTexture2D(GL_FRAMEBUFFER_EXT, attachment, texTarget, tex, 0);
}
void framebufferRenderbuffer(GLuint rb)
{
    if (const KXGLEntryPoints* gl = fboEntryPoints())
        gl->framebufferRenderbuffer(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, rb);
}
void genRenderbuffers(GLsizei n, GLuint* ids)
{
    if (const KXGLEntryPoints* gl = fboEntryPoints())
        gl->genRenderbuffers(n, ids);
}
void deleteRenderbuffers(GLsizei n, const GLuint* ids)
{
    if (const KXGLEntryPoints* gl = fboEntryPoints())
        gl->deleteRenderbuffers(n, ids);
}
void bindRenderbuffer(GLuint id)
{
    if (const KXGLEntryPoints* gl = fboEntryPoints())
        gl->bindRenderbuffer(GL_RENDERBUFFER_EXT, id);
}
void renderbufferStorage(GLenum internalFormat, GLsizei w, GLsizei h)
{
    if (const KXGLEntryPoints* gl = fboEntryPoints())
        gl->renderbufferStorage(GL_RENDERBUFFER_EXT, internalFormat, w, h);
}

// Whether render targets can be made here; prints why not when they cannot.
bool renderTargetsPossible(const char* what)
{
    if (fboEntryPoints() != nullptr)
        return true;
    KX::debugPrint("%s: no framebuffer objects in this GL context\n", what);
    return false;
}

void bindFBO()
{
    bindFramebuffer(fboId);
    fboBound = true;
}

void unbindFBO()
{
    bindFramebuffer(mainFboId);
    fboBound = false;
}

void initFBO()
{
    if (fboCount == 0) {
        for (int i = 0; i < RenderTarget::kMaxColorBuffers; ++i) {
            colorAttachmentIds[i] = GL_COLOR_ATTACHMENT0_EXT + static_cast<GLenum>(i);
            curColorBuffers[i] = nullptr;
        }
        curDepthStencilBuffer = nullptr;
        genFramebuffers(1, &fboId);
        if (fboId == 0)
            KXPlatform::debuggerBreak("KXRenderTarget: glGenFramebuffersEXT gave no name");
        kxGetGLError();
    }
    fboCount += 1;
}

void releaseFBO()
{
    if (fboCount > 0)
        fboCount -= 1;
    if (fboCount == 0 && fboId != 0) {
        // Deleting the bound framebuffer would leave framebuffer 0 bound: return to the main one.
        if (fboBound)
            unbindFBO();
        deleteFramebuffers(1, &fboId);
        fboId = 0;
    }
}

// A buffer whose GL object is deleted or replaced must not be taken for still attached: the
// shared framebuffer would keep the old object and bind() would skip the new one.
void forgetAttachment(const ColorBuffer* buffer)
{
    for (ColorBuffer*& cur : curColorBuffers)
        if (cur == buffer)
            cur = nullptr;
}

void forgetAttachment(const DepthStencilBuffer* buffer)
{
    if (curDepthStencilBuffer == buffer)
        curDepthStencilBuffer = nullptr;
}

} // namespace

void setMainFboId(unsigned int id) { mainFboId = id; }

unsigned int getMainFboId() { return mainFboId; }

// --- ColorBuffer ---

ColorBuffer::~ColorBuffer() { release(); }

bool ColorBuffer::create2D(int width, int height, Texture::FORMAT format, int mipmapMode)
{
    release();
    if (!renderTargetsPossible("KXRenderTarget::create2D"))
        return false;
    initFBO();
    if (kxGetGLError()) {
        // No texture means release() would not drop this reference; drop it here.
        releaseFBO();
        return false;
    }
    texture = std::make_unique<Texture>();
    if (!texture->create(width, height, format, mipmapMode)) {
        release();
        KX::debugPrint("KXRenderTarget::create2D Could not create texture\n");
        return false;
    }
    if (!kxCheckFramebufferStatus())
        return false;
    unbindFBO();
    return true;
}

void ColorBuffer::release()
{
    forgetAttachment(this);
    if (texture != nullptr) {
        texture.reset();
        releaseFBO();
    }
}

int ColorBuffer::getWidth() const { return texture != nullptr ? texture->getWidth() : 0; }

int ColorBuffer::getHeight() const { return texture != nullptr ? texture->getHeight() : 0; }

Texture::FORMAT ColorBuffer::getFormat() const
{
    return texture != nullptr ? texture->getFormat() : Texture::FORMAT(-1);
}

// --- DepthStencilBuffer ---

DepthStencilBuffer::~DepthStencilBuffer() { release(); }

bool DepthStencilBuffer::create(int width, int height, FORMAT format)
{
    release();
    if (format < 0 || format >= kNumFormats || !renderTargetsPossible("DepthStencilBuffer::create"))
        return false;
    genRenderbuffers(1, &id);
    bindRenderbuffer(id);
    const bool npot = kxAreNonPowerOfTwoTexturesSupported();
    this->width = npot ? width : KX::nextPowerOf2(width);
    this->height = npot ? height : KX::nextPowerOf2(height);
    renderbufferStorage(glFmts[format], this->width, this->height);
    this->format = format;
    if (!kxCheckFramebufferStatus())
        return false;
    bindRenderbuffer(0);
    return true;
}

void DepthStencilBuffer::release()
{
    forgetAttachment(this);
    if (id != 0) {
        deleteRenderbuffers(1, &id);
        id = 0;
    }
    format = FORMAT(-1);
}

// --- RenderTarget ---

RenderTarget::~RenderTarget() { release(); }

bool RenderTarget::createColorBuffer(int set, int width, int height, Texture::FORMAT format)
{
    auto buffer = std::make_unique<ColorBuffer>();
    if (!buffer->create2D(width, height, format, 1))
        return false; // freed here
    colorBuffers[set][0] = std::move(buffer);
    return true;
}

bool RenderTarget::finishCreate(int width, int height, bool withDepth, DepthStencilBuffer::FORMAT depthFormat,
                                bool pingPongTarget)
{
    if (withDepth) {
        depthStencilBuffer = std::make_unique<DepthStencilBuffer>();
        if (!depthStencilBuffer->create(width, height, depthFormat)) {
            release();
            return false;
        }
    } else {
        depthStencilBuffer.reset();
    }
    numColorBuffers = 1;
    pingPong = pingPongTarget;
    current = 0;
    return true;
}

bool RenderTarget::create2D(int width, int height, Texture::FORMAT format, bool withDepth,
                            DepthStencilBuffer::FORMAT depthFormat)
{
    release();
    if (!createColorBuffer(0, width, height, format))
        return false;
    return finishCreate(width, height, withDepth, depthFormat, false);
}

bool RenderTarget::createPingPong2D(int width, int height, Texture::FORMAT format, bool withDepth,
                                    DepthStencilBuffer::FORMAT depthFormat)
{
    release();
    if (!createColorBuffer(0, width, height, format) || !createColorBuffer(1, width, height, format))
        return false;
    return finishCreate(width, height, withDepth, depthFormat, true);
}

bool RenderTarget::resize(int width, int height)
{
    if (numColorBuffers == 0 && depthStencilBuffer == nullptr) {
        KX::debugPrint("Render target not initialized, can't resize\n");
        return false;
    }
    const int sets = pingPong ? 2 : 1;
    for (int s = 0; s < sets; ++s) {
        for (int j = 0; j < numColorBuffers; ++j) {
            ColorBuffer* b = colorBuffers[s][j].get();
            if (b != nullptr && !b->create2D(width, height, b->getFormat(), 1))
                return false;
        }
    }
    if (depthStencilBuffer != nullptr && !depthStencilBuffer->create(width, height, depthStencilBuffer->getFormat()))
        return false;
    return true;
}

void RenderTarget::release()
{
    for (auto& set : colorBuffers)
        for (auto& b : set)
            b.reset();
    depthStencilBuffer.reset();
    numColorBuffers = 0;
}

bool RenderTarget::isValid() const
{
    if (colorBuffers[0][0] == nullptr)
        return false;
    const ColorBuffer* b = colorBuffers[current][0].get();
    return b != nullptr && b->texture != nullptr && b->texture->isValid();
}

Texture* RenderTarget::getTexture(int index) const
{
    if (index < 0 || index >= kMaxColorBuffers || colorBuffers[current][index] == nullptr)
        return nullptr;
    return colorBuffers[current][index]->getTexture();
}

int RenderTarget::getWidth() const
{
    if (!isValid()) {
        KXPlatform::debuggerBreak("RenderTarget::getWidth on an invalid render target");
        return 0;
    }
    return getTexture(0)->getWidth();
}

int RenderTarget::getHeight() const
{
    if (!isValid()) {
        KXPlatform::debuggerBreak("RenderTarget::getHeight on an invalid render target");
        return 0;
    }
    return getTexture(0)->getHeight();
}

void RenderTarget::flip()
{
    if (pingPong)
        current = 1 - current;
}

bool RenderTarget::bind()
{
    // More than one colour attachment needs glDrawBuffers.
    if (!isValid() || (numColorBuffers > 1 && !kxGLEntryPoints().has(KXGLFeature::DrawBuffers)))
        return false;
    bindFBO();
    kxGetGLError();
    const ColorBuffer* first = colorBuffers[current][0].get();
    setViewport(0, 0, first->getWidth(), first->getHeight(), true);

    for (int j = 0; j < numColorBuffers; ++j) {
        ColorBuffer* b = colorBuffers[current][j].get();
        if (b == curColorBuffers[j])
            continue;
        const GLenum attachment = GL_COLOR_ATTACHMENT0_EXT + static_cast<GLenum>(j);
        Texture* t = b != nullptr ? b->getTexture() : nullptr;
        if (t != nullptr) {
            if (t->isBound())
                t->unbind();
            framebufferTexture2D(attachment, t->target, t->id);
        } else {
            framebufferTexture2D(attachment, GL_TEXTURE_2D, 0);
        }
        kxGetGLError();
        curColorBuffers[j] = b;
    }

    if (numColorBuffers != curNumColorBuffers) {
        for (int j = numColorBuffers; j < curNumColorBuffers; ++j) {
            framebufferTexture2D(GL_COLOR_ATTACHMENT0_EXT + static_cast<GLenum>(j), GL_TEXTURE_2D, 0);
            curColorBuffers[j] = nullptr;
        }
        if (numColorBuffers < 2)
            glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
        else
            kxGLEntryPoints().drawBuffers(numColorBuffers, colorAttachmentIds);
        glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
    }
    curNumColorBuffers = numColorBuffers;

    if (depthStencilBuffer.get() == curDepthStencilBuffer)
        return true;
    return bindDepth();
}

bool RenderTarget::bindDepth()
{
    if (!isValid())
        return false;
    framebufferRenderbuffer(depthStencilBuffer != nullptr ? depthStencilBuffer->getId() : 0);
    curDepthStencilBuffer = depthStencilBuffer.get();
    return true;
}

void RenderTarget::unbind() { resetAll(); }

unsigned int RenderTarget::getCurrentFboId() { return fboBound ? fboId : mainFboId; }

void RenderTarget::resetAll()
{
    if (getCurrentFboId() == 0)
        return;
    // Detach only from our own framebuffer object: when it is not bound, the bound framebuffer
    // is the host's, and the records still describe what stays attached to ours.
    if (fboBound) {
        framebufferRenderbuffer(0);
        curDepthStencilBuffer = nullptr;
        for (int i = 0; i < kMaxColorBuffers; ++i) {
            if (curColorBuffers[i] != nullptr)
                framebufferTexture2D(GL_COLOR_ATTACHMENT0_EXT + static_cast<GLenum>(i), GL_TEXTURE_2D, 0);
            curColorBuffers[i] = nullptr;
        }
    }
    unbindFBO();
    const GLenum buffer = mainFboId == 0 ? GL_BACK : GL_COLOR_ATTACHMENT0_EXT;
    glDrawBuffer(buffer);
    glReadBuffer(buffer);
    if (kxGetGLError())
        KX::debugPrint("glerror\n");
    curNumColorBuffers = 0;
    fboBound = false;
    resetViewport();
}

} // namespace KXGfx
