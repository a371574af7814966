// Texts handed to TinyXML's parser through KX::TinyXmlInput: laid out with their padding, never
// read past (checked with an inaccessible page right behind them), and refused whole when
// malformed.
#include "GuardedMemory.h"
#include "TinyXmlInput.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstring>
#include <string>
#include <vector>

namespace {

using KX::TinyXmlInput;

// The input that made TinyXML read past the end of a 260-byte copy (fuzz/regressions has it too).
const char kReportedText[] =
    "<\x3fxml \x22var><var type=\x22SELECTION\x22 name=\x22&amp\x80\x80\x80\x80\x80\x80\x80"
    "\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x7f\x7f"
    "\x7f\x7f\x7f\x7f\x80\x80\x80\x80\x80\x80\x80;S\x22>-429\xc6\xc6\xc6\xc6\xc6\xc6<ar ty"
    "pe=\x22" "B/OL\x22name=\x22\xff\xff\xff\xff\xff\xff\xffname\xff\xff\xff\xff\xff\xff\xff\xff"
    "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
    "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
    "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
    "\xff\xff\xff\xff\xff\xff<\x3fxml ver\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
    "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x0enm\x22/>\xc6\xc6\xc6sion=\x22z\xc6\xc6\xc6";

// UTF-8 documents whose last byte announces a longer character than is left: the parser steps
// one, two and three bytes past the terminator. The four-byte lead is the worst case.
std::vector<std::string> overlongEndings()
{
    return {std::string(kReportedText, sizeof kReportedText - 1),
            "<?xml version=\"1.0\"?><a>x\xe0",
            "<?xml version=\"1.0\"?><a>x\xf0",
            "\xef\xbb\xbf<a b=\"\xf4"};
}

// A terminated copy of `text` whose terminator is the last byte before an inaccessible page.
const char* atGuard(GuardedMemory& memory, const std::string& text)
{
    char* p = memory.tail(text.size() + 1);
    std::memcpy(p, text.c_str(), text.size() + 1);
    return p;
}

bool paddedAfter(const char* p, std::size_t length)
{
    for (std::size_t i = 0; i < TinyXmlInput::kPadding; ++i)
        if (p[length + i] != '\0')
            return false;
    return true;
}

TEST(TinyXmlInput, LaysTheTextOutWithItsPadding)
{
    const std::string text = "<a>\xf0";
    const TinyXmlInput own(text);
    EXPECT_NE(own.c_str(), text.c_str()) << "a copy, never the caller's text";
    EXPECT_EQ(own.length(), text.size());
    EXPECT_TRUE(own.complete());
    EXPECT_EQ(std::string(own.c_str()), text);
    EXPECT_TRUE(paddedAfter(own.c_str(), own.length()));

    // Only the part before a NUL is laid out; everything after it in the buffer is NUL, and the
    // caller's buffer is written exactly to its size.
    const char withNul[] = "<a/>\0<b/>xyz";
    const std::size_t size = sizeof withNul - 1;
    std::vector<char> buffer(TinyXmlInput::bufferSize(size) + 1, '#');
    const TinyXmlInput placed(withNul, size, buffer.data());
    EXPECT_EQ(placed.c_str(), buffer.data());
    EXPECT_EQ(placed.length(), 4u);
    EXPECT_FALSE(placed.complete());
    for (std::size_t i = 4; i < buffer.size() - 1; ++i)
        EXPECT_EQ(buffer[i], '\0') << "byte " << i;
    EXPECT_EQ(buffer.back(), '#');

    const TinyXmlInput none(nullptr, 10);
    EXPECT_EQ(none.length(), 0u);
    EXPECT_TRUE(paddedAfter(none.c_str(), 0));
}

TEST(TinyXmlInput, ParserNeverReadsPastTheTextOrItsPadding)
{
    GuardedMemory callers, padded;
    for (const std::string& text : overlongEndings()) {
        SCOPED_TRACE(text);
        // The caller's text ends at an inaccessible page: only a copy may reach the parser.
        TiXmlDocument doc;
        EXPECT_FALSE(KX::parseXml(doc, atGuard(callers, text), text.size()));
        EXPECT_TRUE(doc.Error());
        // The padded text itself ends at the page: the padding must cover the longest step.
        const TinyXmlInput input(text.data(), text.size(),
                                 padded.tail(TinyXmlInput::bufferSize(text.size())));
        EXPECT_FALSE(input.parse(doc));
    }
}

#ifndef _WIN32
// Shows that the guard above would catch a text handed on unpadded: TinyXML as installed reads
// past a bare terminator (a separate process takes the fault). Skipped once TinyXML stops doing so.
// (POSIX only: the Windows build compiles the same TinyXML sources.)
TEST(TinyXmlInput, GuardCatchesTheParsersOverRead)
{
    GuardedMemory memory;
    const std::string worst = overlongEndings()[2];
    const char* bare = atGuard(memory, worst);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        TiXmlDocument doc;
        doc.Parse(bare);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        GTEST_SKIP() << "this TinyXML no longer reads past the end of a text";
}
#endif

TEST(TinyXmlInput, RefusedTextsLeaveAnEmptyDocument)
{
    TiXmlDocument doc;
    ASSERT_TRUE(KX::parseXml(doc, std::string("<old/>")));

    EXPECT_FALSE(KX::parseXml(doc, std::string("<a/>\0<b/>", 9)));
    EXPECT_EQ(doc.ErrorId(), TiXmlBase::TIXML_ERROR_EMBEDDED_NULL);
    EXPECT_EQ(doc.FirstChild(), nullptr);

    ASSERT_TRUE(KX::parseXml(doc, std::string("<old/>")));
    EXPECT_FALSE(KX::parseXml(doc, std::string("<a><b>text</a>")));
    EXPECT_TRUE(doc.Error());
    EXPECT_EQ(doc.FirstChild(), nullptr) << "nothing half-read stays behind";

    ASSERT_TRUE(KX::parseXml(doc, std::string("<Params><var/></Params>")));
    EXPECT_FALSE(doc.Error());
    ASSERT_NE(doc.RootElement(), nullptr);
    EXPECT_STREQ(doc.RootElement()->Value(), "Params");
    EXPECT_EQ(doc.RootElement()->NextSibling(), nullptr) << "earlier content is dropped";
}

} // namespace
