#pragma once
// The stateless upload operation: posts the stateless envelope files it is given. Queued on
// the settings cache's stateless queue; the upload itself belongs to the layer that sends
// envelopes, which installs it with setUploader (until then the operation does nothing).

#include <functional>

#include <platform_dispatch/NSOperation.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

class ZVSLNetworkWork : public NSOperation {
    NS_CLASS(ZVSLNetworkWork, NSOperation)
public:
    using Uploader = std::function<void(ZVSLNetworkWork& work)>;
    const Value& envelopeFilePaths() const { return envelopeFilePaths_; }
    void setEnvelopeFilePaths(Value paths) { envelopeFilePaths_ = std::move(paths); }
    void main() override;
    static void setUploader(Uploader uploader);

private:
    Value envelopeFilePaths_;
};
