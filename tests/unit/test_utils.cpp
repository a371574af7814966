// Tests of the general utilities: bit functions, formatting and parsing, hex dumps, the working
// path, and the file helpers (on files in a temporary folder).
#include "KX.h"
#include "KXUtils.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A fresh folder under the system temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder()
    {
        // create_directory fails on an existing folder, so a folder it makes is ours alone.
        std::error_code ec;
        const fs::path base = fs::temp_directory_path(ec);
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty() && !ec; ++attempt) {
            const fs::path candidate = base / ("kxutils-" + std::to_string(random()));
            if (fs::create_directory(candidate, ec))
                path_ = candidate.string();
        }
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name, const std::string& content) const
    {
        const std::string full = path_ + "/" + name;
        std::ofstream(full, std::ios::binary) << content;
        return full;
    }

private:
    std::string path_;
};

std::vector<std::string> readAllLines(const std::string& file)
{
    std::vector<std::string> lines;
    FILE* f = std::fopen(file.c_str(), "rb");
    std::string line;
    while (f != nullptr && KX::readLine(line, f))
        lines.push_back(line);
    if (f != nullptr)
        std::fclose(f);
    return lines;
}

} // namespace

TEST(BitFunctions, PowersOfTwoAndRounding)
{
    EXPECT_TRUE(KX::isPowerOf2(0x80000000u) && !KX::isPowerOf2(0) && !KX::isPowerOf2(6));
    for (int n = 0; n <= 70000; ++n) {
        int expected = n == 0 ? 0 : 1;
        while (expected < n)
            expected *= 2;
        ASSERT_EQ(KX::nextPowerOf2(n), expected) << n;
        ASSERT_EQ(KX::nd16(n), (n + 15) / 16 * 16) << n;
        ASSERT_EQ(KX::nd4(n), (n + 3) / 4 * 4) << n;
    }
    EXPECT_EQ(KX::nextPowerOf2(1 << 30), 1 << 30);
    // No representable answer: 0 instead of signed overflow.
    for (int n : {(1 << 30) + 1, INT_MAX, -1, -5, INT_MIN})
        EXPECT_EQ(KX::nextPowerOf2(n), 0) << n;

    // Negative values follow the truncating remainder; no overflow near INT_MAX.
    const int rounded[][3] = {{-5, 16, 0}, {-16, -16, -16}, {INT_MIN, INT_MIN, INT_MIN},
        {INT_MAX - 15, INT_MAX - 15, INT_MAX - 15}, {INT_MAX - 3, 0, INT_MAX - 3},
        {INT_MAX, 0, 0}};
    for (const auto& r : rounded) {
        EXPECT_EQ(KX::nd16(r[0]), r[1]) << r[0];
        EXPECT_EQ(KX::nd4(r[0]), r[2]) << r[0];
    }
}

TEST(BitFunctions, ReverseCountAndLogarithms)
{
    EXPECT_EQ(KX::floorLog2(0), 0);
    EXPECT_EQ(KX::ceilLog2(0), 0);

    std::vector<unsigned int> values;
    for (int b = 0; b < 32; ++b)
        for (unsigned int d : {0u, 1u, 2u, 3u})
            for (unsigned int p : {1u << b, (1u << b) - d, (1u << b) + d})
                values.push_back(p);
    values.push_back(0xFFFFFFFFu);
    for (unsigned int x : values) {
        unsigned int reversed = 0;
        int ones = 0, floorLog = -1;
        for (int b = 0; b < 32; ++b) {
            if (x & (1u << b)) {
                reversed |= 1u << (31 - b);
                ++ones;
                floorLog = b;
            }
        }
        ASSERT_EQ(KX::reverse32(x), reversed) << x;
        ASSERT_EQ(KX::ones32(x), ones) << x;
        if (x == 0)
            continue;
        ASSERT_EQ(KX::floorLog2(x), floorLog) << x;
        ASSERT_EQ(KX::ceilLog2(x), floorLog + (KX::isPowerOf2(x) ? 0 : 1)) << x;
    }
}

TEST(Formatting, ConversionsAndCase)
{
    EXPECT_EQ(KX::floatToString(3.14159f, 2), "3.14");
    EXPECT_EQ(KX::floatToString(2.0f, 0), "2");
    EXPECT_EQ(KX::floatToString(0.5f, 3), "0.500");
    EXPECT_EQ(KX::intToString(-42), "-42");
    EXPECT_EQ(KX::stringToInt("  -17xyz"), -17);
    EXPECT_EQ(KX::stringToInt("abc"), 0);
    // Out of range values clamp (atoi leaves them undefined).
    EXPECT_EQ(KX::stringToInt("99999999999"), INT_MAX);
    EXPECT_EQ(KX::stringToInt("-99999999999"), INT_MIN);
    EXPECT_EQ(KX::stringToInt(nullptr), 0);
    EXPECT_EQ(KX::stringToFloat("0.1"), 0.1f);

    std::string s = "MiXeD 123 \xC4\xE4!";
    KX::toLower(s);
    EXPECT_EQ(s, "mixed 123 \xC4\xE4!");
    KX::toUpper(s);
    EXPECT_EQ(s, "MIXED 123 \xC4\xE4!");
}

