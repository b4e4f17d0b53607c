#pragma once
// Cryptographically strong random numbers from the operating system (getrandom).
//
// arc4random(), arc4random_uniform(upper) (uniform, no modulo bias) and arc4random_buf(buf, n)
// are the C library's when it has them (glibc 2.36+, itself on getrandom); otherwise they are
// defined by this library on getrandom.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#if !(defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 36)))
#define PLATFORM_FOUNDATION_OWN_ARC4RANDOM 1
extern "C" {
uint32_t arc4random(void);
uint32_t arc4random_uniform(uint32_t upperBound);
void arc4random_buf(void* buf, std::size_t nbytes);
}
#endif

struct __SecRandom;
using SecRandomRef = const __SecRandom*;
inline constexpr SecRandomRef kSecRandomDefault = nullptr;
inline constexpr int errSecSuccess = 0;
inline constexpr int errSecAllocate = -108;

// Fills `bytes` with `count` random bytes; errSecSuccess, or errSecAllocate when the system
// source fails (the buffer is then zeroed rather than left half-random).
int SecRandomCopyBytes(SecRandomRef rnd, std::size_t count, void* bytes);

// A uniform value in [0, upperBound) from `randomWord`, a source of uniform 32-bit words, by
// rejection (no modulo bias); 0 when upperBound < 2. Exposed for the fallback and for tests.
template <class Source>
uint32_t uniformBelow(uint32_t upperBound, Source&& randomWord) {
    if (upperBound < 2) return 0;
    // 2^32 mod upperBound: words below it would make the low residues more likely.
    const uint32_t threshold = static_cast<uint32_t>(-upperBound) % upperBound;
    for (;;) {
        const uint32_t r = randomWord();
        if (r >= threshold) return r % upperBound;
    }
}
