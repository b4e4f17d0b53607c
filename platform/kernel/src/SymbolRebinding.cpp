#include <platform_kernel/SymbolRebinding.h>

#include <cstdio>
#include <cstring>
#include <elf.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

namespace kernel {

namespace {

struct DynamicInfo {
    const ElfW(Sym)* symbols = nullptr;
    const char* strings = nullptr;
    const ElfW(Rela)* jumpRelocations = nullptr;
    size_t jumpRelocationsSize = 0;
    const ElfW(Rela)* relocations = nullptr;
    size_t relocationsSize = 0;
};

// The loader relocates most pointers of a dynamic section in place; the vDSO's stay
// relative.
uintptr_t pointer(uintptr_t bias, ElfW(Addr) value) { return value < bias ? bias + value : value; }

bool readDynamic(uintptr_t bias, const ElfW(Phdr)* headers, int count, DynamicInfo* info) {
    const ElfW(Dyn)* dynamic = nullptr;
    for (int i = 0; i < count; ++i)
        if (headers[i].p_type == PT_DYNAMIC) dynamic = reinterpret_cast<const ElfW(Dyn)*>(bias + headers[i].p_vaddr);
    if (!dynamic) return false;
    for (const ElfW(Dyn)* d = dynamic; d->d_tag != DT_NULL; ++d) {
        switch (d->d_tag) {
        case DT_SYMTAB: info->symbols = reinterpret_cast<const ElfW(Sym)*>(pointer(bias, d->d_un.d_ptr)); break;
        case DT_STRTAB: info->strings = reinterpret_cast<const char*>(pointer(bias, d->d_un.d_ptr)); break;
        case DT_JMPREL: info->jumpRelocations = reinterpret_cast<const ElfW(Rela)*>(pointer(bias, d->d_un.d_ptr)); break;
        case DT_PLTRELSZ: info->jumpRelocationsSize = d->d_un.d_val; break;
        case DT_RELA: info->relocations = reinterpret_cast<const ElfW(Rela)*>(pointer(bias, d->d_un.d_ptr)); break;
        case DT_RELASZ: info->relocationsSize = d->d_un.d_val; break;
        default: break;
        }
    }
    return info->symbols && info->strings;
}

// The protection of the mapping holding the address, from /proc/self/maps.
int protectionOf(uintptr_t address) {
    FILE* maps = std::fopen("/proc/self/maps", "re");
    if (!maps) return PROT_READ;
    char line[512];
    int protection = PROT_READ;
    while (std::fgets(line, sizeof line, maps)) {
        unsigned long start = 0, end = 0;
        char perms[5] = {};
        if (std::sscanf(line, "%lx-%lx %4s", &start, &end, perms) != 3) continue;
        if (address < start || address >= end) continue;
        protection = (perms[0] == 'r' ? PROT_READ : 0) | (perms[1] == 'w' ? PROT_WRITE : 0) |
                     (perms[2] == 'x' ? PROT_EXEC : 0);
        break;
    }
    std::fclose(maps);
    return protection;
}

bool writeSlot(uintptr_t slot, uintptr_t value) {
    int protection = protectionOf(slot);
    long pageSize = sysconf(_SC_PAGESIZE);
    void* page = reinterpret_cast<void*>(slot & ~uintptr_t(pageSize - 1));
    if (!(protection & PROT_WRITE) && mprotect(page, size_t(pageSize), protection | PROT_WRITE) != 0) return false;
    *reinterpret_cast<uintptr_t*>(slot) = value;
    if (!(protection & PROT_WRITE)) mprotect(page, size_t(pageSize), protection);
    return true;
}

struct Request {
    const char* symbol;
    void* replacement;
    RebindVisitor visit;
    void* context;
    uintptr_t onlyBias;
    bool onlyOne;
    int rewritten;
};

uintptr_t lowestLoad(uintptr_t bias, const ElfW(Phdr)* headers, int count) {
    uintptr_t lowest = UINTPTR_MAX;
    for (int i = 0; i < count; ++i)
        if (headers[i].p_type == PT_LOAD && bias + headers[i].p_vaddr < lowest) lowest = bias + headers[i].p_vaddr;
    return lowest == UINTPTR_MAX ? bias : lowest;
}

void rebindTable(const DynamicInfo& info, const ElfW(Rela)* table, size_t size, uintptr_t bias, uintptr_t base,
                 Request* r) {
    if (!table) return;
    for (size_t i = 0; i < size / sizeof(ElfW(Rela)); ++i) {
        const ElfW(Rela)& rel = table[i];
        auto type = ELF64_R_TYPE(rel.r_info);
        if (type != R_X86_64_JUMP_SLOT && type != R_X86_64_GLOB_DAT) continue;
        const ElfW(Sym)& sym = info.symbols[ELF64_R_SYM(rel.r_info)];
        if (std::strcmp(info.strings + sym.st_name, r->symbol) != 0) continue;
        uintptr_t slot = bias + rel.r_offset;
        uintptr_t current = *reinterpret_cast<const uintptr_t*>(slot);
        if (current == reinterpret_cast<uintptr_t>(r->replacement)) continue;
        if (r->visit) r->visit(base, slot, current, r->context);
        if (writeSlot(slot, reinterpret_cast<uintptr_t>(r->replacement))) r->rewritten++;
    }
}

int visitImage(dl_phdr_info* image, size_t, void* context) {
    auto* r = static_cast<Request*>(context);
    uintptr_t bias = image->dlpi_addr;
    if (r->onlyOne && bias != r->onlyBias) return 0;
    DynamicInfo info;
    if (!readDynamic(bias, image->dlpi_phdr, image->dlpi_phnum, &info)) return 0;
    uintptr_t base = lowestLoad(bias, image->dlpi_phdr, image->dlpi_phnum);
    rebindTable(info, info.jumpRelocations, info.jumpRelocationsSize, bias, base, r);
    rebindTable(info, info.relocations, info.relocationsSize, bias, base, r);
    return 0;
}

struct Holds {
    uintptr_t bias;
    uintptr_t address;
    bool holds;
};

}  // namespace

int rebindSymbolInLoadedImages(const char* symbol, void* replacement, RebindVisitor visit, void* context) {
    Request r{symbol, replacement, visit, context, 0, false, 0};
    dl_iterate_phdr(visitImage, &r);
    return r.rewritten;
}

int rebindSymbolInImage(uintptr_t bias, const char* symbol, void* replacement, RebindVisitor visit, void* context) {
    Request r{symbol, replacement, visit, context, bias, true, 0};
    dl_iterate_phdr(visitImage, &r);
    return r.rewritten;
}

bool addressIsInImage(uintptr_t bias, uintptr_t address) {
    Holds h{bias, address, false};
    dl_iterate_phdr(
        [](dl_phdr_info* image, size_t, void* context) {
            auto* h = static_cast<Holds*>(context);
            if (image->dlpi_addr != h->bias) return 0;
            for (int i = 0; i < image->dlpi_phnum; ++i) {
                const auto& ph = image->dlpi_phdr[i];
                if (ph.p_type == PT_LOAD && h->address >= h->bias + ph.p_vaddr &&
                    h->address < h->bias + ph.p_vaddr + ph.p_memsz)
                    h->holds = true;
            }
            return 1;
        },
        &h);
    return h.holds;
}

}  // namespace kernel
