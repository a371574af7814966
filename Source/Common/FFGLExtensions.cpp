// Extension entry-point table (see FFGLExtensions.h).
#include "FFGLExtensions.h"

#include "KXPlatform.h"

#include <cstdio>
#include <cstring>

namespace {

void* platformLookup(const char* name, void*) { return KXPlatform::lookupGLSymbol(name); }

// True when `name` is one blank-separated entry of `list`.
bool listHas(const char* list, const char* name)
{
    if (list == nullptr || name == nullptr || name[0] == '\0')
        return false;
    const std::size_t n = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
        const bool startsEntry = p == list || p[-1] == ' ';
        const bool endsEntry = p[n] == ' ' || p[n] == '\0';
        if (startsEntry && endsEntry)
            return true;
    }
    return false;
}

} // namespace

FFGLExtensions::FFGLExtensions()
    : multitexture(0),
#define FFGL_ZERO_ENTRY(type, name) name(nullptr),
      FFGL_MULTITEXTURE_ENTRIES(FFGL_ZERO_ENTRY) ARB_shader_objects(0),
      FFGL_ARB_SHADER_OBJECT_ENTRIES(FFGL_ZERO_ENTRY) EXT_framebuffer_object(0),
      FFGL_EXT_FRAMEBUFFER_OBJECT_ENTRIES(FFGL_ZERO_ENTRY)
#undef FFGL_ZERO_ENTRY
      m_lookup(platformLookup), m_lookupUser(nullptr)
{
}

void FFGLExtensions::SetLookup(LookupFn lookup, void* user)
{
    m_lookup = lookup != nullptr ? lookup : platformLookup;
    m_lookupUser = lookup != nullptr ? user : nullptr;
}

void* FFGLExtensions::GetProcAddress(const char* name) const
{
    if (name == nullptr || std::strlen(name) > FFGL_MAX_PROC_NAME)
        return nullptr;
    return m_lookup(name, m_lookupUser);
}

bool FFGLExtensions::groupOffered(const char* extension, int minMajor, int minMinor) const
{
    // GL loaders that dispatch through libglvnd return a stub for every name they know, whether
    // or not the driver implements it, so an address alone does not prove the group exists: the
    // context must also list the extension (or be new enough to have the functions in core).
    const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (listHas(extensions, extension))
        return true;
    if (minMajor <= 0)
        return false;
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0, minor = 0;
    if (version == nullptr || std::sscanf(version, "%d.%d", &major, &minor) != 2)
        return false;
    return major > minMajor || (major == minMajor && minor >= minMinor);
}

// Looks up every entry point of a group in order; the first one missing ends the walk, leaving
// the ones before it set and the rest as they were.
#define FFGL_LOOKUP_ENTRY(type, name)                   \
    {                                                   \
        void* address = GetProcAddress(#name);          \
        if (address == nullptr)                         \
            return;                                     \
        name = reinterpret_cast<type>(address);         \
    }

void FFGLExtensions::Initialize()
{
    InitMultitexture();
    InitARBShaderObjects();
    InitEXTFramebufferObject();
}

void FFGLExtensions::InitMultitexture()
{
    multitexture = 0;
    if (!groupOffered("GL_ARB_multitexture", 1, 3))
        return;
    FFGL_MULTITEXTURE_ENTRIES(FFGL_LOOKUP_ENTRY)
    multitexture = 1;
}

void FFGLExtensions::InitARBShaderObjects()
{
    ARB_shader_objects = 0;
    if (!groupOffered("GL_ARB_shader_objects", 0, 0))
        return;
    FFGL_ARB_SHADER_OBJECT_ENTRIES(FFGL_LOOKUP_ENTRY)
    ARB_shader_objects = 1;
}

void FFGLExtensions::InitEXTFramebufferObject()
{
    EXT_framebuffer_object = 0;
    if (!groupOffered("GL_EXT_framebuffer_object", 0, 0))
        return;
    FFGL_EXT_FRAMEBUFFER_OBJECT_ENTRIES(FFGL_LOOKUP_ENTRY)
    EXT_framebuffer_object = 1;
}

#undef FFGL_LOOKUP_ENTRY
