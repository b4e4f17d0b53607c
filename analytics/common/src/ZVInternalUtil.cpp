#include <analytics_common/ZVInternalUtil.h>

#include <arpa/inet.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <fstream>

#include <analytics_common/ZVUtils.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_foundation/Sandbox.h>
#include <platform_kernel/HostStatistics.h>
#include <platform_runtime/NSBlock.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_system/CommonDigest.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIFont.h>
#include <platform_uikit/UIGestureRecognizer.h>
#include <platform_uikit/UIWindow.h>

namespace {

int64_t nowMS() { return static_cast<int64_t>(ZVUtils::UTCIntervalMS()); }

// Boot time (seconds and microseconds since 1970) from the kernel's uptime and clock.
std::pair<long, long> bootTime() {
    std::ifstream stat("/proc/stat");
    std::string key;
    long long btime = 0;
    while (stat >> key) {
        if (key == "btime" && (stat >> btime)) return {static_cast<long>(btime), 0};
        stat.ignore(1 << 20, '\n');
    }
    return {0, 0};
}

}  // namespace

std::shared_ptr<ZVInternalUtil> ZVInternalUtil::sharedInstance() {
    static const auto instance = std::make_shared<ZVInternalUtil>();
    return instance;
}

uint64_t ZVInternalUtil::getTotalDiskSize() {
    struct statvfs s;
    if (::statvfs(NSSandbox::homeDirectory().c_str(), &s) != 0) return 0;
    return static_cast<uint64_t>(s.f_blocks) * s.f_frsize;
}

uint64_t ZVInternalUtil::getFreeDiskSize() {
    struct statvfs s;
    if (::statvfs(NSSandbox::homeDirectory().c_str(), &s) != 0) return 0;
    return static_cast<uint64_t>(s.f_bavail) * s.f_frsize;
}

Value ZVInternalUtil::Value1() {
    return Value::dict({{"t", getTotalDiskSize()}, {"f", getFreeDiskSize()}, {"ts", nowMS()}});
}

int32_t ZVInternalUtil::getSysFontSize() {
    auto font = UIFont::preferredFontForTextStyle(UIFontTextStyleBody);
    return font ? static_cast<int32_t>(font->pointSize()) : 0;
}

std::string ZVInternalUtil::Value7() {
    const std::string name = UIDevice::currentDevice()->name();
    if (name.empty()) return CCMD5Hex("", HexCase::Upper);
    return ZVUtils::md5(Value(name));
}

Value ZVInternalUtil::Value2() {
    const auto [seconds, micros] = bootTime();
    auto text = [](const std::string& s) { return Value(s); };
    std::string bundlePath;
    if (auto bundle = NSBundle::mainBundle()) bundlePath = bundle->bundlePath();
    const int traced = processTracedFlag();
    return Value::dict({{"tf", ""},
                        {"s_fs", getSysFontSize()},
                        {"st", static_cast<int64_t>(seconds)},
                        {"st_usec", static_cast<int64_t>(micros)},
                        {"hn", Value7()},
                        {"ts", nowMS()},
                        {"i_homd", text(NSSandbox::homeDirectory())},
                        {"i_boud", text(bundlePath)},
                        {"i_simu", 0},
                        {"i_debu", traced},
                        {"i_disp", ZVUtils::realAppDisplayNameString()}});
}

std::optional<std::string> ZVInternalUtil::formatIPV4Address(const void* inAddr) {
    char buf[16];
    if (!inAddr || !inet_ntop(AF_INET, inAddr, buf, sizeof buf)) return std::nullopt;
    return std::string(buf);
}

std::optional<std::string> ZVInternalUtil::formatIPV6Address(const void* in6Addr) {
    char buf[46];
    if (!in6Addr || !inet_ntop(AF_INET6, in6Addr, buf, sizeof buf)) return std::nullopt;
    return std::string(buf);
}

uint64_t ZVInternalUtil::getTotalMemeorySize() { return NSProcessInfo::processInfo()->physicalMemory(); }

uint64_t ZVInternalUtil::getFreeMemeorySize() {
    vm_statistics_data_t vm{};
    mach_msg_type_number_t count = HOST_VM_INFO_COUNT;
    vm_size_t page = 0;
    if (host_page_size(mach_host_self(), &page) != KERN_SUCCESS ||
        host_statistics(mach_host_self(), HOST_VM_INFO, reinterpret_cast<host_info_t>(&vm), &count) != KERN_SUCCESS)
        return 0;
    return (static_cast<uint64_t>(vm.free_count) + vm.inactive_count) * page;
}

Value ZVInternalUtil::Value4() {
    return Value::dict({{"t", getTotalMemeorySize()}, {"f", getFreeMemeorySize()}, {"ts", nowMS()}});
}

void ZVInternalUtil::appActivate() {
    // The recogniser goes onto the key window; without one there is nothing to attach to.
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (!window) return;
    auto self = sharedInstance();
    auto recognizer = std::make_shared<UITapGestureRecognizer>(
        self, "connectGestureRecognized", [weak = std::weak_ptr<ZVInternalUtil>(self)](UIGestureRecognizer&) {
            if (auto strong = weak.lock()) strong->connectGestureRecognized();
        });
    window->addGestureRecognizer(recognizer);
    std::lock_guard lock(mutex_);
    testTapRecognizer_ = recognizer;
}

void ZVInternalUtil::connectGestureRecognized() {
    std::lock_guard lock(mutex_);
    muttaparray_.addObject(Value(nowMS()));
}

bool ZVInternalUtil::isGAvailable(NSObject* obj) {
    auto v = obj ? performSelector(obj, "isGyroAvailable") : std::nullopt;
    return v && v->boolValue();
}

void ZVInternalUtil::stopGyroUpdates(NSObject* obj) { (void)ZVUtils::reflectObject(obj, "stopGyroUpdates"); }

void ZVInternalUtil::setObj(NSObject* obj, double interval) {
    if (obj) (void)performSelector(obj, "setGyroUpdateInterval:", {Value(interval)});
}

ZVCMRotationRate ZVInternalUtil::getrotationRateWithObj(NSObject* obj) {
    ZVCMRotationRate rate;
    auto v = obj ? performSelector(obj, "rotationRate") : std::nullopt;
    if (v && v->isArray() && v->count() == 3)
        rate = {(*v)[0].doubleValue(), (*v)[1].doubleValue(), (*v)[2].doubleValue()};
    return rate;
}

Value ZVInternalUtil::muttaparray() const {
    std::lock_guard lock(mutex_);
    return muttaparray_.copy();
}

std::shared_ptr<NSObject> ZVInternalUtil::testTapRecognizer() const {
    std::lock_guard lock(mutex_);
    return testTapRecognizer_;
}
