#pragma once
// Internal: a random (version 4) UUID's 16 bytes from one getrandom(2) call. The UUID
// library's generator makes several system calls a UUID, which shows where many are
// made at once (a download or a notification each). Any thread.

#include <sys/random.h>
#include <uuid/uuid.h>

#include <cerrno>

inline void makeRandomUUID(uuid_t out) {
    std::size_t got = 0;
    while (got < sizeof(uuid_t)) {
        const ssize_t n = ::getrandom(out + got, sizeof(uuid_t) - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            uuid_generate_random(out);  // no kernel source: the library's own
            return;
        }
        got += static_cast<std::size_t>(n);
    }
    out[6] = static_cast<unsigned char>((out[6] & 0x0F) | 0x40);  // version 4
    out[8] = static_cast<unsigned char>((out[8] & 0x3F) | 0x80);  // the standard's variant
}