TEST(Formatting, OutputIsCutToItsBuffer)
{
    const std::string longArg(10000, 'q');
    std::string out = "old";
    KX::stdPrintf(out, "%d-%s", 7, "x");
    EXPECT_EQ(out, "7-x");
    KX::stdPrintf(out, "<%s>", longArg.c_str());
    EXPECT_EQ(out, "<" + std::string(KX::kStdPrintfCapacity - 2, 'q'));

    // A format string longer than the buffer leaves out as it was; one that fits is cut.
    out = "kept";
    const std::string tooLongFormat(KX::kStdPrintfCapacity + 1, 'f');
    KX::stdPrintf(out, tooLongFormat.c_str(), 0);
    EXPECT_EQ(out, "kept");
    const std::string fullFormat(KX::kStdPrintfCapacity, 'f');
    KX::stdPrintf(out, fullFormat.c_str(), 0);
    EXPECT_EQ(out, std::string(KX::kStdPrintfCapacity - 1, 'f'));

    testing::internal::CaptureStdout();
    KX::debugPrint("%s|%d\n", "abc", 5);
    KX::debugPrint("%s", longArg.c_str());
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "abc|5\n" + std::string(KX::kDebugPrintCapacity - 1, 'q'));
}

TEST(Parsing, TokensSeparatorsAndAppending)
{
    std::vector<int> ints;
    EXPECT_EQ(KX::parseIntArray(ints, "1, 2,3", ','), 3);
    EXPECT_EQ(ints, (std::vector<int>{1, 2, 3}));
    ints.clear();
    EXPECT_EQ(KX::parseIntArray(ints, "7 x 9", ','), 2);
    EXPECT_EQ(ints, (std::vector<int>{7, 9}));
    EXPECT_EQ(KX::parseIntArray(ints, ",,-4;12ab,+x, ,", ','), 3); // appended, not cleared
    EXPECT_EQ(ints, (std::vector<int>{7, 9, -4}));
    ints.clear();
    // A NUL separator must not carry the scan past the end of the text.
    ints.clear();
    EXPECT_EQ(KX::parseIntArray(ints, "1 2", '\0'), 2);

    std::vector<float> floats;
    EXPECT_EQ(KX::parseFloatArray(floats, "7 x 9", ','), 3);
    EXPECT_EQ(floats, (std::vector<float>{7.0f, 0.0f, 9.0f}));
    floats.clear();
    EXPECT_EQ(KX::parseFloatArray(floats, " 0.5,-1e2 , ", ','), 2);
    EXPECT_EQ(floats, (std::vector<float>{0.5f, -100.0f}));
}

TEST(Parsing, OverLongTokensAreCutAndConsumed)
{
    // The cut part of a token must not come back as a token of its own.
    std::vector<int> ints;
    const std::string zeros(KX::kParseTokenCapacity + 8, '0');
    EXPECT_EQ(KX::parseIntArray(ints, (zeros + "7,3").c_str(), ','), 2);
    EXPECT_EQ(ints, (std::vector<int>{0, 3}));

    std::vector<float> floats;
    const std::string digits = "5" + std::string(KX::kParseTokenCapacity + 100, 'a');
    EXPECT_EQ(KX::parseFloatArray(floats, (digits + " 2").c_str(), ','), 2);
    EXPECT_EQ(floats, (std::vector<float>{5.0f, 2.0f}));
}

TEST(HexDump, WidthsAndLineBreaks)
{
    unsigned char bytes[] = {1, 2, 3};
    EXPECT_EQ(KX::hexDump(bytes, 3, 2), "0x01, 0x02, \n0x03");
    unsigned short shorts[] = {0x12, 1};
    EXPECT_EQ(KX::hexDump(shorts, 2, 8), "0x0012, 0x0001");
    unsigned int words[] = {0xDEADBEEFu, 0, 10};
    EXPECT_EQ(KX::hexDump(words, 3, 1), "0xDEADBEEF, \n0x00000000, \n0x0000000A");
    EXPECT_EQ(KX::hexDump(bytes, -2, 4), "");
    // perLine below 1 gives a single line instead of a division by zero.
    EXPECT_EQ(KX::hexDump(bytes, 3, 0), "0x01, 0x02, 0x03");
    EXPECT_EQ(KX::hexDump(bytes, 3, -1), "0x01, 0x02, 0x03");
}

