#pragma once
// The host app's one door into the analytics layer: start-up and the switches.
//
// The app calls initWithAppkey(key, channel) once from its launch handler, e.g.
//     ZVConfigure::initWithAppkey(Value("7c41e9a0d25b83f61e0a94c7"), Value("App Store"));
// (target analytics_common; by name: class "ZVConfigure", operation "initWithAppkey:channel:").
// Reports go to the built-in collection hosts; ZAVEZ_COLLECTION_HOSTS =
// "primary[:port],secondary[:port]", set before the first call, points them elsewhere for the
// process (a host test uses the loopback sinks of analytics_common_test_sinks). Every accepted
// call refreshes the collection switches and hands "backstate" / "hk" of the stored imprint
// to the analytics engine; the first accepted call of the process also runs the start-up
// sequence (debug key, companion modules found by name, component flags and versions,
// application key and channel, the first work events, usage analytics). An empty key only
// logs an error and starts nothing, so a later call with a good key still can.
//
// Threads: every operation runs on its caller's thread (start-up normally on the main
// thread). Start-up runs synchronously inside the first accepted call under a once-only
// guard: concurrent first callers wait for it and it never runs twice. Work it starts leaves
// through the SDK work queue and runs later. Switches may be called from any thread, before
// or after start-up, and take effect at once.
// Lifetime: class operations only, no state of its own; once started the layer runs until
// the process ends (there is no stop). Every operation is also reachable by name on the
// runtime class "ZVConfigure".

#include <optional>
#include <string>

#include <platform_dispatch/DispatchTime.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

class ZVConfigure : public NSObject {
    NS_CLASS(ZVConfigure, NSObject)
public:
    // Key: a non-blank string (nil, a non-string or white space only is refused); channel:
    // an empty one keeps "App Store".
    static void initWithAppkey(const Value& appKey, const Value& channel);
    static void setLogEnabled(bool enabled);
    static void setEncryptEnabled(bool enabled);
    static void setAnalyticsEnabled(bool enabled);
    // Accepts only the listed wrapper types (exact spelling); false stores nothing.
    static bool setWraperType(const std::string& type, const std::string& version);
    // The imprint's "zvid"; nothing while the service has not granted one.
    static std::optional<std::string> zvidString();
    static std::string deviceIDForIntegration();
    static std::string getZavezZID();
    static void endZVBackgroundTask();

    // For a program about to end: waits until the upload jobs queued or running (envelope
    // files, stateless files) have ended, or until `deadline`; true when none was left. A job
    // still posting when the process ends would leave its request in flight. Starts nothing:
    // before the layer made its queues it answers true at once. Any thread but the URL
    // session's delegate queue (the jobs' answers arrive there). By name
    // "waitForUploadsUntil:" with the deadline as an integer.
    static bool waitForUploads(dispatch_time_t deadline);
};
