#include <platform_net/NSURLAuthenticationChallenge.h>

NSURLAuthenticationChallenge::NSURLAuthenticationChallenge(std::shared_ptr<NSURLProtectionSpace> space,
                                                           NSURLCredentialPtr proposedCredential,
                                                           int64_t previousFailureCount, NSURLResponsePtr failureResponse,
                                                           NSErrorPtr error)
    : space_(std::move(space)), proposed_(std::move(proposedCredential)), failures_(previousFailureCount),
      failureResponse_(std::move(failureResponse)), error_(std::move(error)) {}
