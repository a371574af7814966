// GL capability queries and buffers (see KXGL.h).
#include "KXGL.h"

#include "KX.h"
#include "KXGLEntryPoints.h"
#include "KXPlatform.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <cstring>
#include <map>

namespace {

int glVersion = 1;

// -1: no override; 0 or 1: the answer of kxAreNonPowerOfTwoTexturesSupported in tests.
int nonPowerOfTwoOverride = -1;

// The extension list of the current context as one blank-separated string. The list is copied:
// the pointer glGetString returns dies with its context, while the cache outlives it.
// glGetString(GL_EXTENSIONS) answers in compatibility contexts (which is what hosts give a
// plug-in); in a core-profile context it returns null and raises GL_INVALID_ENUM, and the list
// is then put together from glGetStringi, after taking that one error flag so that it is not
// blamed on the caller's next GL call. With no current context (or no glGetStringi) the list is
// empty.
std::string readExtensionList()
{
    const char* list = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (list != nullptr)
        return list;
    glGetError();
    const KXGLEntryPoints& gl = kxGLEntryPoints();
    if (!gl.has(KXGLFeature::IndexedStrings))
        return std::string();
    std::string joined;
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const char* name = reinterpret_cast<const char*>(gl.getStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (name == nullptr)
            continue;
        if (!joined.empty())
            joined += ' ';
        joined += name;
    }
    return joined;
}

} // namespace

int kxGLVersion() { return glVersion; }

void kxSetGLVersion(int version) { glVersion = version; }

bool kxExtensionListed(const char* extensions, const std::string& name)
{
    // An empty name would match the empty run between two blanks; it names no extension.
    if (extensions == nullptr || name.empty())
        return false;
    const std::size_t end = std::strlen(extensions);
    std::size_t pos = 0;
    while (pos < end) {
        const std::size_t n = std::strcspn(extensions + pos, " ");
        if (n == name.size() && std::strncmp(extensions + pos, name.c_str(), n) == 0)
            return true;
        pos += n + 1;
    }
    return false;
}

bool kxGLExtension(const std::string& name)
{
    static const std::string sExtStr = readExtensionList();
    static std::map<std::string, bool> sExtMap;
    const auto known = sExtMap.find(name);
    if (known != sExtMap.end())
        return known->second;
    const bool listed = kxExtensionListed(sExtStr.c_str(), name);
    sExtMap.emplace(name, listed);
    return listed;
}

bool kxAreNonPowerOfTwoTexturesSupported()
{
    if (nonPowerOfTwoOverride >= 0)
        return nonPowerOfTwoOverride != 0;
    return kxGLExtension("GL_ARB_texture_non_power_of_two");
}

void kxSetNonPowerOfTwoOverride(int value) { nonPowerOfTwoOverride = value < 0 ? -1 : (value != 0 ? 1 : 0); }

bool kxGetGLError()
{
    const GLenum e = glGetError();
    if (e == GL_NO_ERROR)
        return false;
    // GLU answers null for codes it does not know; print an empty text then.
    const char* text = reinterpret_cast<const char*>(gluErrorString(e));
    KX::debugPrint("GL ERROR %d %s", static_cast<int>(e), text != nullptr ? text : "");
    return true;
}

bool kxCheckFramebufferStatus()
{
    const KXGLEntryPoints& gl = kxGLEntryPoints();
    if (!gl.has(KXGLFeature::FramebufferObjects)) {
        KX::debugPrint("Framebuffer objects unavailable!");
        return false;
    }
    const GLenum status = gl.checkFramebufferStatus(GL_FRAMEBUFFER_EXT);
    switch (status) {
    case GL_FRAMEBUFFER_COMPLETE_EXT:
        return true;
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT:
        KX::debugPrint("GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT!");
        return false;
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT:
        KX::debugPrint("GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT!");
        return false;
    case GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT:
        KX::debugPrint("GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT!");
        return false;
    case GL_FRAMEBUFFER_UNSUPPORTED_EXT:
        KX::debugPrint("GL_FRAMEBUFFER_UNSUPPORTED!");
        return false;
    default:
        KX::debugPrint("Unknown GL_FRAMEBUFFER error!");
        KXPlatform::debuggerBreak("kxCheckFramebufferStatus: unknown framebuffer status");
        return false;
    }
}

unsigned int kxCreateVBO(const void* data, int size, unsigned int target, unsigned int usage)
{
    const KXGLEntryPoints& gl = kxGLEntryPoints();
    if (!gl.has(KXGLFeature::BufferObjects)) {
        KX::debugPrint("VBO creation error: no buffer objects\n");
        return 0;
    }
    GLuint id = 0;
    gl.genBuffers(1, &id);
    gl.bindBuffer(target, id);
    gl.bufferData(target, size, data, usage);
    // Stays -1 when the query fails (for example on an invalid target), which no size matches.
    GLint actual = -1;
    gl.getBufferParameteriv(target, GL_BUFFER_SIZE, &actual);
    if (size < 0 || actual != size) {
        gl.deleteBuffers(1, &id);
        id = 0;
        KX::debugPrint("VBO creation error: data size mismatch\n");
    }
    gl.bindBuffer(target, 0);
    return id;
}
