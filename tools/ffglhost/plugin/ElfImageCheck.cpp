// The ELF check of plug-in files (see ElfImageCheck.h).
#include "plugin/ElfImageCheck.h"

#include <elf.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace ffglhost {

namespace {

#if defined(__x86_64__)
constexpr unsigned kHostMachine = EM_X86_64;
#elif defined(__i386__)
constexpr unsigned kHostMachine = EM_386;
#elif defined(__aarch64__)
constexpr unsigned kHostMachine = EM_AARCH64;
#elif defined(__arm__)
constexpr unsigned kHostMachine = EM_ARM;
#else
#error "the ELF machine of this platform is not known here"
#endif
constexpr unsigned char kHostClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
constexpr unsigned char kHostData = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;

std::string machineName(unsigned machine)
{
    switch (machine) {
    case EM_386: return "x86";
    case EM_X86_64: return "x86-64";
    case EM_AARCH64: return "ARM64";
    case EM_ARM: return "ARM";
    case EM_PPC: return "PowerPC";
    case EM_PPC64: return "PowerPC64";
    case EM_RISCV: return "RISC-V";
    case EM_MIPS: return "MIPS";
    case EM_S390: return "S/390";
    case EM_SPARCV9: return "SPARC V9";
    default: return "machine " + std::to_string(machine);
    }
}

std::string kindText(unsigned char cls, unsigned char data, unsigned machine)
{
    std::string kind = cls == ELFCLASS64 ? "64-bit " : (cls == ELFCLASS32 ? "32-bit " : "");
    if (data != kHostData)
        kind += data == ELFDATA2MSB ? "big-endian " : "little-endian ";
    return kind + machineName(machine);
}

std::string typeText(unsigned type)
{
    switch (type) {
    case ET_EXEC: return "executable";
    case ET_REL: return "relocatable object (.o)";
    case ET_CORE: return "core dump";
    default: return "ELF file of type " + std::to_string(type);
    }
}

// The file's header and program headers, in this host's layout (the class was checked first).
using Ehdr = std::conditional_t<sizeof(void*) == 8, Elf64_Ehdr, Elf32_Ehdr>;
using Phdr = std::conditional_t<sizeof(void*) == 8, Elf64_Phdr, Elf32_Phdr>;

} // namespace

Status checkElfImage(const ImageBytes& file, const std::string& path)
{
    const uint64_t size = file.size();
    const std::string notPlugin = path + " is not an FFGL plug-in: ";
    unsigned char ident[EI_NIDENT] = {};
    if (size < sizeof ident || !file.readAt(ident, sizeof ident, 0) || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        return Status::badInput(notPlugin + "it is no ELF shared object (it lacks the ELF signature)");
    const unsigned char cls = ident[EI_CLASS];
    const unsigned char data = ident[EI_DATA];
    // The type and machine words sit at the same offsets in both classes, in the file's order.
    unsigned char words[4] = {};
    if (size < 20 || !file.readAt(words, sizeof words, 16))
        return Status::badInput(notPlugin + "the file is truncated inside its ELF header");
    const bool little = data == ELFDATA2LSB;
    const unsigned type = little ? words[0] | words[1] << 8 : words[1] | words[0] << 8;
    const unsigned machine = little ? words[2] | words[3] << 8 : words[3] | words[2] << 8;
    if ((cls != ELFCLASS32 && cls != ELFCLASS64) || (data != ELFDATA2LSB && data != ELFDATA2MSB))
        return Status::badInput(notPlugin + "its ELF header is damaged (unknown class or byte order)");
    if (type != ET_DYN)
        return Status::badInput(notPlugin + "it is a " + kindText(cls, data, machine) + " " + typeText(type) +
                                ", not a shared object");
    if (cls != kHostClass || data != kHostData || machine != kHostMachine)
        return Status::badInput(path + " is a " + kindText(cls, data, machine) + " shared object; this ffglhost is " +
                                elfHostKind());

    Ehdr header{};
    if (size < sizeof header || !file.readAt(&header, sizeof header, 0))
        return Status::badInput(notPlugin + "the file is truncated inside its ELF header");
    if (header.e_phnum == 0 || header.e_phentsize != sizeof(Phdr))
        return Status::badInput(notPlugin + "its ELF header is damaged (no usable program header table)");
    const uint64_t tableBytes = static_cast<uint64_t>(header.e_phnum) * sizeof(Phdr);
    if (!insideImage(header.e_phoff, tableBytes, size))
        return Status::badInput(notPlugin + "the file is truncated: its program headers end at byte " +
                                std::to_string(header.e_phoff + tableBytes) + ", the file has " +
                                std::to_string(size) + " bytes");
    uint64_t needed = 0;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Phdr ph{};
        if (!file.readAt(&ph, sizeof ph, header.e_phoff + static_cast<uint64_t>(i) * sizeof ph))
            return Status::badInput(notPlugin + "its program headers cannot be read");
        if (ph.p_type != PT_LOAD && ph.p_type != PT_DYNAMIC)
            continue;
        const uint64_t end = static_cast<uint64_t>(ph.p_offset) + ph.p_filesz;
        if (end < ph.p_offset)
            return Status::badInput(notPlugin + "its program headers are damaged");
        if (!insideImage(ph.p_offset, ph.p_filesz, size) && end > needed)
            needed = end;
    }
    if (needed > 0)
        return Status::badInput(notPlugin + "the file is truncated: its segments need " + std::to_string(needed) +
                                " bytes, the file has " + std::to_string(size));
    return Status();
}

std::string elfHostKind() { return kindText(kHostClass, kHostData, kHostMachine); }

} // namespace ffglhost
