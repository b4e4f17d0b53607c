#include <platform_net/NSURLCredential.h>

NSURLCredentialPtr NSURLCredential::credentialForTrust(std::shared_ptr<SecTrust> trust) {
    auto c = std::make_shared<NSURLCredential>();
    c->trust_ = std::move(trust);
    c->persistence_ = NSURLCredentialPersistenceForSession;
    return c;
}

NSURLCredentialPtr NSURLCredential::credentialWithUser(std::string user, std::string password,
                                                       NSURLCredentialPersistence persistence) {
    auto c = std::make_shared<NSURLCredential>();
    c->user_ = std::move(user);
    c->password_ = std::move(password);
    c->persistence_ = persistence;
    return c;
}
