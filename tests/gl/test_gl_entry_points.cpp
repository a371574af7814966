// The graphics layer's run-time entry points: each feature is available exactly when all of its
// entry points are found (under either name), and a context that lacks one makes that feature
// refuse with a message while the rest of the layer keeps working. Entry points are taken away
// through the lookup seam, in a real context.
#include "GLTestFixture.h"
#include "HeadlessGL.h"
#include "KXGL.h"
#include "KXGLEntryPoints.h"
#include "KXPlatform.h"
#include "KXRenderTarget.h"
#include "KXTexture.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace {

using KXGfx::DepthStencilBuffer;
using KXGfx::RenderTarget;
using KXGfx::Texture;

// The names the seam hides, and how many lookups it answered.
std::set<std::string> g_hidden;
int g_lookups = 0;

void* hidingLookup(const char* name)
{
    ++g_lookups;
    return g_hidden.count(name) != 0 ? nullptr : KXPlatform::lookupGLSymbol(name);
}

class EntryPointsTest : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        g_hidden.clear();
        g_lookups = 0;
    }
    void TearDown() override
    {
        kxSetGLEntryPointLookup(nullptr);
        GLTest::TearDown();
    }
    // The table as it is with `names` hidden.
    const KXGLEntryPoints& without(std::set<std::string> names)
    {
        g_hidden = std::move(names);
        kxSetGLEntryPointLookup(hidingLookup);
        return kxGLEntryPoints();
    }
};

std::string captured(const std::function<void()>& f)
{
    testing::internal::CaptureStdout();
    f();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

TEST_F(EntryPointsTest, AFeatureNeedsAllItsEntryPointsUnderEitherName)
{
    const KXGLEntryPoints& all = without({});
    for (int f = 0; f < static_cast<int>(KXGLFeature::Count); ++f)
        EXPECT_TRUE(all.has(static_cast<KXGLFeature>(f))) << "feature " << f << " in a GL 2.1+ context";

    // Only the EXT name gone: the core name serves.
    const KXGLEntryPoints& coreOnly = without({"glGenerateMipmapEXT", "glBindFramebufferEXT"});
    EXPECT_TRUE(coreOnly.has(KXGLFeature::MipmapGeneration));
    EXPECT_TRUE(coreOnly.has(KXGLFeature::FramebufferObjects));
    EXPECT_EQ(reinterpret_cast<void*>(coreOnly.bindFramebuffer), KXPlatform::lookupGLSymbol("glBindFramebuffer"));

    // Both names gone: that feature alone is unavailable, and only its missing pointer is null.
    const KXGLEntryPoints& noMipmaps = without({"glGenerateMipmapEXT", "glGenerateMipmap"});
    EXPECT_FALSE(noMipmaps.has(KXGLFeature::MipmapGeneration));
    EXPECT_EQ(noMipmaps.generateMipmap, nullptr);
    EXPECT_TRUE(noMipmaps.has(KXGLFeature::FramebufferObjects));
    EXPECT_TRUE(noMipmaps.has(KXGLFeature::Multitexture));

    const KXGLEntryPoints& oneOfTen = without({"glRenderbufferStorageEXT", "glRenderbufferStorage"});
    EXPECT_FALSE(oneOfTen.has(KXGLFeature::FramebufferObjects));
    EXPECT_NE(oneOfTen.genFramebuffers, nullptr);
}

TEST_F(EntryPointsTest, TheTableIsLookedUpOncePerContext)
{
    without({});
    const int afterFirst = g_lookups;
    EXPECT_GT(afterFirst, 0);
    kxGLEntryPoints();
    EXPECT_EQ(g_lookups, afterFirst) << "a second use in the same context looks nothing up";

    // Another context: looked up again where addresses depend on the context (Windows), not
    // where one set serves all.
    std::string error;
    std::unique_ptr<kxhost::HeadlessGL> other = kxhost::HeadlessGL::create(error);
    ASSERT_NE(other, nullptr) << error;
    const bool perContext = KXPlatform::currentGLContext() != nullptr;
    EXPECT_TRUE(kxGLEntryPoints().has(KXGLFeature::FramebufferObjects));
    EXPECT_EQ(g_lookups > afterFirst, perContext);
    other.reset();
    ASSERT_TRUE(gl().makeCurrent());
    framebuffer().bind();
}

TEST_F(EntryPointsTest, WithoutFramebufferObjectsRenderTargetsRefuse)
{
    without({"glBindFramebufferEXT", "glBindFramebuffer"});
    RenderTarget target;
    std::string out = captured([&] { EXPECT_FALSE(target.create2D(32, 32, Texture::A8R8G8B8, true, DepthStencilBuffer::D24)); });
    EXPECT_NE(out.find("no framebuffer objects"), std::string::npos) << out;
    EXPECT_FALSE(target.isValid());
    EXPECT_FALSE(target.bind());
    DepthStencilBuffer depth;
    captured([&] { EXPECT_FALSE(depth.create(32, 32, DepthStencilBuffer::D24)); });
    EXPECT_EQ(depth.getId(), 0u);
    out = captured([] { EXPECT_FALSE(kxCheckFramebufferStatus()); });
    EXPECT_EQ(out, "Framebuffer objects unavailable!");
    target.unbind(); // nothing to unbind, and nothing called

    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(bound, static_cast<GLint>(framebufferId())) << "the host's framebuffer stays bound";
}

TEST_F(EntryPointsTest, WithoutMultitexturingOnlyUnitZeroBinds)
{
    without({"glActiveTexture", "glActiveTextureARB"});
    Texture t;
    ASSERT_TRUE(t.create(8, 8, Texture::A8R8G8B8, 1));
    EXPECT_EQ(Texture::getMaxTextureUnits(), 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "the unit count was not asked for";

    t.bind(0);
    EXPECT_TRUE(t.isBound());
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, static_cast<GLint>(t.id));
    t.unbind();

    const std::string out = captured([&] { t.bind(1); });
    EXPECT_NE(out.find("Debugger break"), std::string::npos) << out;
    EXPECT_FALSE(t.isBound());
    EXPECT_EQ(Texture::getCurrentSampler(1), nullptr);

    // Drawing selects no client unit and still works.
    t.draw(0, 0, 1, 1, true);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    t.release();
}

TEST_F(EntryPointsTest, MissingTextureAndBufferEntryPointsRefuseOrFallBack)
{
    // No mipmap generation: GLU builds the levels instead.
    without({"glGenerateMipmapEXT", "glGenerateMipmap"});
    Texture mipmapped;
    ASSERT_TRUE(mipmapped.create(16, 16, Texture::A8R8G8B8, 0));
    glBindTexture(GL_TEXTURE_2D, mipmapped.id);
    GLint level4 = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 4, GL_TEXTURE_WIDTH, &level4);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(level4, 1) << "all levels down to 1x1";
    mipmapped.release();

    // No compressed textures: creating or updating one fails with a message.
    without({"glCompressedTexImage2D", "glCompressedTexImage2DARB"});
    Texture compressed;
    std::string out = captured([&] { EXPECT_FALSE(compressed.create(16, 16, Texture::DXT1, 1)); });
    EXPECT_NE(out.find("no compressed textures"), std::string::npos) << out;
    compressed.release();

    // No buffer objects: no buffer, a message, nothing bound.
    without({"glBufferData", "glBufferDataARB"});
    const float data[4] = {1, 2, 3, 4};
    out = captured([&] { EXPECT_EQ(kxCreateVBO(data, sizeof data, GL_ARRAY_BUFFER, GL_STATIC_DRAW), 0u); });
    EXPECT_EQ(out, "VBO creation error: no buffer objects\n");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
