#include <crash_core/CRID.h>

#include <cerrno>
#include <cstdint>
#include <sys/random.h>
#include <time.h>

extern "C" void crid_generate(char* out) {
    uint8_t bytes[16] = {};
    size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t n = getrandom(bytes + got, sizeof bytes - got, GRND_NONBLOCK);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    if (got < sizeof bytes) {
        // No entropy yet (early boot): mix the clocks, so ids still differ.
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        uint64_t x = static_cast<uint64_t>(t.tv_nsec) ^ (static_cast<uint64_t>(t.tv_sec) << 30);
        clock_gettime(CLOCK_REALTIME, &t);
        x ^= static_cast<uint64_t>(t.tv_nsec) * 0x9E3779B97F4A7C15ull;
        for (size_t i = got; i < sizeof bytes; ++i) {
            x ^= x >> 12, x ^= x << 25, x ^= x >> 27;
            bytes[i] = static_cast<uint8_t>((x * 0x2545F4914F6CDD1Dull) >> 56);
        }
    }
    static const char kHex[] = "0123456789ABCDEF";
    char* p = out;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) *p++ = '-';
        *p++ = kHex[bytes[i] >> 4];
        *p++ = kHex[bytes[i] & 15];
    }
    *p = '\0';
}
