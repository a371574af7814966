// GoogleTest fixture with a shared headless context (see GLTestFixture.h).
#include "GLTestFixture.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <memory>
#include <string>

namespace {

// Most pending GL errors cleared between tests.
constexpr int kMaxClearedErrors = 64;

struct SharedContext {
    bool tried = false;
    std::unique_ptr<kxhost::HeadlessGL> gl;
    std::string error;
};

// Deliberately never destroyed: tearing the context down at exit would terminate the EGL display
// and unload the GL driver while its own process-lifetime allocations are still listed, which
// leaves the leak checker with frames it can no longer name (and so cannot suppress). The
// pointer stays reachable, so the context is not reported as a leak either.
SharedContext& shared()
{
    static SharedContext* s = new SharedContext();
    return *s;
}

void clearGLErrors()
{
    for (int i = 0; i < kMaxClearedErrors && glGetError() != GL_NO_ERROR; ++i) {
    }
}

} // namespace

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer defaults for every GL test program (ASAN_OPTIONS from the environment are
// applied on top). GCC 12's sanitizer runtime records the dynamic TLS blocks it sees through
// __tls_get_addr, and with glibc 2.36 it sometimes records a bogus block for the TLS of the
// dlopen()ed GL driver (libLLVM, swrast_dri); LeakSanitizer then crashes scanning it at exit
// ("Tracer caught signal 11"), depending only on memory layout (even on argv length). Without
// the interception the blocks are still scanned: they hang off the thread's DTV, which is reached
// from static TLS. No leak report is hidden by this.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options()
{
    return "intercept_tls_get_addr=0";
}
#endif

kxhost::HeadlessGL* GLTest::sharedContext(std::string& error)
{
    SharedContext& s = shared();
    if (!s.tried) {
        s.tried = true;
        s.gl = kxhost::HeadlessGL::create(s.error);
    }
    error = s.error;
    return s.gl.get();
}

void GLTest::SetUp()
{
    std::string error;
    context_ = sharedContext(error);
    if (context_ == nullptr) {
        if (!kxhost::HeadlessGL::displayAvailable())
            GTEST_SKIP() << "no EGL display is available on this machine, GL test skipped (" << error << ")";
        FAIL() << error;
    }
    ASSERT_TRUE(context_->makeCurrent()) << "eglMakeCurrent failed on the shared context";
    clearGLErrors();
    ASSERT_TRUE(framebuffer_.create(framebufferWidth(), framebufferHeight(), error)) << error;
    framebuffer_.bind();
}

void GLTest::TearDown()
{
    if (context_ == nullptr)
        return;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    framebuffer_.release();
    clearGLErrors();
}

std::array<unsigned char, 4> GLTest::pixel(int x, int y)
{
    std::array<unsigned char, 4> px{};
    std::vector<unsigned char> image = readImage();
    if (x < 0 || y < 0 || x >= framebuffer_.width() || y >= framebuffer_.height() || image.empty()) {
        ADD_FAILURE() << "pixel(" << x << ", " << y << ") outside the test framebuffer";
        return px;
    }
    const std::size_t at = (static_cast<std::size_t>(y) * framebuffer_.width() + x) * 4;
    for (int c = 0; c < 4; ++c)
        px[c] = image[at + c];
    return px;
}

std::vector<unsigned char> GLTest::readImage()
{
    std::vector<unsigned char> image;
    if (!framebuffer_.readPixels(image))
        ADD_FAILURE() << "reading the test framebuffer failed";
    return image;
}
