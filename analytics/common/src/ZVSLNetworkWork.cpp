#include <analytics_common/ZVSLNetworkWork.h>

#include <mutex>

namespace {
std::mutex mutex;
ZVSLNetworkWork::Uploader& uploader() {
    static ZVSLNetworkWork::Uploader u;
    return u;
}
}  // namespace

void ZVSLNetworkWork::setUploader(Uploader u) {
    std::lock_guard lock(mutex);
    uploader() = std::move(u);
}

void ZVSLNetworkWork::main() {
    Uploader u;
    {
        std::lock_guard lock(mutex);
        u = uploader();
    }
    if (u) u(*this);
}
