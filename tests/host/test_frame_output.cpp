// How the host gets frames out: FrameReader reads them back through pixel buffers (in a real
// headless context) and AsyncPngWriter writes them on worker threads. Checked: every frame comes
// out whole, in order and with its own pixels, the GL state the host had is kept, the rows land
// the right way up in the files, and a failed write is reported and stops further writing.
#include "GLTestFixture.h"
#include "output/AsyncPngWriter.h"
#include "output/FrameFiles.h"
#include "output/FrameReader.h"

#include <GL/gl.h>
#include <png.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace ffglhost;

namespace {

constexpr int kWidth = 8;
constexpr int kHeight = 6;

// Frame n: the bottom half one colour, the top half another, both depending on n.
void drawFrame(int n)
{
    glDisable(GL_SCISSOR_TEST);
    glClearColor(n / 255.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, kHeight / 2, kWidth, kHeight / 2);
    glClearColor(0.0f, n / 255.0f, 0.0f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

struct Delivered {
    int frame;
    std::vector<unsigned char> rgba;
};

class FrameReaderTest : public GLTest {
protected:
    int framebufferWidth() const override { return kWidth; }
    int framebufferHeight() const override { return kHeight; }

    FrameReader::Delivery collect()
    {
        return [this](int frame, const unsigned char* rgba, std::size_t bytes) {
            delivered.push_back({frame, std::vector<unsigned char>(rgba, rgba + bytes)});
            return Status();
        };
    }

    std::vector<Delivered> delivered;
};

TEST_F(FrameReaderTest, DeliversEveryFrameInOrderBottomRowFirst)
{
    FrameReader reader;
    ASSERT_TRUE(reader.create(kWidth, kHeight).ok());
    for (int n = 1; n <= 5; ++n) {
        drawFrame(n * 10);
        ASSERT_TRUE(reader.start(framebuffer(), n, collect()).ok());
        EXPECT_LE(delivered.size(), static_cast<std::size_t>(n)); // reading may lag behind
    }
    ASSERT_TRUE(reader.drain(collect()).ok());
    ASSERT_EQ(delivered.size(), 5u);
    for (int n = 1; n <= 5; ++n) {
        const Delivered& d = delivered[static_cast<std::size_t>(n - 1)];
        EXPECT_EQ(d.frame, n);
        ASSERT_EQ(d.rgba.size(), static_cast<std::size_t>(kWidth * kHeight * 4));
        const unsigned char* bottom = d.rgba.data();                                 // first row
        const unsigned char* top = d.rgba.data() + (kHeight - 1) * kWidth * 4;        // last row
        EXPECT_EQ(bottom[0], n * 10);
        EXPECT_EQ(bottom[2], 255);
        EXPECT_EQ(top[1], n * 10);
        EXPECT_NEAR(top[3], 128, 1);
    }
    // Nothing left to deliver.
    ASSERT_TRUE(reader.drain(collect()).ok());
    EXPECT_EQ(delivered.size(), 5u);
}

TEST_F(FrameReaderTest, KeepsTheBindingsAndPackStateInForce)
{
    FrameReader reader;
    ASSERT_TRUE(reader.create(kWidth, kHeight).ok());
    GLuint other = 0;
    glGenBuffers(1, &other);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, other);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    drawFrame(1);
    ASSERT_TRUE(reader.start(framebuffer(), 1, collect()).ok());
    ASSERT_TRUE(reader.drain(collect()).ok());
    GLint pack = 0, alignment = 0, read = -1;
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &pack);
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    EXPECT_EQ(pack, static_cast<GLint>(other));
    EXPECT_EQ(alignment, 1);
    EXPECT_EQ(read, 0);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glDeleteBuffers(1, &other);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FrameReaderTest, RefusesAnotherSizeAndReportsAFailedDelivery)
{
    FrameReader reader;
    EXPECT_FALSE(reader.start(framebuffer(), 1, collect()).ok()) << "not created";
    ASSERT_TRUE(reader.create(kWidth + 1, kHeight).ok());
    EXPECT_FALSE(reader.start(framebuffer(), 1, collect()).ok());

    ASSERT_TRUE(reader.create(kWidth, kHeight).ok());
    const FrameReader::Delivery refuse = [](int, const unsigned char*, std::size_t) {
        return Status::failed("disk full");
    };
    ASSERT_TRUE(reader.start(framebuffer(), 1, refuse).ok());
    ASSERT_TRUE(reader.start(framebuffer(), 2, refuse).ok());
    const Status s = reader.start(framebuffer(), 3, refuse); // must hand frame 1 over first
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find("disk full"), std::string::npos) << s.message();
    EXPECT_FALSE(reader.drain(refuse).ok());
}

// AsyncPngWriter --------------------------------------------------------------------------------

class PngFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() /
               ("png-writer-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                "-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root;
};

