#include <platform_net/AirplaneMode.h>

#include "reachability/NetworkChangeMonitor.h"
#include "session/URLTaskLoader.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<bool>& state() {
    static std::atomic<bool> on{[] {
        const char* env = std::getenv(NetworkAirplaneMode::kEnvironmentVariable);
        return env && std::strcmp(env, "offline") == 0;
    }()};
    return on;
}

}  // namespace

bool NetworkAirplaneMode::isOn() { return state().load(); }

void NetworkAirplaneMode::setOn(bool on) {
    const bool was = state().exchange(on);
    if (on && !was) URLTaskLoader::endAllRunning();
    if (on != was) NetworkChangeMonitor::refreshAll();
}
