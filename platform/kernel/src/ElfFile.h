#pragma once
// An ELF file mapped read-only (or an image's own mapping), and its symbol tables.
// Normal time only; the mapping is never released while the object lives.

#include <cstddef>
#include <cstdint>
#include <link.h>

namespace kernel {

class ElfFile {
public:
    struct SymbolTable {
        const ElfW(Sym)* symbols = nullptr;
        std::size_t count = 0;
        const char* strings = nullptr;
        std::size_t stringSize = 0;
    };

    ElfFile() = default;
    ElfFile(const ElfFile&) = delete;
    ElfFile& operator=(const ElfFile&) = delete;
    ~ElfFile();

    // Maps the file and finds its tables; false when it cannot be read as 64-bit ELF.
    bool open(const char* path);
    // Reads the tables from memory that stays mapped (the vDSO's image).
    bool useMemory(const uint8_t* data, std::size_t size);

    const SymbolTable& dynamicSymbols() const { return dynsym_; }
    const SymbolTable& staticSymbols() const { return symtab_; }

private:
    bool parse();

    const uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
    SymbolTable dynsym_, symtab_;
};

}  // namespace kernel
