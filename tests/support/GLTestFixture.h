// GoogleTest fixture for tests that need a real OpenGL context.
//
// One headless context (kxhost::HeadlessGL) serves the whole test program: it is created on the
// first SetUp and kept until the process ends. Every test gets a fresh framebuffer object of
// framebufferWidth() x framebufferHeight() (64 x 64 unless a derived fixture overrides them),
// bound as draw and read framebuffer with the viewport covering it, and starts with no pending
// GL error. TearDown releases it and binds framebuffer 0.
//
// When the machine has no EGL display at all the test is skipped; when there is one but no
// context can be made, the test fails with the error text. A derived fixture's SetUp calls
// GLTest::SetUp() first and returns when IsSkipped() or HasFatalFailure().
//
// Everything runs on the test's main thread with the shared context current.
#pragma once

#include "HeadlessGL.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

class GLTest : public ::testing::Test {
public:
    static constexpr int kDefaultSize = 64;

    // The process-wide context, or null when it could not be made (error text in `error`).
    // Owned by the fixture library; lives until the process ends.
    static kxhost::HeadlessGL* sharedContext(std::string& error);

    kxhost::HeadlessGL& gl() { return *context_; }
    kxhost::Framebuffer& framebuffer() { return framebuffer_; }
    // The GL name of the test framebuffer: what a host would pass as its framebuffer.
    unsigned framebufferId() const { return framebuffer_.id(); }
    int fbWidth() const { return framebuffer_.width(); }
    int fbHeight() const { return framebuffer_.height(); }

    // The whole test framebuffer, RGBA8, rows top-down (empty, and a test failure, when reading
    // fails).
    std::vector<unsigned char> readImage();
    // RGBA of the pixel in column x, row yFromTop counted from the TOP of the test framebuffer.
    // Outside the framebuffer: a test failure and zeros.
    std::array<unsigned char, 4> pixel(int x, int yFromTop);

protected:
    void SetUp() override;
    void TearDown() override;

    virtual int framebufferWidth() const { return kDefaultSize; }
    virtual int framebufferHeight() const { return kDefaultSize; }

private:
    kxhost::HeadlessGL* context_ = nullptr;
    kxhost::Framebuffer framebuffer_;
};
