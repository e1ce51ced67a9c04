#include "platform/Version.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "platform/Paths.h"
#include "platform/Text.h"

// The stamp read back by GetFileVersionString, kept in a section of its own so that it can be
// found in a program file without running it.
__attribute__((used, section(".lxversion"))) const char kLoxanRadioVersionStamp[] = LOXANRADIO_VERSION;

std::u16string ProgramVersion() { return Utf8ToUtf16(kLoxanRadioVersionStamp); }

namespace {

template <class T>
bool ReadAt(std::ifstream& in, uint64_t offset, T* out, size_t count = 1) {
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(sizeof(T) * count));
    return static_cast<size_t>(in.gcount()) == sizeof(T) * count;
}

}  // namespace

bool GetFileVersionString(std::u16string_view file, std::u16string* text) {
    text->assign(1, u' ');
    std::ifstream in(NativePath(file), std::ios::binary);
    if (!in) return false;
    Elf64_Ehdr eh;
    if (!ReadAt(in, 0, &eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
        eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shnum == 0 || eh.e_shstrndx >= eh.e_shnum || eh.e_shnum > 4096) {
        return false;
    }
    std::vector<Elf64_Shdr> sections(eh.e_shnum);
    if (!ReadAt(in, eh.e_shoff, sections.data(), sections.size())) return false;
    const Elf64_Shdr& names = sections[eh.e_shstrndx];
    if (names.sh_size > (1u << 20)) return false;
    std::vector<char> strtab(names.sh_size + 1, '\0');
    if (!ReadAt(in, names.sh_offset, strtab.data(), names.sh_size)) return false;
    for (const Elf64_Shdr& s : sections) {
        if (s.sh_name >= names.sh_size || std::strcmp(&strtab[s.sh_name], ".lxversion") != 0) continue;
        if (s.sh_type == SHT_NOBITS || s.sh_size == 0 || s.sh_size > 64) return false;
        std::vector<char> stamp(s.sh_size + 1, '\0');
        if (!ReadAt(in, s.sh_offset, stamp.data(), s.sh_size)) return false;
        const std::u16string version = Utf8ToUtf16(stamp.data());
        if (version.empty()) return false;
        *text = version.substr(0, 63);
        return true;
    }
    return false;
}
