#include <platform_uikit/MemoryPressureMonitor.h>

#include <fstream>
#include <sstream>

namespace {

std::optional<std::string> readSmallFile(const std::string& path) {
    if (path.empty()) return std::nullopt;
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ownCgroupEventsPath() {
    auto cgroup = readSmallFile("/proc/self/cgroup");
    if (!cgroup) return {};
    std::istringstream lines(*cgroup);
    for (std::string line; std::getline(lines, line);) {
        // The unified hierarchy: "0::/path".
        if (line.rfind("0::", 0) == 0) return "/sys/fs/cgroup" + line.substr(3) + "/memory.events";
    }
    return {};
}

}  // namespace

MemoryPressureMonitor::MemoryPressureMonitor() : MemoryPressureMonitor(kPressurePath, ownCgroupEventsPath()) {}

MemoryPressureMonitor::MemoryPressureMonitor(std::string pressurePath, std::string cgroupEventsPath)
    : pressurePath_(std::move(pressurePath)), eventsPath_(std::move(cgroupEventsPath)) {}

std::optional<double> MemoryPressureMonitor::someAvg10(const std::string& pressureText) {
    std::istringstream lines(pressureText);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("some ", 0) != 0) continue;
        auto at = line.find("avg10=");
        if (at == std::string::npos) return std::nullopt;
        try {
            return std::stod(line.substr(at + 6));
        } catch (...) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<uint64_t> MemoryPressureMonitor::highAndMaxEvents(const std::string& eventsText) {
    std::istringstream lines(eventsText);
    std::optional<uint64_t> total;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string key;
        uint64_t count = 0;
        if (!(fields >> key >> count)) continue;
        if (key == "high" || key == "max") total = total.value_or(0) + count;
    }
    return total;
}

bool MemoryPressureMonitor::poll() {
    bool pressure = false;
    if (auto text = readSmallFile(pressurePath_)) {
        auto avg = someAvg10(*text);
        pressure = avg && *avg > kSomeAvg10Threshold;
    }
    if (auto text = readSmallFile(eventsPath_)) {
        auto events = highAndMaxEvents(*text);
        if (events && lastEvents_ && *events > *lastEvents_) pressure = true;
        if (events) lastEvents_ = events;
    }
    return pressure;
}
