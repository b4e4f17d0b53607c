#include <platform_foundation/Random.h>

#include <cerrno>
#include <cstring>

#include <sys/random.h>

namespace {

// getrandom may return fewer bytes than asked (signals, large requests): loop until done.
bool fillRandom(void* buf, std::size_t n) {
    auto* p = static_cast<unsigned char*>(buf);
    while (n > 0) {
        const ssize_t got = getrandom(p, n, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

int SecRandomCopyBytes(SecRandomRef, std::size_t count, void* bytes) {
    if (count == 0) return errSecSuccess;
    if (!bytes) return errSecAllocate;
    if (fillRandom(bytes, count)) return errSecSuccess;
    std::memset(bytes, 0, count);
    return errSecAllocate;
}

#ifdef PLATFORM_FOUNDATION_OWN_ARC4RANDOM
extern "C" {

void arc4random_buf(void* buf, std::size_t nbytes) {
    // Without entropy there is no safe answer to give.
    if (!fillRandom(buf, nbytes)) std::abort();
}

uint32_t arc4random(void) {
    uint32_t r;
    arc4random_buf(&r, sizeof r);
    return r;
}

uint32_t arc4random_uniform(uint32_t upperBound) { return uniformBelow(upperBound, [] { return arc4random(); }); }
}
#endif
