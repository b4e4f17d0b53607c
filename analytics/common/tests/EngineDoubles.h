#pragma once
// Doubles of the classes the analytics entry finds by name: the usage-analytics engine
// ("ZuzOzevoInternal", a work-event component), its session tracker ("ZuzOzevoSession"),
// the kit class "ZuzOzevo" and the monitoring kit "VUVuvev". Each records what it was asked.
// Include in exactly one file per test program.

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include <analytics_common/ZVWorkDispatch.h>
#include <platform_runtime/ObjCDeclare.h>

namespace zvtest {
struct Calls {
    std::mutex mutex;
    std::vector<std::string> list;
    void add(std::string call) {
        std::lock_guard lock(mutex);
        list.push_back(std::move(call));
    }
    std::size_t count(const std::string& prefix) {
        std::lock_guard lock(mutex);
        std::size_t n = 0;
        for (const auto& c : list) n += c.rfind(prefix, 0) == 0;
        return n;
    }
    std::vector<std::string> take() {
        std::lock_guard lock(mutex);
        auto out = std::move(list);
        list.clear();
        return out;
    }
};
inline Calls& calls() {
    static auto* c = new Calls;  // never destroyed (see above)
    return *c;
}
}  // namespace zvtest

class ZuzOzevoInternal : public NSObject, public ZVLogDataProtocol {
    NS_CLASS(ZuzOzevoInternal, NSObject)
public:
    static std::shared_ptr<ZuzOzevoInternal> shared() {
        // Never destroyed: work still queued at exit may ask for it.
        static const auto* e = new std::shared_ptr<ZuzOzevoInternal>(std::make_shared<ZuzOzevoInternal>());
        return *e;
    }
    std::atomic<int> backstate{0};
    std::mutex mutex;
    Value report;                  // what setupReportData answers next (then nothing)
    std::vector<Value> removed;    // what removeCacheData received
    void workEvent(const std::shared_ptr<ZVDispatchEvent>& e) override {
        zvtest::calls().add("workEvent:" + std::to_string(e->eEventType));
    }
    Value setupReportData(int64_t budget) override {
        zvtest::calls().add("setupReportData:" + std::to_string(budget));
        std::lock_guard lock(mutex);
        return std::exchange(report, Value());
    }
    void removeCacheData(const Value& result) override {
        std::lock_guard lock(mutex);
        removed.push_back(result);
    }
};

class ZuzOzevoSession : public NSObject {
    NS_CLASS(ZuzOzevoSession, NSObject)
};

class ZuzOzevo : public NSObject {
    NS_CLASS(ZuzOzevo, NSObject)
};

class VUVuvev : public NSObject {
    NS_CLASS(VUVuvev, NSObject)
};

namespace zvtest {
inline Value record(const std::string& name, const Value::Array& args) {
    std::string call = name;
    for (const Value& a : args) call += "|" + a.stringValue();
    calls().add(call);
    return Value();
}
}  // namespace zvtest

NS_CLASS_LOAD(ZuzOzevoInternal) {
    cls.addClassOperation("sharedInstance", [](ObjCClass&, const Value::Array&) { return Value(ZuzOzevoInternal::shared()); });
    cls.addInstanceOperation("backstate", [](NSObject& self, const Value::Array&) {
        return Value(static_cast<ZuzOzevoInternal&>(self).backstate.load());
    });
    for (const char* s : {"setIsNothook:", "setBackstate:", "doMakeSessionStartEnvelopeForZero:version:defcon:isProFile:"})
        cls.addInstanceOperation(s, [s](NSObject&, const Value::Array& a) { return zvtest::record(s, a); });
}

NS_CLASS_LOAD(ZuzOzevoSession) {
    cls.addClassOperation("startAnalyticsWithAppkey:",
                          [](ObjCClass&, const Value::Array& a) { return zvtest::record("startAnalyticsWithAppkey:", a); });
}

NS_CLASS_LOAD(ZuzOzevo) {
    cls.addClassOperation("setLogEnabled:",
                          [](ObjCClass&, const Value::Array& a) { return zvtest::record("ZuzOzevo.setLogEnabled:", a); });
}

NS_CLASS_LOAD(VUVuvev) {
    cls.addClassOperation("initVUVuvev:channel:",
                          [](ObjCClass&, const Value::Array& a) { return zvtest::record("initVUVuvev:channel:", a); });
    cls.addClassOperation("getVersion", [](ObjCClass&, const Value::Array&) { return Value("1.5.6"); });
    cls.addClassOperation("setCrashUerInfo:",
                          [](ObjCClass&, const Value::Array& a) { return zvtest::record("setCrashUerInfo:", a); });
    cls.addClassOperation("enableDebugLog:",
                          [](ObjCClass&, const Value::Array& a) { return zvtest::record("enableDebugLog:", a); });
}
