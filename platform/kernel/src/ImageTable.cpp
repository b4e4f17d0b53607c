#include <platform_kernel/ImageTable.h>

#include "ElfFile.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <map>
#include <mutex>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kernel {

namespace {

// Everything one loaded image needs; made once per (path, bias) and never freed.
struct ImageData {
    Image image;
    std::string path;
    ElfFile file;
    std::vector<ImageSymbol> symbols;
    std::vector<ImageSymbol> dynamicSymbols;
};

struct Registry {
    std::mutex m;
    std::map<std::pair<std::string, uintptr_t>, ImageData*> known;
    ImageList lists[2];
    std::atomic<int> current{-1};
    std::atomic<uint64_t> generation{0};
    std::vector<std::pair<ImageAddedCallback, void*>> callbacks;
    std::mutex callbackMutex;
};

Registry& registry() {
    static Registry* r = new Registry;  // never destroyed: crash-time readers outlive exit
    return *r;
}

std::string mainProgramPath() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

void readBuildId(const dl_phdr_info* info, Image& image) {
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_NOTE) continue;
        const auto* p = reinterpret_cast<const uint8_t*>(info->dlpi_addr + ph.p_vaddr);
        const uint8_t* end = p + ph.p_memsz;
        while (p + sizeof(ElfW(Nhdr)) <= end) {
            const auto* note = reinterpret_cast<const ElfW(Nhdr)*>(p);
            const uint8_t* name = p + sizeof(ElfW(Nhdr));
            const uint8_t* desc = name + ((note->n_namesz + 3) & ~3u);
            const uint8_t* next = desc + ((note->n_descsz + 3) & ~3u);
            if (next > end) break;
            if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 && std::memcmp(name, "GNU", 4) == 0 &&
                note->n_descsz <= sizeof image.buildId) {
                std::memcpy(image.buildId, desc, note->n_descsz);
                image.buildIdSize = static_cast<int>(note->n_descsz);
                return;
            }
            p = next;
        }
    }
}

void collectSymbols(ImageData& d) {
    auto add = [&](const ElfFile::SymbolTable& table, std::vector<ImageSymbol>& out) {
        for (std::size_t i = 0; i < table.count; ++i) {
            const ElfW(Sym)& s = table.symbols[i];
            int type = ELF64_ST_TYPE(s.st_info);
            if (type != STT_FUNC && type != STT_OBJECT && type != STT_NOTYPE && type != STT_GNU_IFUNC) continue;
            if (s.st_shndx == SHN_UNDEF || s.st_value == 0 || s.st_name == 0 || s.st_name >= table.stringSize) continue;
            const char* name = table.strings + s.st_name;
            if (!*name) continue;
            out.push_back({d.image.bias + s.st_value, name});
        }
    };
    add(d.file.dynamicSymbols(), d.dynamicSymbols);
    d.symbols = d.dynamicSymbols;
    add(d.file.staticSymbols(), d.symbols);
    std::stable_sort(d.symbols.begin(), d.symbols.end(),
                     [](const ImageSymbol& a, const ImageSymbol& b) { return a.address < b.address; });
    d.image.symbols = d.symbols.data();
    d.image.symbolCount = d.symbols.size();
    d.image.dynamicSymbols = d.dynamicSymbols.data();
    d.image.dynamicSymbolCount = d.dynamicSymbols.size();
}

ImageData* describe(const dl_phdr_info* info, const std::string& path) {
    auto* d = new ImageData;
    d->path = path;
    Image& image = d->image;
    image.path = d->path.c_str();
    image.bias = info->dlpi_addr;
    uintptr_t low = UINTPTR_MAX, high = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type == PT_GNU_EH_FRAME) image.ehFrameHeader = info->dlpi_addr + ph.p_vaddr;
        if (ph.p_type != PT_LOAD) continue;
        low = std::min<uintptr_t>(low, ph.p_vaddr);
        high = std::max<uintptr_t>(high, ph.p_vaddr + ph.p_memsz);
        if (image.segmentCount < kMaxImageSegments)
            image.segments[image.segmentCount++] = {info->dlpi_addr + ph.p_vaddr,
                                                    info->dlpi_addr + ph.p_vaddr + ph.p_memsz, ph.p_flags};
    }
    if (low == UINTPTR_MAX) low = high = 0;
    image.vmAddress = low;
    image.size = high - low;
    image.header = info->dlpi_addr + low;
    readBuildId(info, image);
    // Symbols from the file; an image without one (the vDSO) from its own mapping.
    if (!d->file.open(path.c_str()) && image.size)
        d->file.useMemory(reinterpret_cast<const uint8_t*>(image.header), image.size);
    collectSymbols(*d);
    return d;
}

