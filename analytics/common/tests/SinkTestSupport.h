#pragma once
// The two TLS collection sinks of an upload test program, started once (before anything
// reads the collection hosts) and stopped at exit, plus helpers shared by the upload tests.

#include <cstdlib>
#include <memory>
#include <string>

#include <analytics_common/ZVCollectionHosts.h>
#include <analytics_common/ZVUtils.h>

#include "AnalyticsTestSupport.h"
#include "CollectionSink.h"

namespace zvtest {

struct Sinks {
    zvsink::CollectionSink primary{"ulog.zavez.localhost"};
    zvsink::CollectionSink secondary{"ulog2.zavez.localhost"};
    void reset() {
        primary.setDown(false);
        secondary.setDown(false);
        primary.clear();
        secondary.clear();
    }
};

inline Sinks& sinks() {
    static const std::unique_ptr<Sinks> s = [] {
        zvsink::trustTestCA();
        auto made = std::make_unique<Sinks>();
        const std::string hosts = made->primary.hostPort() + "," + made->secondary.hostPort();
        ::setenv(ZVCollectionHosts::kEnvironmentVariable, hosts.c_str(), 1);
        return made;
    }();
    return *s;
}

// What the guid of an envelope of this device is made from.
inline std::string identity() { return ZVUtils::idfv() + ZVUtils::sharedUDIDString(); }

inline zvsink::Answer accepted(int32_t respCode = 1, const std::map<std::string, std::string>& imprint = {}) {
    return {200, "application/thrift", zvsink::responseBytes(respCode, imprint)};
}

}  // namespace zvtest
