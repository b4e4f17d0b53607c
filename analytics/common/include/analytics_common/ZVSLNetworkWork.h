#pragma once
// The stateless upload operation: posts stateless envelope files (files that carry their own
// target path) in the order given, one POST each; a file leaves the disk after a 200 answer
// or when its target decodes to nothing, and stays for the next flush otherwise. It never
// stops early, keeps no counters and sends no work event. Queued on the settings cache's
// stateless queue (width 1); each POST blocks that queue's thread until the answer.

#include <functional>
#include <string>

#include <analytics_common/ZVEnvelopePathList.h>
#include <platform_dispatch/NSOperation.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

class ZVSLNetworkWork : public NSOperation {
    NS_CLASS(ZVSLNetworkWork, NSOperation)
public:
    // A copy of the paths still to post.
    Value envelopeFilePaths() const { return paths_.copy(); }
    void setEnvelopeFilePaths(const Value& paths) { paths_.set(paths); }
    void main() override;

    bool postDataWithFile(const std::string& path);
    bool postDataToServer(const std::string& url, const std::string& path);
    // The decoded target of a stateless file: from its per-target folder or its own name.
    static std::string targetOfFile(const std::string& path);

    // Tests only: while set, main() hands the operation to this function instead of posting.
    using Uploader = std::function<void(ZVSLNetworkWork& work)>;
    static void setUploader(Uploader uploader);

private:
    ZVEnvelopePathList paths_;
};
