#include <platform_uikit/UIDevice.h>

#include <atomic>
#include <dirent.h>
#include <fstream>
#include <mutex>

namespace {

std::atomic<bool> monitoring{false};
std::mutex rootMutex;
std::string powerSupplyRoot = "/sys/class/power_supply";

struct Battery {
    float level = -1;
    UIDeviceBatteryState state = UIDeviceBatteryStateUnknown;
};

std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The first supply of type "Battery".
Battery readBattery() {
    std::string root;
    {
        std::lock_guard lock(rootMutex);
        root = powerSupplyRoot;
    }
    Battery b;
    DIR* d = ::opendir(root.c_str());
    if (!d) return b;
    while (dirent* e = ::readdir(d)) {
        if (e->d_name[0] == '.') continue;
        const std::string dir = root + "/" + e->d_name;
        if (firstLine(dir + "/type") != "Battery") continue;
        const std::string capacity = firstLine(dir + "/capacity");
        if (!capacity.empty()) {
            try {
                const int percent = std::stoi(capacity);
                if (percent >= 0 && percent <= 100) b.level = static_cast<float>(percent) / 100.0f;
            } catch (const std::exception&) {
            }
        }
        const std::string status = firstLine(dir + "/status");
        if (status == "Charging") b.state = UIDeviceBatteryStateCharging;
        else if (status == "Full") b.state = UIDeviceBatteryStateFull;
        else if (status == "Discharging" || status == "Not charging") b.state = UIDeviceBatteryStateUnplugged;
        break;
    }
    ::closedir(d);
    return b;
}

}  // namespace

bool UIDevice::isBatteryMonitoringEnabled() const { return monitoring.load(); }
void UIDevice::setBatteryMonitoringEnabled(bool enabled) { monitoring.store(enabled); }

float UIDevice::batteryLevel() const { return monitoring.load() ? readBattery().level : -1.0f; }

UIDeviceBatteryState UIDevice::batteryState() const {
    return monitoring.load() ? readBattery().state : UIDeviceBatteryStateUnknown;
}

void UIDevice::setPowerSupplyRootForTesting(const std::string& root) {
    std::lock_guard lock(rootMutex);
    powerSupplyRoot = root.empty() ? std::string("/sys/class/power_supply") : root;
}
