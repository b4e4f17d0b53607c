#include <platform_uikit/UIDevice.h>

#include <cerrno>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_foundation/NSUUID.h>
#include <platform_foundation/Sandbox.h>

namespace {

std::mutex vendorMutex;

std::string vendorOf(const std::string& bundleIdentifier) {
    const auto dot = bundleIdentifier.rfind('.');
    std::string vendor = dot == std::string::npos ? bundleIdentifier : bundleIdentifier.substr(0, dot);
    for (char& c : vendor)
        if (c == '/') c = '_';
    return vendor;
}

}  // namespace

std::string UIDevice::name() const { return NSProcessInfo::processInfo()->hostName(); }

std::shared_ptr<NSUUID> UIDevice::identifierForVendor() const {
    auto bundle = NSBundle::mainBundle();
    auto identifier = bundle ? bundle->bundleIdentifier() : std::nullopt;
    if (!identifier || identifier->empty()) return nullptr;
    std::lock_guard lock(vendorMutex);
    const std::string dir = NSSandbox::deviceRootPath() + "/Vendors";
    ::mkdir(dir.c_str(), 0700);
    const std::string path = dir + "/" + vendorOf(*identifier) + ".uuid";
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (auto text = NSDataFile::stringWithContentsOfFile(path)) {
            if (auto uuid = NSUUID::initWithUUIDString(*text)) return uuid;
            ::rename(path.c_str(), (path + ".damaged").c_str());
        }
        // The first app of the vendor to ask makes it; a racing app's link fails and it
        // reads the winner's.
        auto fresh = NSUUID::UUID();
        const std::string temp = path + ".tmp-" + std::to_string(::getpid());
        if (!NSDataFile::writeStringToFile(fresh->UUIDString(), temp, false)) return nullptr;
        const bool linked = ::link(temp.c_str(), path.c_str()) == 0;
        ::unlink(temp.c_str());
        if (linked) return fresh;
    }
    return nullptr;
}
