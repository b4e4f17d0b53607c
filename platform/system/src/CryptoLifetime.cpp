// libcrypto frees its global tables from an exit handler, while worker threads (analytics
// envelopes, keychain items, TLS) may still be hashing or encrypting: they would then read
// freed memory and corrupt the heap as the process ends. Initialising the library without
// that handler, before anything else does, keeps its state for the whole life of the process;
// the system reclaims it.
#include <openssl/crypto.h>

namespace {

__attribute__((constructor)) void keepCryptoStateForTheProcessLifetime() {
    OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
}

}  // namespace
