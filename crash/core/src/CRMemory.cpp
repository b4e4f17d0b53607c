#include <crash_core/CRMemory.h>

#include <platform_kernel/SafeMemory.h>

namespace {
// Reads that only test readability land here; their bytes are never used, so threads may
// share it.
char gScratch[CRMEM_SCRATCH_SIZE];
}  // namespace

extern "C" {

bool crmem_copySafely(const void* source, void* destination, size_t count) {
    return kernel::safeRead(source, destination, count);
}

bool crmem_isMemoryReadable(const void* address, size_t count) {
    return count > 0 && crmem_maxReadableBytes(address, count) == count;
}

size_t crmem_copyMaxPossible(const void* source, void* destination, size_t count) {
    return kernel::safeReadPrefix(source, destination, count);
}

size_t crmem_maxReadableBytes(const void* address, size_t count) {
    const char* p = static_cast<const char*>(address);
    size_t done = 0;
    while (done < count) {
        size_t piece = count - done < sizeof gScratch ? count - done : sizeof gScratch;
        size_t n = kernel::safeReadPrefix(p + done, gScratch, piece);
        done += n;
        if (n < piece) break;
    }
    return done;
}

}  // extern "C"
