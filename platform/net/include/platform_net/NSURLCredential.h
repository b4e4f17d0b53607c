#pragma once
// An answer to an authentication challenge: a server trust to accept, or a user and password.

#include <platform_runtime/NSObject.h>

#include <memory>
#include <optional>
#include <string>

class SecTrust;
class NSURLCredential;
using NSURLCredentialPtr = std::shared_ptr<NSURLCredential>;

enum NSURLCredentialPersistence : uint64_t {
    NSURLCredentialPersistenceNone = 0,
    NSURLCredentialPersistenceForSession = 1,
    NSURLCredentialPersistencePermanent = 2,
    NSURLCredentialPersistenceSynchronizable = 3,
};

class NSURLCredential : public NSObject {
public:
    static NSURLCredentialPtr credentialForTrust(std::shared_ptr<SecTrust> trust);
    static NSURLCredentialPtr credentialWithUser(std::string user, std::string password,
                                                 NSURLCredentialPersistence persistence);

    std::string className() const override { return "NSURLCredential"; }

    const std::shared_ptr<SecTrust>& serverTrust() const { return trust_; }
    const std::optional<std::string>& user() const { return user_; }
    const std::optional<std::string>& password() const { return password_; }
    bool hasPassword() const { return password_.has_value(); }
    NSURLCredentialPersistence persistence() const { return persistence_; }

private:
    std::shared_ptr<SecTrust> trust_;
    std::optional<std::string> user_;
    std::optional<std::string> password_;
    NSURLCredentialPersistence persistence_ = NSURLCredentialPersistenceNone;
};
