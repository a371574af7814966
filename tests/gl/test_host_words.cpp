// The built Quorus plug-in driven the way a host compiled from its own FFGL headers drives it:
// every word and record is laid out byte by byte here, never through the framework's record
// header. A 32-bit build exchanges 32-bit words and the packed records of 32, 24, 16, 20, 12 and
// 8 bytes; a 64-bit build pointer-sized words, with the records widened at their pointer fields.
// Each record the host hands over is a heap block of exactly its size, so that a plug-in reading
// past it trips the address sanitizer.
#include "GLTestFixture.h"
#include "PluginEntryPoint.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// One word of plugMain as a host of this word size declares it: on a 32-bit host the entry
// point is uint32_t plugMain(uint32_t, uint32_t, uint32_t).
using Word = std::uintptr_t;
using Entry = Word (*)(std::uint32_t, Word, Word);
constexpr std::size_t kWord = sizeof(Word);
constexpr Word kFail = 0xFFFFFFFFu;

constexpr std::size_t wordAligned(std::size_t offset) { return (offset + kWord - 1) / kWord * kWord; }

// Offsets and sizes of the records for this word size: 4-byte integers, word-sized pointers and
// values, each aligned to its size.
constexpr std::size_t kInfoSize = 32;
constexpr std::size_t kExtDescription = wordAligned(8);
constexpr std::size_t kExtAbout = kExtDescription + kWord;
constexpr std::size_t kExtDataSize = kExtAbout + kWord;
constexpr std::size_t kExtDataBlock = wordAligned(kExtDataSize + 4);
constexpr std::size_t kExtSize = kExtDataBlock + kWord;
constexpr std::size_t kViewportSize = 16;
constexpr std::size_t kTextureSize = 20;
constexpr std::size_t kProcessTextures = wordAligned(4);
constexpr std::size_t kProcessFbo = kProcessTextures + kWord;
constexpr std::size_t kProcessSize = wordAligned(kProcessFbo + 4);
constexpr std::size_t kSetValue = wordAligned(4);
constexpr std::size_t kSetSize = kSetValue + kWord;

static_assert(kWord != 4 || (kExtSize == 24 && kProcessSize == 12 && kSetSize == 8), "32-bit layouts");
static_assert(kWord != 8 || (kExtSize == 40 && kProcessSize == 24 && kSetSize == 16), "64-bit layouts");

// Host parameter indices used here.
constexpr std::uint32_t kParticles = 1;
constexpr std::uint32_t kQuorify = 2;

template <typename T> T readAt(const unsigned char* record, std::size_t offset)
{
    T v;
    std::memcpy(&v, record + offset, sizeof v);
    return v;
}

template <typename T> void writeAt(std::vector<unsigned char>& record, std::size_t offset, T v)
{
    ASSERT_LE(offset + sizeof v, record.size());
    std::memcpy(record.data() + offset, &v, sizeof v);
}

Word address(const std::vector<unsigned char>& record) { return reinterpret_cast<Word>(record.data()); }

