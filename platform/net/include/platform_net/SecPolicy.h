#pragma once
// What a trust evaluation checks: plain X.509 path validation, or a TLS peer with its host name.

#include <memory>
#include <optional>
#include <string>

class SecPolicy;
using SecPolicyRef = std::shared_ptr<SecPolicy>;

class SecPolicy {
public:
    enum class Kind { BasicX509, SSL };

    SecPolicy(Kind kind, bool server, std::optional<std::string> hostname)
        : kind_(kind), server_(server), hostname_(std::move(hostname)) {}

    Kind kind() const { return kind_; }
    // SSL policy: the certificate is checked for the server (true) or client (false) purpose.
    bool server() const { return server_; }
    // SSL policy: the name (DNS name or IP literal) the certificate must cover; none = no check.
    const std::optional<std::string>& hostname() const { return hostname_; }

private:
    Kind kind_;
    bool server_;
    std::optional<std::string> hostname_;
};

// Path validation only: signatures, validity dates, a chain to an anchor.
SecPolicyRef SecPolicyCreateBasicX509();
// Path validation plus the TLS purpose; the host name is checked when one is given
// (an empty name counts as none).
SecPolicyRef SecPolicyCreateSSL(bool server, std::optional<std::string> hostname);