struct Walk {
    Registry* r;
    ImageList* list;
    std::vector<ImageData*> added;
    bool first = true;
};

int onImage(dl_phdr_info* info, size_t, void* context) {
    auto* w = static_cast<Walk*>(context);
    std::string path = info->dlpi_name ? info->dlpi_name : "";
    if (w->first && path.empty()) path = mainProgramPath();
    w->first = false;
    if (path.empty()) return 0;  // an image without a name and not the program
    if (w->list->count >= kMaxImages) return 1;
    auto key = std::make_pair(path, static_cast<uintptr_t>(info->dlpi_addr));
    ImageData*& d = w->r->known[key];
    if (!d) {
        d = describe(info, path);
        w->added.push_back(d);
    }
    w->list->images[w->list->count++] = &d->image;
    return 0;
}

}  // namespace

void refreshImageTable() {
    Registry& r = registry();
    std::vector<ImageData*> added;
    {
        std::lock_guard lock(r.m);
        int next = r.current.load() == 0 ? 1 : 0;
        ImageList& list = r.lists[next];
        list.count = 0;
        Walk w{&r, &list, {}};
        dl_iterate_phdr(onImage, &w);
        r.current.store(next, std::memory_order_release);
        r.generation.fetch_add(1, std::memory_order_release);
        added = std::move(w.added);
    }
    std::lock_guard lock(r.callbackMutex);
    for (ImageData* d : added)
        for (auto& [cb, ctx] : r.callbacks) cb(d->image, ctx);
}

// After a dlopen or dlclose: a table in use is rebuilt, one nobody has asked for is left to be
// built on first use (building describes every image, its symbols included), but the count of
// builds still moves, so what was cached by code address is known stale either way.
static void imagesMayHaveChanged() {
    Registry& r = registry();
    {
        std::lock_guard lock(r.m);
        if (r.current.load() < 0) {
            r.generation.fetch_add(1, std::memory_order_release);
            return;
        }
    }
    refreshImageTable();
}

const ImageList& currentImages() {
    Registry& r = registry();
    int c = r.current.load(std::memory_order_acquire);
    if (c < 0) {
        refreshImageTable();
        c = r.current.load(std::memory_order_acquire);
    }
    return r.lists[c];
}

uint64_t imageTableGeneration() { return registry().generation.load(std::memory_order_acquire); }

bool imageHolds(const Image& image, uintptr_t address, std::size_t n) {
    for (int i = 0; i < image.segmentCount; ++i)
        if (address >= image.segments[i].start && address < image.segments[i].end &&
            n <= image.segments[i].end - address)
            return true;
    return false;
}

const Image* imageContaining(uintptr_t address) {
    const ImageList& list = currentImages();
    for (int i = 0; i < list.count; ++i)
        if (imageHolds(*list.images[i], address)) return list.images[i];
    return nullptr;
}

const ImageSymbol* nearestSymbol(const Image& image, uintptr_t address) {
    const ImageSymbol* begin = image.symbols;
    // First symbol above the address; the one before it is the last at or below.
    const ImageSymbol* lo = begin;
    std::size_t n = image.symbolCount;
    while (n > 0) {
        std::size_t half = n / 2;
        if (lo[half].address <= address) {
            lo += half + 1;
            n -= half + 1;
        } else {
            n = half;
        }
    }
    return lo == begin ? nullptr : lo - 1;
}

const ImageSymbol* dynamicSymbolNamed(const Image& image, const char* name) {
    if (!name) return nullptr;
    for (std::size_t i = 0; i < image.dynamicSymbolCount; ++i)
        if (std::strcmp(image.dynamicSymbols[i].name, name) == 0) return &image.dynamicSymbols[i];
    return nullptr;
}

void addImageCallback(ImageAddedCallback callback, void* context) {
    if (!callback) return;
    const ImageList& list = currentImages();
    Registry& r = registry();
    std::lock_guard lock(r.callbackMutex);
    r.callbacks.emplace_back(callback, context);
    for (int i = 0; i < list.count; ++i) callback(*list.images[i], context);
}

}  // namespace kernel

// Every dlopen / dlclose of the process comes here first (this library precedes libc in
// the lookup order) and tells the image table once the loader is done.
extern "C" __attribute__((visibility("default"))) void* dlopen(const char* file, int mode) {
    using Fn = void* (*)(const char*, int);
    static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "dlopen"));
    void* handle = real ? real(file, mode) : nullptr;
    if (handle) kernel::imagesMayHaveChanged();
    return handle;
}

extern "C" __attribute__((visibility("default"))) int dlclose(void* handle) {
    using Fn = int (*)(void*);
    static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "dlclose"));
    int result = real ? real(handle) : -1;
    kernel::imagesMayHaveChanged();
    return result;
}
