// The pieces the host's isolation is built from, on their own: the flight record that says where
// a plug-in was when its process died, the last lines of its output, output files that appear
// only when whole, and the check of a plug-in file before it is loaded (the ELF shared objects of
// this host, and the Windows host's DLLs on made-up headers).
#include "output/PendingFile.h"
#include "plugin/PeImageCheck.h"
#include "plugin/SharedObjectCheck.h"
#include "worker/FlightRecord.h"
#include "worker/OutputTail.h"
#include "worker/TemporaryFiles.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using namespace ffglhost;

namespace {

constexpr int64_t kSecond = 1000000000;

TEST(FlightRecordTest, SaysWhereThePluginWasAndTimesOnlyWhatIsInFlight)
{
    FlightRecord r;
    const int slot = r.addPlugin("Quorus-build");
    r.renamePlugin(slot, "Quorus");
    r.renamePlugin(slot, ""); // an empty name from code 0 keeps the one before
    EXPECT_EQ(r.snapshot().plugin, "Quorus");
    EXPECT_EQ(whereText(r.snapshot()), " outside any plug-in call");

    int64_t wait = 0;
    r.calling(slot, 17, 3);
    const int64_t start = r.snapshot().startNs;
    EXPECT_EQ(whereText(r.snapshot()), " in code 17 (process OpenGL) at frame 3");
    EXPECT_FALSE(r.overdue(start + kSecond / 2, kSecond, wait));
    EXPECT_EQ(wait, kSecond / 2);
    EXPECT_TRUE(r.overdue(start + 2 * kSecond, kSecond, wait));

    r.returned();
    EXPECT_EQ(whereText(r.snapshot()), " while reading the answer of code 17 (process OpenGL) at frame 3");
    EXPECT_FALSE(r.overdue(start + 2 * kSecond, kSecond, wait)) << "reading an answer is the host's time";
    EXPECT_EQ(wait, -1);
    r.finishing(); // the glFinish of the frame counts from the call's start
    EXPECT_EQ(whereText(r.snapshot()), " in code 17 (process OpenGL) at frame 3");
    EXPECT_TRUE(r.overdue(start + 2 * kSecond, kSecond, wait));
    r.settled();
    EXPECT_FALSE(r.overdue(start + 2 * kSecond, kSecond, wait));

    r.calling(slot, 5, 0);
    r.returned();
    r.finishing(); // only code 17 has a frame to finish
    EXPECT_EQ(whereText(r.snapshot()), " while reading the answer of code 5 (get parameter name)");
    r.loading(slot);
    EXPECT_EQ(whereText(r.snapshot()), " while loading the library");
    r.crashed(11);
    EXPECT_EQ(r.snapshot().signal, 11);
    r.reset();
    EXPECT_EQ(r.snapshot().signal, 0);
    EXPECT_EQ(r.snapshot().plugin, "");
}

TEST(FlightRecordTest, NamesAreCutToTheirCapacityAndSlotsGoRound)
{
    FlightRecord r;
    const int first = r.addPlugin(std::string(200, 'n'));
    EXPECT_EQ(r.snapshot().plugin, std::string(kFlightNameCapacity - 1, 'n'));
    for (std::size_t i = 1; i < kFlightPluginSlots; ++i)
        EXPECT_NE(r.addPlugin("p" + std::to_string(i)), first);
    EXPECT_EQ(r.addPlugin("again"), first);
}

TEST(OutputTailTest, KeepsTheLastLinesCutAndPrintable)
{
    OutputTail tail(2, 8);
    const std::string text = "one\ntwo\n\nthree is long\r\n\x1b[1mbold";
    for (char c : text) // in pieces, as a pipe delivers it
        tail.add(&c, 1);
    EXPECT_EQ(tail.lines(), (std::vector<std::string>{"three is...", "?[1mbold"}));
    tail.add("\n", 1);
    EXPECT_EQ(tail.lines(), (std::vector<std::string>{"three is...", "?[1mbold"}));
    EXPECT_TRUE(OutputTail().lines().empty());
}

class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("pending-file-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::vector<std::string> files() const
    {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    static std::string read(const fs::path& p)
    {
        std::ifstream in(p);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    fs::path dir;
};

TEST_F(ScratchFolder, AppearsUnderItsNameOnlyWhenCommitted)
{
    std::ofstream(dir / "clip.mp4") << "old";
    PendingFile f((dir / "clip.mp4").string());
    const fs::path temporary(f.temporaryPath());
    EXPECT_EQ(temporary.parent_path(), dir) << "renamed within its folder";
    EXPECT_EQ(temporary.extension(), ".mp4") << "programs pick the format by extension";
    EXPECT_EQ(temporary.filename().string()[0], '.');
    std::ofstream(temporary) << "new";
    EXPECT_EQ(read(dir / "clip.mp4"), "old");
    ASSERT_TRUE(f.commit().ok());
    EXPECT_EQ(read(dir / "clip.mp4"), "new");
    EXPECT_EQ(files(), std::vector<std::string>{"clip.mp4"});
    EXPECT_FALSE(f.commit().ok()) << "a file is committed once";
}

TEST_F(ScratchFolder, ADiscardedOrAbandonedFileLeavesNothing)
{
    {
        PendingFile f((dir / "a.png").string());
        std::ofstream(f.temporaryPath()) << "half";
    }
    EXPECT_TRUE(files().empty());

    // What a supervisor does when the writer's process died before it could clean up: the
    // files still being written go, the finished ones stay.
    TemporaryFiles table;
    useTemporaryFiles(&table);
    {
        PendingFile unfinished((dir / "b.png").string());
        std::ofstream(unfinished.temporaryPath()) << "half";
        PendingFile done((dir / "c.png").string());
        std::ofstream(done.temporaryPath()) << "whole";
        ASSERT_TRUE(done.commit().ok());
        EXPECT_EQ(table.removeAll(), 1);
        EXPECT_EQ(files(), std::vector<std::string>{"c.png"});
    }
    useTemporaryFiles(nullptr);
}

// The first `bytes` bytes of a real plug-in, as a file of its own.
std::string cutCopy(const fs::path& dir, std::size_t bytes)
{
    std::ifstream in(std::string(HOST_TEST_PLUGIN_DIR) + "/ClearGen.so", std::ios::binary);
    std::string head(bytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(bytes));
    const fs::path p = dir / ("cut-" + std::to_string(bytes) + ".so");
    std::ofstream(p, std::ios::binary).write(head.data(), in.gcount());
    return p.string();
}

TEST_F(ScratchFolder, SharedObjectsCutAnywhereAreRefusedBeforeLoading)
{
    EXPECT_TRUE(checkSharedObject(std::string(HOST_TEST_PLUGIN_DIR) + "/ClearGen.so").ok());
    const struct {
        std::size_t bytes;
        const char* why;
    } cuts[] = {{2, "lacks the ELF signature"},
                {30, "truncated inside its ELF header"},
                {100, "its program headers end at byte"},
                {1000, "its segments need"}};
    for (const auto& cut : cuts) {
        const Status s = checkSharedObject(cutCopy(dir, cut.bytes));
        EXPECT_EQ(s.exitCode(), kExitBadInput) << cut.bytes;
        EXPECT_NE(s.message().find(cut.why), std::string::npos) << s.message();
    }
#if defined(__x86_64__)
    EXPECT_EQ(hostObjectKind(), "64-bit x86-64");
#endif
}

// A DLL's headers as the Windows loader reads them, in memory: MS-DOS header, PE header at 0x80,
// the optional header of this host's own kind (PE32+ for x86-64, PE32 for x86) and one section
// whose 512 bytes end the 1024-byte file.
class DllBytes : public ImageBytes {
public:
    static constexpr bool kWide = sizeof(void*) == 8;
    static constexpr unsigned kMachine = kWide ? 0x8664 : 0x14C;
    static constexpr unsigned kOptionalBytes = kWide ? 240 : 224;
    static constexpr std::size_t kFile = 0x84;                                 // COFF file header
    static constexpr std::size_t kSection = kFile + 20 + kOptionalBytes;      // the section header

    std::vector<unsigned char> bytes = std::vector<unsigned char>(1024, 0);

    DllBytes()
    {
        put(0, "MZ", 2);
        put32(0x3C, 0x80);
        put(0x80, "PE\0\0", 4);
        put16(kFile, kMachine);
        put16(kFile + 2, 1);              // sections
        put16(kFile + 16, kOptionalBytes);
        put16(kFile + 18, 0x2022);        // DLL, executable, large addresses
        put16(kFile + 20, kWide ? 0x20B : 0x10B);
        put32(kSection + 16, 512);        // raw size
        put32(kSection + 20, 512);        // raw offset
    }
    // The other x86 word size, with its own optional header kind.
    void makeOtherWordSize()
    {
        put16(kFile, kWide ? 0x14C : 0x8664);
        put16(kFile + 20, kWide ? 0x10B : 0x20B);
    }
    void put(std::size_t at, const char* text, std::size_t n) { std::memcpy(bytes.data() + at, text, n); }
    void put16(std::size_t at, unsigned v)
    {
        bytes[at] = static_cast<unsigned char>(v);
        bytes[at + 1] = static_cast<unsigned char>(v >> 8);
    }
    void put32(std::size_t at, uint32_t v)
    {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    }

    uint64_t size() const override { return bytes.size(); }
    bool readAt(void* out, std::size_t n, uint64_t offset) const override
    {
        if (!insideImage(offset, n, bytes.size()))
            return false;
        std::memcpy(out, bytes.data() + offset, n);
        return true;
    }

};

TEST(PeImageCheckTest, AcceptsOnlyWholeDllsOfThisMachine)
{
    EXPECT_TRUE(checkPeImage(DllBytes(), "p.dll").ok());
    const std::string host = DllBytes::kWide ? "64-bit x86-64" : "32-bit x86";
    const std::string other = DllBytes::kWide ? "32-bit x86" : "64-bit x86-64";
    EXPECT_EQ(peHostKind(), host);
    const std::string program = "it is a " + host + " program (.exe), not a DLL";
    const std::string otherWordSize = "p.dll is a " + other + " DLL; this ffglhost is " + host;
    const std::string tableEnd =
        "its section headers end at byte " + std::to_string(DllBytes::kSection + 0xFFFF * 40) +
        ", the file has 1024 bytes";

    const struct {
        const char* label;
        std::function<void(DllBytes&)> change;
        std::string why;
    } cases[] = {
        {"one byte", [](DllBytes& d) { d.bytes.resize(1); },
         "p.dll is not an FFGL plug-in: it is no Windows DLL (it lacks the MZ signature)"},
        {"ELF", [](DllBytes& d) { d.put(0, "\x7f" "ELF", 4); }, "it is an ELF shared object"},
        {"short MS-DOS header", [](DllBytes& d) { d.bytes.resize(40); }, "truncated inside its MS-DOS header"},
        {"PE header past the end", [](DllBytes& d) { d.put32(0x3C, 0xFFFFFFF0u); },
         "MS-DOS program without a PE header"},
        {"no PE signature", [](DllBytes& d) { d.put(0x80, "PX", 2); }, "without a PE signature"},
        {"cut in the PE header", [](DllBytes& d) { d.bytes.resize(0x90); }, "truncated inside its PE header"},
        {"unknown optional header", [](DllBytes& d) { d.put16(DllBytes::kFile + 20, 0x107); },
         "its PE header is damaged"},
        {"program", [](DllBytes& d) { d.put16(DllBytes::kFile + 18, 0x0022); }, program},
        {"other word size", [](DllBytes& d) { d.makeOtherWordSize(); }, otherWordSize},
        {"ARM64", [](DllBytes& d) { d.put16(DllBytes::kFile, 0xAA64); d.put16(DllBytes::kFile + 20, 0x20B); }, "p.dll is a 64-bit ARM64 DLL"},
        {"no sections", [](DllBytes& d) { d.put16(DllBytes::kFile + 2, 0); }, "damaged (no sections)"},
        {"section table past the end", [](DllBytes& d) { d.put16(DllBytes::kFile + 2, 0xFFFF); }, tableEnd},
        {"section data cut", [](DllBytes& d) { d.bytes.resize(1000); },
         "its sections need 1024 bytes, the file has 1000"},
        {"section data far out", [](DllBytes& d) { d.put32(DllBytes::kSection + 20, 0xFFFFFF00u); },
         "its sections need 4294967552 bytes"},
    };
    for (const auto& c : cases) {
        DllBytes d;
        c.change(d);
        const Status s = checkPeImage(d, "p.dll");
        EXPECT_EQ(s.exitCode(), kExitBadInput) << c.label;
        EXPECT_NE(s.message().find(c.why), std::string::npos) << c.label << ": " << s.message();
    }
}

} // namespace
