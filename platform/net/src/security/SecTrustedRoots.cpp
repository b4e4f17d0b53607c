#include <platform_net/SecTrustedRoots.h>

#include "security/InstalledRoots.h"
#include "security/OpenSSLHandles.h"

#include <platform_foundation/NSLog.h>
#include <platform_net/SecBase.h>

#include <openssl/pem.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

namespace {

struct Roots {
    std::mutex mutex;
    std::vector<X509Ptr> certificates;
    bool environmentRead = false;
    uint64_t generation = 1;
};

Roots& roots() {
    static Roots* r = new Roots;  // never destroyed: handshakes may run during exit
    return *r;
}

NSErrorPtr decodeError(const std::string& what) {
    return NSError::errorWithDomain(NSOSStatusErrorDomain, errSecDecode,
                                    {{NSLocalizedDescriptionKey, Value("No certificate could be read from " + what)}});
}

// Parses every certificate of the PEM text; caller holds the lock.
NSErrorPtr addLocked(Roots& r, const std::string& pem, const std::string& what) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free);
    std::size_t added = 0;
    while (bio) {
        X509Ptr x(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
        if (!x) break;
        r.certificates.push_back(std::move(x));
        ++added;
    }
    if (!added) return decodeError(what);
    ++r.generation;
    return nullptr;
}

NSErrorPtr addFileLocked(Roots& r, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return decodeError(path + " (unreadable)");
    std::ostringstream text;
    text << in.rdbuf();
    return addLocked(r, text.str(), path);
}

void readEnvironmentLocked(Roots& r) {
    if (r.environmentRead) return;
    r.environmentRead = true;
    const char* path = std::getenv(SecTrustedRoots::kEnvironmentVariable);
    if (!path || !*path) return;
    if (auto error = addFileLocked(r, path))
        NSLog("Installed trusted roots: %s=%s adds nothing: %s", SecTrustedRoots::kEnvironmentVariable, path,
              error->localizedDescription().c_str());
}

}  // namespace

NSErrorPtr SecTrustedRoots::installPEM(const std::string& pem) {
    Roots& r = roots();
    std::lock_guard lock(r.mutex);
    readEnvironmentLocked(r);
    return addLocked(r, pem, "the PEM text");
}

NSErrorPtr SecTrustedRoots::installPEMFile(const std::string& path) {
    Roots& r = roots();
    std::lock_guard lock(r.mutex);
    readEnvironmentLocked(r);
    return addFileLocked(r, path);
}

std::size_t SecTrustedRoots::count() {
    Roots& r = roots();
    std::lock_guard lock(r.mutex);
    readEnvironmentLocked(r);
    return r.certificates.size();
}

void SecTrustedRoots::resetForTesting() {
    Roots& r = roots();
    std::lock_guard lock(r.mutex);
    r.certificates.clear();
    r.environmentRead = false;
    ++r.generation;
}

uint64_t installed_roots::generation() {
    Roots& r = roots();
    std::lock_guard lock(r.mutex);
    readEnvironmentLocked(r);
    return r.generation;
}

void installed_roots::addTo(X509_STORE* store) {
    Roots& r = roots();
    std::lock_guard lock(r.mutex);
    readEnvironmentLocked(r);
    for (const auto& x : r.certificates) X509_STORE_add_cert(store, x.get());
}
