#pragma once
// Reads the system's memory pressure: the kernel's pressure-stall file (a
// "some" avg10 above 10 is pressure) and the cgroup's memory.events (a rise of
// its "high" or "max" count since the last reading is pressure).
//
// Not thread-safe: one owner polls it (the application, on main).

#include <cstdint>
#include <optional>
#include <string>

class MemoryPressureMonitor {
public:
    static constexpr const char* kPressurePath = "/proc/pressure/memory";
    static constexpr double kSomeAvg10Threshold = 10.0;
    static constexpr double kPollInterval = 5.0;

    // The process's own cgroup events file, found through /proc/self/cgroup.
    MemoryPressureMonitor();
    MemoryPressureMonitor(std::string pressurePath, std::string cgroupEventsPath);

    // Reads both files; true when either shows pressure. Missing or
    // unreadable files show none. The first reading of the events file only
    // sets the baseline.
    bool poll();

    // "some avg10=12.50 avg60=..." -> 12.5; nothing when absent.
    static std::optional<double> someAvg10(const std::string& pressureText);
    // high + max counts of a memory.events text; nothing when neither is there.
    static std::optional<uint64_t> highAndMaxEvents(const std::string& eventsText);

private:
    std::string pressurePath_;
    std::string eventsPath_;
    std::optional<uint64_t> lastEvents_;
};