// Rows numbered from the top in the red channel, alpha 7.
std::vector<unsigned char> rowsNumbered(RowOrder order)
{
    std::vector<unsigned char> rgba(kWidth * kHeight * 4);
    for (int y = 0; y < kHeight; ++y) {
        const int fromTop = order == RowOrder::TopDown ? y : kHeight - 1 - y;
        for (int x = 0; x < kWidth; ++x) {
            unsigned char* p = &rgba[static_cast<std::size_t>((y * kWidth + x) * 4)];
            p[0] = static_cast<unsigned char>(fromTop);
            p[1] = static_cast<unsigned char>(x);
            p[2] = 0;
            p[3] = 7;
        }
    }
    return rgba;
}

bool readPng(const fs::path& path, std::vector<unsigned char>& rgba)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&png, path.c_str()) == 0)
        return false;
    png.format = PNG_FORMAT_RGBA;
    rgba.assign(PNG_IMAGE_SIZE(png), 0);
    const bool ok = png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr) != 0;
    if (!ok)
        png_image_free(&png);
    return ok && png.width == kWidth && png.height == kHeight;
}

TEST_F(PngFolder, WritesEveryImageTheRightWayUp)
{
    {
        AsyncPngWriter writer(2, 1);
        for (int n = 0; n < 6; ++n) {
            const RowOrder order = n % 2 == 0 ? RowOrder::TopDown : RowOrder::BottomUp;
            std::vector<unsigned char> image = writer.buffer(kWidth * kHeight * 4);
            image = rowsNumbered(order);
            ASSERT_TRUE(writer.submit((root / ("f" + std::to_string(n) + ".png")).string(), kWidth, kHeight,
                                      std::move(image), order, n >= 4)
                            .ok());
        }
        ASSERT_TRUE(writer.finish().ok());
    }
    std::vector<unsigned char> expected = rowsNumbered(RowOrder::TopDown);
    for (int n = 0; n < 6; ++n) {
        std::vector<unsigned char> got;
        ASSERT_TRUE(readPng(root / ("f" + std::to_string(n) + ".png"), got)) << n;
        for (std::size_t i = 3; i < expected.size(); i += 4)
            expected[i] = n >= 4 ? 255 : 7; // opaque when asked
        EXPECT_EQ(got, expected) << "image " << n;
    }
}

TEST_F(PngFolder, AFailedWriteIsReportedAndStopsTheRest)
{
    std::ofstream(root / "file") << "not a folder";
    AsyncPngWriter writer(1, 4);
    const auto image = rowsNumbered(RowOrder::TopDown);
    ASSERT_TRUE(writer.submit((root / "file" / "a.png").string(), kWidth, kHeight, image, RowOrder::TopDown, false)
                    .ok());
    const Status s = writer.finish();
    ASSERT_FALSE(s.ok());
    EXPECT_NE(s.message().find((root / "file").string()), std::string::npos) << s.message();
    EXPECT_FALSE(writer.submit((root / "b.png").string(), kWidth, kHeight, image, RowOrder::TopDown, false).ok());
    EXPECT_FALSE(writer.finish().ok());
    EXPECT_FALSE(fs::exists(root / "b.png"));
}

// The whole path: frames kept from the framebuffer land in files top row first and opaque, also
// when the render then fails; the failure is what finish() reports.
TEST_F(FrameReaderTest, KeptFramesAreWrittenEvenWhenTheRenderFails)
{
    const fs::path root = fs::temp_directory_path() / ("frame-files-" + std::to_string(getpid()));
    fs::remove_all(root);
    FrameFiles files;
    ASSERT_TRUE(files.open(kWidth, kHeight, [&](int n) { return (root / (std::to_string(n) + ".png")).string(); })
                    .ok());
    for (int n = 1; n <= 3; ++n) {
        drawFrame(n * 20);
        ASSERT_TRUE(files.keep(framebuffer(), n).ok());
    }
    const Status s = files.finish(Status::failed("frame 4 failed"));
    EXPECT_EQ(s.message(), Status::failed("frame 4 failed").message());
    for (int n = 1; n <= 3; ++n) {
        png_image png{};
        png.version = PNG_IMAGE_VERSION;
        ASSERT_NE(png_image_begin_read_from_file(&png, (root / (std::to_string(n) + ".png")).c_str()), 0) << n;
        png.format = PNG_FORMAT_RGBA;
        std::vector<unsigned char> rgba(PNG_IMAGE_SIZE(png));
        ASSERT_NE(png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr), 0);
        EXPECT_EQ(rgba[1], n * 20) << "top row first";
        EXPECT_EQ(rgba[3], 255) << "opaque";
        EXPECT_EQ(rgba[rgba.size() - 4], n * 20);
        EXPECT_EQ(rgba[rgba.size() - 2], 255);
    }
    fs::remove_all(root);
}

} // namespace
