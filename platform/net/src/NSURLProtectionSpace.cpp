#include <platform_net/NSURLProtectionSpace.h>

NSURLProtectionSpace::NSURLProtectionSpace(std::string host, int64_t port, std::optional<std::string> protocol,
                                           std::optional<std::string> realm, std::string authenticationMethod,
                                           std::shared_ptr<SecTrust> serverTrust)
    : host_(std::move(host)), port_(port), protocol_(std::move(protocol)), realm_(std::move(realm)),
      method_(std::move(authenticationMethod)), trust_(std::move(serverTrust)) {}
