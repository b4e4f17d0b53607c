#pragma once
// Where an authentication challenge comes from: host, port, protocol, realm, the method of
// authentication and, for a server-trust challenge, the server's trust.

#include <platform_runtime/NSObject.h>

#include <memory>
#include <optional>
#include <string>

class SecTrust;

inline constexpr char NSURLAuthenticationMethodDefault[] = "NSURLAuthenticationMethodDefault";
inline constexpr char NSURLAuthenticationMethodHTTPBasic[] = "NSURLAuthenticationMethodHTTPBasic";
inline constexpr char NSURLAuthenticationMethodHTTPDigest[] = "NSURLAuthenticationMethodHTTPDigest";
inline constexpr char NSURLAuthenticationMethodClientCertificate[] = "NSURLAuthenticationMethodClientCertificate";
inline constexpr char NSURLAuthenticationMethodServerTrust[] = "NSURLAuthenticationMethodServerTrust";

inline constexpr char NSURLProtectionSpaceHTTP[] = "http";
inline constexpr char NSURLProtectionSpaceHTTPS[] = "https";

class NSURLProtectionSpace : public NSObject {
public:
    NSURLProtectionSpace(std::string host, int64_t port, std::optional<std::string> protocol,
                         std::optional<std::string> realm, std::string authenticationMethod,
                         std::shared_ptr<SecTrust> serverTrust = nullptr);

    std::string className() const override { return "NSURLProtectionSpace"; }

    const std::string& host() const { return host_; }
    int64_t port() const { return port_; }
    const std::optional<std::string>& protocol() const { return protocol_; }
    const std::optional<std::string>& realm() const { return realm_; }
    const std::string& authenticationMethod() const { return method_; }
    // Present for NSURLAuthenticationMethodServerTrust only.
    const std::shared_ptr<SecTrust>& serverTrust() const { return trust_; }
    bool receivesCredentialSecurely() const { return protocol_ && *protocol_ == NSURLProtectionSpaceHTTPS; }

private:
    std::string host_;
    int64_t port_;
    std::optional<std::string> protocol_;
    std::optional<std::string> realm_;
    std::string method_;
    std::shared_ptr<SecTrust> trust_;
};
