#pragma once
// Decides on a server's certificate chain for one load's connections, on the loading thread
// and without waiting there: the chain is evaluated at once, or the delegate is asked and
// the handshake stops before any request byte. After the answer the exchange starts over;
// the connection made again with the chain the answer was about goes through.

#include <platform_net/NSURLSessionDelegate.h>
#include <platform_runtime/NSError.h>

#include "CurlLibrary.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class SecTrust;

class ServerTrustGate {
public:
    using Chain = std::vector<std::vector<uint8_t>>;  // DER, leaf first
    // Hands the question to the delegate (whose answer comes back through answered());
    // false when no delegate takes such questions.
    using Ask = std::function<bool(const std::shared_ptr<SecTrust>&, const Chain&)>;
    using MakeError = std::function<NSErrorPtr(int64_t code, Value::Dictionary extra)>;

    enum class Question { None, Asked, Answered };

    ServerTrustGate(Ask ask, MakeError makeError);

    // Makes the handshakes of `easy` (an exchange with `host`) hand their peer chain here.
    void attach(CURL* easy, std::string host);
    // From the handshake: whether the connection may go on.
    bool decide(Chain chain);
    // The delegate's answer (loading thread): the error that ends the load, or nothing when
    // the exchange may start over.
    NSErrorPtr answered(const std::shared_ptr<SecTrust>& trust, Chain chain, NSURLSessionAuthChallengeDisposition disposition,
                        const NSURLCredentialPtr& credential);
    // Asked: the handshake stopped for a question; Answered: the answer came before the
    // stopped transfer ended. The loader marks the exchange made again with restarted().
    Question question() const { return question_; }
    void answerArrivedEarly() { question_ = Question::Answered; }
    void restarted() { question_ = Question::None; }
    // Why the last handshake was refused, if it was.
    const NSErrorPtr& refusal() const { return refusal_; }

private:
    NSErrorPtr untrusted(const std::shared_ptr<SecTrust>& trust, NSErrorPtr reason) const;

    Ask ask_;
    MakeError makeError_;
    std::string host_;
    Question question_ = Question::None;
    Chain trustedChain_;  // accepted, for the connection made again
    int questions_ = 0;
    NSErrorPtr refusal_;
};