Word floatWord(float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

float wordFloat(Word w)
{
    const std::uint32_t bits = static_cast<std::uint32_t>(w);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

Entry loadEntry()
{
    std::string error;
    auto entry = reinterpret_cast<Entry>(kxtest::loadPlugMain(QUORUS_PLUGIN_PATH, error));
    if (entry == nullptr)
        ADD_FAILURE() << error;
    return entry; // the library stays loaded until the process ends
}

std::vector<unsigned char> viewport(std::uint32_t width, std::uint32_t height)
{
    std::vector<unsigned char> r(kViewportSize);
    writeAt<std::uint32_t>(r, 8, width);
    writeAt<std::uint32_t>(r, 12, height);
    return r;
}

TEST(HostWords, IdentityRecordsReadAtTheHostsOffsets)
{
    const Entry entry = loadEntry();
    ASSERT_NE(entry, nullptr);
    std::printf("words of %zu bytes; records: information %zu, extended information %zu, viewport %zu, "
                "texture %zu, process OpenGL %zu, set parameter %zu bytes\n",
                kWord, kInfoSize, kExtSize, kViewportSize, kTextureSize, kProcessSize, kSetSize);

    const auto* info = reinterpret_cast<const unsigned char*>(entry(0, 0, 0));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(readAt<std::uint32_t>(info, 0), 1u);
    EXPECT_EQ(readAt<std::uint32_t>(info, 4), 500u);
    EXPECT_EQ(std::memcmp(info + 8, "Q7K3", 4), 0);
    EXPECT_EQ(std::memcmp(info + 12, "Quorus\0\0\0\0\0\0\0\0\0\0", 16), 0);
    EXPECT_EQ(readAt<std::uint32_t>(info, 28), 1u) << "a source";

    const auto* ext = reinterpret_cast<const unsigned char*>(entry(13, 0, 0));
    ASSERT_NE(ext, nullptr);
    EXPECT_EQ(readAt<std::uint32_t>(ext, 0), 1u);
    EXPECT_EQ(readAt<std::uint32_t>(ext, 4), 0u);
    const auto* description = reinterpret_cast<const char*>(readAt<Word>(ext, kExtDescription));
    const auto* about = reinterpret_cast<const char*>(readAt<Word>(ext, kExtAbout));
    ASSERT_NE(description, nullptr);
    ASSERT_NE(about, nullptr);
    EXPECT_STREQ(description, "iCanHazQuorus");
    EXPECT_GT(std::strlen(about), 0u);
    EXPECT_EQ(readAt<std::uint32_t>(ext, kExtDataSize), 0u);
    EXPECT_EQ(readAt<Word>(ext, kExtDataBlock), 0u);

    // Failures are the 32-bit all-ones word, zero-extended on a wider host.
    EXPECT_EQ(entry(3, 0, 0), kFail);
    EXPECT_EQ(entry(15, 99, 0), kFail);
    EXPECT_EQ(wordFloat(entry(6, kQuorify, 0)), 0.25f) << "Quorify's default, 10 of 0..40";
}

class HostWordsGL : public GLTest {
protected:
    int framebufferWidth() const override { return 160; }
    int framebufferHeight() const override { return 90; }
};

TEST_F(HostWordsGL, InstanceLivesThroughExactlySizedRecords)
{
    const Entry entry = loadEntry();
    ASSERT_NE(entry, nullptr);
    const std::vector<unsigned char> vp = viewport(160, 90);
    const Word id = entry(18, address(vp), 0);
    ASSERT_NE(id, kFail);
    ASSERT_NE(id, 0u);

    std::vector<unsigned char> set(kSetSize);
    writeAt<std::uint32_t>(set, 0, kQuorify);
    writeAt<Word>(set, kSetValue, floatWord(0.75f));
    EXPECT_EQ(entry(8, address(set), id), 0u);
    EXPECT_EQ(wordFloat(entry(9, kQuorify, id)), 0.75f);
    writeAt<std::uint32_t>(set, 0, kParticles);
    writeAt<Word>(set, kSetValue, floatWord(0.25f));
    EXPECT_EQ(entry(8, address(set), id), 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(entry(7, kQuorify, id)), "30.00");

    // One input texture record (a generator ignores it, the adapter still wraps it) and the
    // host's framebuffer.
    std::vector<unsigned char> texture(kTextureSize);
    for (std::size_t field = 0; field < 4; ++field)
        writeAt<std::uint32_t>(texture, field * 4, 16);
    std::vector<unsigned char> textures(kWord);
    writeAt<Word>(textures, 0, address(texture));
    std::vector<unsigned char> process(kProcessSize);
    writeAt<std::uint32_t>(process, 0, 1);
    writeAt<Word>(process, kProcessTextures, address(textures));
    writeAt<std::uint32_t>(process, kProcessFbo, framebufferId());
    for (int frame = 0; frame < 3; ++frame)
        ASSERT_EQ(entry(17, address(process), id), 0u) << "frame " << frame;

    std::vector<unsigned char> rgba = readImage();
    std::size_t lit = 0;
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4)
        lit += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0 ? 1 : 0;
    EXPECT_GT(lit, 50u) << "the network was drawn into the host's framebuffer";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const std::vector<unsigned char> resized = viewport(80, 45);
    EXPECT_EQ(entry(23, address(resized), id), 0u);
    EXPECT_EQ(entry(19, 0, id), 0u);
}

} // namespace
