#pragma once
// Root certificates the device owner installed: consulted beside the system
// roots by every default trust evaluation (and by evaluations with their own
// anchors that still allow the system roots), never instead of them. Host-name
// checks are unchanged; nothing here accepts a certificate it cannot chain.
//
// Any thread. The file named by APP_TRUSTED_ROOTS (PEM, one or more
// certificates) is read on first use; an unreadable file is reported once
// and adds nothing.

#include <platform_runtime/NSError.h>

#include <string>

class SecTrustedRoots {
public:
    static constexpr const char* kEnvironmentVariable = "APP_TRUSTED_ROOTS";
    // Adds the PEM certificates; an error (and nothing added) when none parse.
    [[nodiscard]] static NSErrorPtr installPEM(const std::string& pem);
    [[nodiscard]] static NSErrorPtr installPEMFile(const std::string& path);
    // How many roots are installed.
    static std::size_t count();
    // Tests: no installed roots, the environment read again on next use.
    static void resetForTesting();
};
