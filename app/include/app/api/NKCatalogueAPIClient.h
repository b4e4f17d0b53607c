#pragma once
// The app's one HTTP client: a JSON session manager shared by every request of the process.
// Server trust is evaluated for real (no pinning, invalid certificates refused, the host name
// checked) against the system roots and the roots the device owner installed; an untrusted
// server fails the request with NSURLErrorServerCertificateUntrusted (-1202).
//
// Any thread may ask for the shared client; it lives for the process. Completions run on the
// main queue.

#include <memory>
#include <string>

#include <networking/NKHTTPSessionManager.h>

class NKCatalogueAPIClient : public NKHTTPSessionManager {
    NS_CLASS(NKCatalogueAPIClient, NKHTTPSessionManager)

public:
    using Ptr = std::shared_ptr<NKCatalogueAPIClient>;

    // Use sharedClient(); public for make_shared.
    explicit NKCatalogueAPIClient(const NSURLPtr& baseURL = nullptr) : NKHTTPSessionManager(baseURL) {}

    // The shared client, made on the first call with that call's URL as its base URL (a path
    // gains a trailing "/"); the argument of every later call is ignored.
    static Ptr sharedClient(const std::string& URLString);
};
