#pragma once
// The loaded ELF images of this process, kept in a table that crash-time code reads
// without locks, allocation or the dynamic linker.
//
// The table is built from dl_iterate_phdr at normal time: when first prepared, and after
// every dlopen / dlclose (this library exports both and forwards them). It is double
// buffered: a rebuild fills the inactive copy and then publishes it with one atomic
// store, so a reader never sees a half-built table. The per-image data (symbol index,
// mapped file) of an image that is unloaded is kept, never freed: a crash-time reader
// may still hold it.

#include <cstddef>
#include <cstdint>

namespace kernel {

constexpr int kMaxImages = 512;
constexpr int kMaxImageSegments = 16;

struct ImageSegment {
    uintptr_t start = 0;  // load bias + p_vaddr
    uintptr_t end = 0;    // start + p_memsz
    uint32_t flags = 0;   // PF_R | PF_W | PF_X
};

struct ImageSymbol {
    uintptr_t address;  // load bias + st_value
    const char* name;   // whole ELF name (points into the mapped file or the image)
};

struct Image {
    const char* path = nullptr;  // the main program's from /proc/self/exe
    uintptr_t bias = 0;          // dlpi_addr
    uintptr_t header = 0;        // address of the lowest PT_LOAD (the ELF header)
    uintptr_t vmAddress = 0;     // lowest p_vaddr
    uint64_t size = 0;           // span of the PT_LOADs
    int segmentCount = 0;
    ImageSegment segments[kMaxImageSegments];
    uint8_t buildId[32] = {};
    int buildIdSize = 0;         // 0: none
    uintptr_t ehFrameHeader = 0; // PT_GNU_EH_FRAME, 0 when none
    // Defined FUNC / OBJECT / NOTYPE symbols of .dynsym and .symtab with a non-zero value,
    // ascending by address (equal addresses keep table order: .dynsym, then .symtab).
    const ImageSymbol* symbols = nullptr;
    std::size_t symbolCount = 0;
    // Dynamic symbols only, for lookups by name (same order as in .dynsym).
    const ImageSymbol* dynamicSymbols = nullptr;
    std::size_t dynamicSymbolCount = 0;
};

struct ImageList {
    int count = 0;
    const Image* images[kMaxImages] = {};
};

// Builds the table (first call) or rebuilds it. Normal time only; thread-safe.
void refreshImageTable();

// The current table: linker order, main program first. Builds it on first use at
// normal time; crash-time callers must have called refreshImageTable before.
// Async-signal-safe once built.
[[nodiscard]] const ImageList& currentImages();

// Counts the table's builds: a change means images may have come or gone since, so
// anything cached by code address is stale. Async-signal-safe.
[[nodiscard]] uint64_t imageTableGeneration();

// The image whose PT_LOAD ranges hold the address, or nullptr. Async-signal-safe.
[[nodiscard]] const Image* imageContaining(uintptr_t address);

// True when the address lies in one of the image's PT_LOAD ranges (n bytes from it).
[[nodiscard]] bool imageHolds(const Image& image, uintptr_t address, std::size_t n = 1);

// The nearest symbol at or below the address (ties: the later symbol), or nullptr when
// the address lies before the image's first symbol. Async-signal-safe.
[[nodiscard]] const ImageSymbol* nearestSymbol(const Image& image, uintptr_t address);

// The dynamic symbol of that name, or nullptr. Async-signal-safe.
[[nodiscard]] const ImageSymbol* dynamicSymbolNamed(const Image& image, const char* name);

// Runs callback(image, context) for every present image now and for every image added
// later (on the thread that loads it). Normal time only.
using ImageAddedCallback = void (*)(const Image& image, void* context);
void addImageCallback(ImageAddedCallback callback, void* context);

}  // namespace kernel