TEST(Paths, WorkingPathAndNames)
{
    EXPECT_STREQ(KX::getWorkingPath(), "");
    EXPECT_EQ(KX::toWorkingPath("tex.png"), "tex.png");

    KX::setWorkingPath("C:\\data");
    EXPECT_STREQ(KX::getWorkingPath(), "C:/data/");
    EXPECT_EQ(KX::toWorkingPath("tex.png"), "C:/data/tex.png");
    for (const char* unchanged : {"/abs/a.png", "D:x.png", "C:/data/b.png"})
        EXPECT_EQ(KX::toWorkingPath(unchanged), unchanged);
    EXPECT_EQ(KX::toWorkingPath(""), "");
    KX::setWorkingPath(""); // clears: paths are used as given again
    EXPECT_STREQ(KX::getWorkingPath(), "");
    EXPECT_EQ(KX::toWorkingPath("a"), "a");

    EXPECT_EQ(KX::makePathNice("a\\b\\c"), "a/b/c");
    EXPECT_EQ(KX::getFileExt("archive.tar.gz"), "gz");
    EXPECT_EQ(KX::getFileExt("noext"), "noext");
    EXPECT_EQ(KX::getFileExt("dot."), "");
    EXPECT_EQ(KX::getFilenameWithoutExt("archive.tar.gz"), "archive");
    EXPECT_EQ(KX::getFilenameFromPath("a/b/c.txt"), "c.txt");
}

TEST(Files, FolderListingExistenceAndSize)
{
    TempFolder dir;
    ASSERT_FALSE(dir.path().empty());
    dir.file("a.txt", "hello");
    dir.file(".DS_Store", "x");
    fs::create_directory(dir.path() + "/sub");
    // Links are listed neither (where the system lets us make one: Windows may not).
    std::error_code linkError;
    fs::create_symlink(dir.path() + "/a.txt", dir.path() + "/link", linkError);

    std::vector<std::string> files{"earlier"};
    testing::internal::CaptureStdout();
    EXPECT_TRUE(KX::getFilesInFolder(files, dir.path().c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "a.txt\n");
    EXPECT_EQ(files, (std::vector<std::string>{"earlier", dir.path() + "/a.txt"}));

    testing::internal::CaptureStdout();
    EXPECT_FALSE(KX::getFilesInFolder(files, (dir.path() + "/missing").c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Couldn't open directory");
    EXPECT_EQ(files.size(), 2u);

    EXPECT_TRUE(KX::doesFileExist((dir.path() + "/a.txt").c_str()));
    EXPECT_FALSE(KX::doesFileExist((dir.path() + "/none").c_str()));

    FILE* f = std::fopen((dir.path() + "/a.txt").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::fgetc(f);
    EXPECT_EQ(KX::getFileSize(f), 5);
    EXPECT_EQ(std::ftell(f), 0); // back at the start
    std::fclose(f);
}

TEST(Files, CurrentDirectory)
{
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    // Windows separators come back as slashes.
    EXPECT_EQ(KX::getCurrentDirectory(), KX::makePathNice(cwd) + "/");

#if !defined(_WIN32) // Windows cannot enter a folder this deep (MAX_PATH)
    // A current directory longer than the buffer cannot be read: the result is empty.
    TempFolder dir;
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const std::string part(200, 'd');
    for (int level = 0; level < 6; ++level) {
        ASSERT_TRUE(fs::create_directory(part));
        ASSERT_EQ(chdir(part.c_str()), 0);
    }
    EXPECT_EQ(KX::getCurrentDirectory(), "");
    ASSERT_EQ(chdir(cwd), 0);
#endif
}

TEST(Files, ReadLineFromAStream)
{
    TempFolder dir;
    using Lines = std::vector<std::string>;
    const std::string nul(1, '\0');
    EXPECT_EQ(readAllLines(dir.file("empty", "")), Lines{});
    EXPECT_EQ(readAllLines(dir.file("last", "ab\ncd")), (Lines{"ab" + nul, "cd" + nul}));
    EXPECT_EQ(readAllLines(dir.file("crlf", "ab\r\n\ncd\n")),
              (Lines{"ab" + nul, nul, nul, "cd" + nul}));
    EXPECT_EQ(readAllLines(dir.file("bytes", std::string("x\0\xFFy", 4))),
              (Lines{std::string("x\0\xFFy", 4) + nul}));
}

TEST(Files, ReadLineFromAString)
{
    std::string line;
    testing::internal::CaptureStdout();
    int pos = KX::readLine(line, "ab\ncd", 0);
    EXPECT_EQ(line, "ab");
    EXPECT_EQ(pos, 3);
    pos = KX::readLine(line, "ab\ncd", pos);
    EXPECT_EQ(line, "cd");
    EXPECT_EQ(pos, 5);
    EXPECT_EQ(KX::readLine(line, "ab\ncd", pos), -1);
    EXPECT_EQ(line, "cd");
    EXPECT_EQ(KX::readLine(line, "ab\ncd", -1), -1);

    EXPECT_EQ(KX::readLine(line, "\nx\r\n", 0), 1); // empty first line: not echoed
    EXPECT_EQ(line, "");
    EXPECT_EQ(KX::readLine(line, "\nx\r\n", 1), 4);
    EXPECT_EQ(line, "x\r");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ab\ncd\nx\r\n");
}
