#pragma once
// The device's airplane mode: a process-wide switch. While on, every new task
// fails with NSURLErrorNotConnectedToInternet (-1009) without connecting,
// running tasks end with it, and every reachability target reports not
// reachable (callbacks told of each change). Loopback is cut too: on this
// platform the loopback servers play the internet.
//
// Any thread. Starts on when APP_NETWORK=offline.

class NetworkAirplaneMode {
public:
    static constexpr const char* kEnvironmentVariable = "APP_NETWORK";
    static bool isOn();
    // Switching on ends the running tasks; either way the reachability targets refresh.
    static void setOn(bool on);
};
