#pragma once
// A question the loading layer puts to a session's delegate before it goes on with a
// connection (server trust, HTTP authentication), and the dispositions of its answer.

#include <platform_net/NSURLCredential.h>
#include <platform_net/NSURLProtectionSpace.h>
#include <platform_net/NSURLResponse.h>
#include <platform_runtime/NSError.h>

#include <memory>

enum NSURLSessionAuthChallengeDisposition : int64_t {
    NSURLSessionAuthChallengeUseCredential = 0,
    NSURLSessionAuthChallengePerformDefaultHandling = 1,
    NSURLSessionAuthChallengeCancelAuthenticationChallenge = 2,
    NSURLSessionAuthChallengeRejectProtectionSpace = 3,
};

class NSURLAuthenticationChallenge;
using NSURLAuthenticationChallengePtr = std::shared_ptr<NSURLAuthenticationChallenge>;

class NSURLAuthenticationChallenge : public NSObject {
public:
    NSURLAuthenticationChallenge(std::shared_ptr<NSURLProtectionSpace> space, NSURLCredentialPtr proposedCredential,
                                 int64_t previousFailureCount, NSURLResponsePtr failureResponse, NSErrorPtr error);

    std::string className() const override { return "NSURLAuthenticationChallenge"; }

    const std::shared_ptr<NSURLProtectionSpace>& protectionSpace() const { return space_; }
    const NSURLCredentialPtr& proposedCredential() const { return proposed_; }
    int64_t previousFailureCount() const { return failures_; }
    const NSURLResponsePtr& failureResponse() const { return failureResponse_; }
    const NSErrorPtr& error() const { return error_; }

private:
    std::shared_ptr<NSURLProtectionSpace> space_;
    NSURLCredentialPtr proposed_;
    int64_t failures_;
    NSURLResponsePtr failureResponse_;
    NSErrorPtr error_;
};
