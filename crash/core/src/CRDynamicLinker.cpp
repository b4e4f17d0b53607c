#include <crash_core/CRDynamicLinker.h>
#include <crash_core/CRMemory.h>
#include <crash_core/CRSymbolicator.h>

#include <platform_kernel/ImageTable.h>

#include <cstdlib>
#include <cstring>
#include <cxxabi.h>

namespace {

// The crash-information record an image may define as the dynamic symbol "__crash_info".
constexpr const char* kCrashInfoSymbol = "__crash_info";
constexpr size_t kCrashInfoMinSize = 40;
constexpr size_t kCrashMessageLimit = 1025;

const kernel::Image* imageAt(uint32_t index) {
    const kernel::ImageList& list = kernel::currentImages();
    return index < static_cast<uint32_t>(list.count) ? list.images[index] : nullptr;
}

// A message pointer is kept when its text is readable and ends within 1025 bytes.
const char* safeMessage(uint64_t pointer) {
    if (!pointer) return nullptr;
    const char* text = reinterpret_cast<const char*>(pointer);
    char copy[kCrashMessageLimit];
    size_t n = crmem_copyMaxPossible(text, copy, sizeof copy);
    if (n == 0 || !std::memchr(copy, 0, n)) return nullptr;
    return text;
}

void readCrashInfo(const kernel::Image& image, CRBinaryImage* out) {
    const kernel::ImageSymbol* s = kernel::dynamicSymbolNamed(image, kCrashInfoSymbol);
    if (!s) return;
    unsigned char record[kCrashInfoMinSize];
    if (!crmem_copySafely(reinterpret_cast<const void*>(s->address), record, sizeof record)) return;
    uint32_t version;
    uint64_t message, message2;
    std::memcpy(&version, record, 4);
    std::memcpy(&message, record + 8, 8);
    std::memcpy(&message2, record + 32, 8);
    if (version != 4 && version != 5) return;
    if (!message && !message2) return;
    out->crashInfoMessage = safeMessage(message);
    out->crashInfoMessage2 = safeMessage(message2);
}

// ".so.X.Y.Z" at the end of the file name: up to three numbers, missing ones 0.
void readVersions(const char* path, CRBinaryImage* out) {
    const char* so = nullptr;
    for (const char* p = path; (p = std::strstr(p, ".so.")); p += 4) so = p;
    if (!so) return;
    uint64_t parts[3] = {0, 0, 0};
    const char* p = so + 4;
    for (int i = 0; i < 3; ++i) {
        if (*p < '0' || *p > '9') return;
        while (*p >= '0' && *p <= '9') parts[i] = parts[i] * 10 + static_cast<uint64_t>(*p++ - '0');
        if (*p == '\0') break;
        if (*p != '.' || i == 2) return;
        ++p;
    }
    out->majorVersion = parts[0];
    out->minorVersion = parts[1];
    out->revisionVersion = parts[2];
}

void describe(const kernel::Image& image, CRBinaryImage* out) {
    std::memset(out, 0, sizeof *out);
    out->address = image.header;
    out->vmAddress = image.vmAddress;
    out->size = image.size;
    out->name = image.path;
    out->uuid = image.buildIdSize >= 16 ? image.buildId : nullptr;
    out->cpuType = CRDL_CPU_TYPE_X86_64;
    out->cpuSubType = CRDL_CPU_SUBTYPE_X86_64_ALL;
    const char* slash = std::strrchr(image.path, '/');
    readVersions(slash ? slash + 1 : image.path, out);
    readCrashInfo(image, out);
}

}  // namespace

extern "C" {

uint32_t crdl_imageCount(void) {
    return static_cast<uint32_t>(kernel::currentImages().count);
}

uint32_t crdl_imageNamed(const char* name, bool exactMatch) {
    if (!name) return UINT32_MAX;
    const kernel::ImageList& list = kernel::currentImages();
    for (int i = 0; i < list.count; ++i) {
        const char* path = list.images[i]->path;
        if (exactMatch ? std::strcmp(path, name) == 0 : std::strstr(path, name) != nullptr)
            return static_cast<uint32_t>(i);
    }
    return UINT32_MAX;
}

const uint8_t* crdl_imageUUID(const char* name, bool exactMatch) {
    const kernel::Image* image = imageAt(crdl_imageNamed(name, exactMatch));
    return image && image->buildIdSize >= 16 ? image->buildId : nullptr;
}

bool crdl_dladdr(uintptr_t address, Dl_info* info) {
    std::memset(info, 0, sizeof *info);
    const kernel::Image* image = kernel::imageContaining(address);
    if (!image) return false;
    info->dli_fname = image->path;
    info->dli_fbase = reinterpret_cast<void*>(image->header);
    if (const kernel::ImageSymbol* s = kernel::nearestSymbol(*image, address)) {
        info->dli_sname = s->name;
        info->dli_saddr = reinterpret_cast<void*>(s->address);
    }
    return true;
}

bool crdl_getBinaryImage(int index, CRBinaryImage* image) {
    const kernel::Image* found = index >= 0 ? imageAt(static_cast<uint32_t>(index)) : nullptr;
    if (!found) return false;
    describe(*found, image);
    return true;
}

bool crdl_getBinaryImageForHeader(const void* header, const char* name, CRBinaryImage* image) {
    const kernel::ImageList& list = kernel::currentImages();
    for (int i = 0; i < list.count; ++i) {
        if (list.images[i]->header != reinterpret_cast<uintptr_t>(header)) continue;
        describe(*list.images[i], image);
        if (name) image->name = name;
        return true;
    }
    return false;
}

char* crdm_demangleCPP(const char* mangledName) {
    if (!mangledName) return nullptr;
    int status = 0;
    char* result = abi::__cxa_demangle(mangledName, nullptr, nullptr, &status);
    if (status != 0) {
        std::free(result);
        return nullptr;
    }
    return result;
}

bool crsymbolicator_symbolicate(CRStackCursor* cursor) {
    uintptr_t address = cursor->stackEntry.address;
    uintptr_t lookup = cursor->state.isExactAddress || address == 0 ? address : address - 1;
    Dl_info info;
    if (!crdl_dladdr(lookup, &info)) {
        cursor->stackEntry.imageName = nullptr;
        cursor->stackEntry.imageAddress = 0;
        cursor->stackEntry.symbolName = nullptr;
        cursor->stackEntry.symbolAddress = 0;
        return false;
    }
    cursor->stackEntry.imageName = info.dli_fname;
    cursor->stackEntry.imageAddress = reinterpret_cast<uintptr_t>(info.dli_fbase);
    cursor->stackEntry.symbolName = info.dli_sname;
    cursor->stackEntry.symbolAddress = reinterpret_cast<uintptr_t>(info.dli_saddr);
    return true;
}

}  // extern "C"
