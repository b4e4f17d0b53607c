#pragma once
// Internal: the installed roots for the trust evaluation.

#include <openssl/x509_vfy.h>

#include <cstdint>

namespace installed_roots {
// Changes whenever roots are added or reset (after the environment's file is read).
uint64_t generation();
// Adds every installed root to the store.
void addTo(X509_STORE* store);
}  // namespace installed_roots
