// Run-time lookup of the GL entry points beyond GL 1.1 (see KXGLEntryPoints.h).
#include "KXGLEntryPoints.h"

#include "KXPlatform.h"

namespace {

KXGLEntryPoints s_entryPoints{};
bool s_filled = false;
void* s_filledFor = nullptr; // the context the table was filled for (see currentGLContext)
KXGLLookupFn s_lookup = nullptr;

void* lookUp(const char* name)
{
    if (name == nullptr)
        return nullptr;
    return s_lookup != nullptr ? s_lookup(name) : KXPlatform::lookupGLSymbol(name);
}

void fill(KXGLEntryPoints& table)
{
    for (bool& a : table.available)
        a = true;
#define KX_GL_LOOK_UP_ENTRY(feature, member, ret, params, name, fallback)             \
    {                                                                                 \
        void* address = lookUp(name);                                                 \
        if (address == nullptr)                                                       \
            address = lookUp(fallback);                                               \
        table.member = reinterpret_cast<decltype(table.member)>(address);            \
        if (address == nullptr)                                                       \
            table.available[static_cast<int>(KXGLFeature::feature)] = false;          \
    }
    KX_GL_ENTRY_POINTS(KX_GL_LOOK_UP_ENTRY)
#undef KX_GL_LOOK_UP_ENTRY
}

} // namespace

const KXGLEntryPoints& kxGLEntryPoints()
{
    void* context = KXPlatform::currentGLContext();
    if (!s_filled || context != s_filledFor) {
        fill(s_entryPoints);
        s_filled = true;
        s_filledFor = context;
    }
    return s_entryPoints;
}

void kxSetGLEntryPointLookup(KXGLLookupFn lookup)
{
    s_lookup = lookup;
    s_entryPoints = KXGLEntryPoints{};
    s_filled = false;
    s_filledFor = nullptr;
}
