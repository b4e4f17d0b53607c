#include "ElfFile.h"

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kernel {

ElfFile::~ElfFile() {
    if (mapped_) munmap(const_cast<uint8_t*>(data_), size_);
}

bool ElfFile::open(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    void* m = MAP_FAILED;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        m = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (m == MAP_FAILED) return false;
    data_ = static_cast<const uint8_t*>(m);
    size_ = static_cast<std::size_t>(st.st_size);
    mapped_ = true;
    if (parse()) return true;
    munmap(m, size_);
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
    return false;
}

bool ElfFile::useMemory(const uint8_t* data, std::size_t size) {
    data_ = data;
    size_ = size;
    return parse();
}

bool ElfFile::parse() {
    if (size_ < sizeof(ElfW(Ehdr))) return false;
    const auto* eh = reinterpret_cast<const ElfW(Ehdr)*>(data_);
    if (std::memcmp(eh->e_ident, ELFMAG, SELFMAG) != 0 || eh->e_ident[EI_CLASS] != ELFCLASS64) return false;
    if (eh->e_shentsize != sizeof(ElfW(Shdr)) || eh->e_shoff == 0 || eh->e_shnum == 0) return true;  // no sections
    if (eh->e_shoff > size_ || eh->e_shnum > (size_ - eh->e_shoff) / sizeof(ElfW(Shdr))) return false;
    const auto* sections = reinterpret_cast<const ElfW(Shdr)*>(data_ + eh->e_shoff);
    auto inFile = [&](uint64_t offset, uint64_t size) { return offset <= size_ && size <= size_ - offset; };
    for (unsigned i = 0; i < eh->e_shnum; ++i) {
        const ElfW(Shdr)& s = sections[i];
        if (s.sh_type != SHT_SYMTAB && s.sh_type != SHT_DYNSYM) continue;
        if (s.sh_entsize != sizeof(ElfW(Sym)) || !inFile(s.sh_offset, s.sh_size) || s.sh_link >= eh->e_shnum)
            continue;
        const ElfW(Shdr)& str = sections[s.sh_link];
        if (str.sh_type != SHT_STRTAB || !inFile(str.sh_offset, str.sh_size) || str.sh_size == 0) continue;
        // The table's strings must end with a NUL, so every name read from it is terminated.
        if (data_[str.sh_offset + str.sh_size - 1] != 0) continue;
        SymbolTable& t = s.sh_type == SHT_SYMTAB ? symtab_ : dynsym_;
        t.symbols = reinterpret_cast<const ElfW(Sym)*>(data_ + s.sh_offset);
        t.count = s.sh_size / sizeof(ElfW(Sym));
        t.strings = reinterpret_cast<const char*>(data_ + str.sh_offset);
        t.stringSize = str.sh_size;
    }
    return true;
}

}  // namespace kernel
