// The PE check of plug-in files (see PeImageCheck.h). Offsets and values are those of the PE
// format: an MS-DOS header whose word at 0x3C points to "PE\0\0", the COFF file header after it,
// then the optional header and the section table.
#include "plugin/PeImageCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace ffglhost {

namespace {

constexpr uint64_t kDosHeaderBytes = 64;
constexpr uint64_t kPeOffsetField = 0x3C;
constexpr uint64_t kFileHeaderBytes = 20; // after the 4-byte signature
constexpr uint64_t kSectionHeaderBytes = 40;

constexpr unsigned kMagicPe32 = 0x10B;
constexpr unsigned kMagicPe32Plus = 0x20B;
constexpr unsigned kFlagExecutable = 0x0002;
constexpr unsigned kFlagDll = 0x2000;

constexpr unsigned kMachineX86 = 0x014C;
constexpr unsigned kMachineX64 = 0x8664;
constexpr unsigned kMachineArm = 0x01C4;
constexpr unsigned kMachineArm64 = 0xAA64;
constexpr unsigned kMachineItanium = 0x0200;

#if defined(__x86_64__) || defined(_M_X64)
constexpr unsigned kHostMachine = kMachineX64;
#elif defined(__i386__) || defined(_M_IX86)
constexpr unsigned kHostMachine = kMachineX86;
#elif defined(__aarch64__) || defined(_M_ARM64)
constexpr unsigned kHostMachine = kMachineArm64;
#elif defined(__arm__) || defined(_M_ARM)
constexpr unsigned kHostMachine = kMachineArm;
#else
#error "the PE machine of this platform is not known here"
#endif
constexpr unsigned kHostMagic = sizeof(void*) == 8 ? kMagicPe32Plus : kMagicPe32;

// Little-endian words, whatever this machine's order.
unsigned word16(const unsigned char* p) { return static_cast<unsigned>(p[0] | p[1] << 8); }
uint32_t word32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

std::string machineName(unsigned machine)
{
    switch (machine) {
    case kMachineX86: return "x86";
    case kMachineX64: return "x86-64";
    case kMachineArm: return "ARM";
    case kMachineArm64: return "ARM64";
    case kMachineItanium: return "Itanium";
    default: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "machine 0x%04X", machine);
        return buf;
    }
    }
}

std::string kindText(unsigned magic, unsigned machine)
{
    return std::string(magic == kMagicPe32Plus ? "64-bit " : "32-bit ") + machineName(machine);
}

} // namespace

Status checkPeImage(const ImageBytes& file, const std::string& path)
{
    const uint64_t size = file.size();
    const std::string notPlugin = path + " is not an FFGL plug-in: ";
    unsigned char dos[kDosHeaderBytes] = {};
    const std::size_t start = size < 4 ? static_cast<std::size_t>(size) : 4;
    if (!file.readAt(dos, start, 0))
        return Status::badInput(notPlugin + "its first bytes cannot be read");
    if (start == 4 && std::memcmp(dos, "\x7f" "ELF", 4) == 0)
        return Status::badInput(notPlugin + "it is an ELF shared object (a plug-in for Linux or another Unix), "
                                            "not a Windows DLL");
    if (start < 2 || dos[0] != 'M' || dos[1] != 'Z')
        return Status::badInput(notPlugin + "it is no Windows DLL (it lacks the MZ signature)");
    if (size < kDosHeaderBytes || !file.readAt(dos, sizeof dos, 0))
        return Status::badInput(notPlugin + "the file is truncated inside its MS-DOS header");

    const uint64_t pe = word32(dos + kPeOffsetField);
    unsigned char header[4 + kFileHeaderBytes + 2] = {}; // signature, file header, optional magic
    if (!insideImage(pe, 4, size) || !file.readAt(header, 4, pe))
        return Status::badInput(notPlugin + "it is an MS-DOS program without a PE header, not a Windows DLL");
    if (std::memcmp(header, "PE\0\0", 4) != 0)
        return Status::badInput(notPlugin + "it is an MS-DOS program without a PE signature, not a Windows DLL");
    if (!insideImage(pe, sizeof header, size) || !file.readAt(header, sizeof header, pe))
        return Status::badInput(notPlugin + "the file is truncated inside its PE header");
    const unsigned machine = word16(header + 4);
    const unsigned sections = word16(header + 6);
    const unsigned optionalBytes = word16(header + 20);
    const unsigned flags = word16(header + 22);
    const unsigned magic = word16(header + 24);
    if (optionalBytes < 2 || (magic != kMagicPe32 && magic != kMagicPe32Plus))
        return Status::badInput(notPlugin + "its PE header is damaged (no PE32 or PE32+ optional header)");
    if ((flags & kFlagDll) == 0)
        return Status::badInput(notPlugin + "it is a " + kindText(magic, machine) +
                                ((flags & kFlagExecutable) != 0 ? " program (.exe)" : " PE file that cannot run") +
                                ", not a DLL");
    if (magic != kHostMagic || machine != kHostMachine)
        return Status::badInput(path + " is a " + kindText(magic, machine) + " DLL; this ffglhost is " + peHostKind());

    if (sections == 0)
        return Status::badInput(notPlugin + "its PE header is damaged (no sections)");
    const uint64_t table = pe + 4 + kFileHeaderBytes + optionalBytes;
    const uint64_t tableBytes = sections * kSectionHeaderBytes;
    if (!insideImage(table, tableBytes, size))
        return Status::badInput(notPlugin + "the file is truncated: its section headers end at byte " +
                                std::to_string(table + tableBytes) + ", the file has " + std::to_string(size) +
                                " bytes");
    uint64_t needed = 0;
    for (unsigned i = 0; i < sections; ++i) {
        unsigned char section[kSectionHeaderBytes] = {};
        if (!file.readAt(section, sizeof section, table + i * kSectionHeaderBytes))
            return Status::badInput(notPlugin + "its section headers cannot be read");
        const uint64_t rawBytes = word32(section + 16);
        const uint64_t rawOffset = word32(section + 20);
        if (rawBytes > 0 && !insideImage(rawOffset, rawBytes, size) && rawOffset + rawBytes > needed)
            needed = rawOffset + rawBytes;
    }
    if (needed > 0)
        return Status::badInput(notPlugin + "the file is truncated: its sections need " + std::to_string(needed) +
                                " bytes, the file has " + std::to_string(size));
    return Status();
}

std::string peHostKind() { return kindText(kHostMagic, kHostMachine); }

} // namespace ffglhost
