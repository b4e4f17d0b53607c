#pragma once
// Small class hierarchy shared by the object-runtime tests.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <platform_runtime/ObjCDeclare.h>

class FixtureItem : public NSObject {
    NS_CLASS(FixtureItem, NSObject)
    NS_PROPERTY(std::string, identifier, setIdentifier, "&,N")
    NS_PROPERTY(bool, isSigned, setIsSigned, "N")
    NS_PROPERTY(std::optional<std::string>, releasedate, setReleasedate, "&,N", Optional)
};

class FixtureDevice : public NSObject {
    NS_CLASS(FixtureDevice, NSObject)
    NS_PROTOCOLS("NSCopying")
    NS_PROPERTY(std::string, name, setName, "&,N")
    NS_PROPERTY(int, code, setCode, "N")
    NS_PROPERTY(std::vector<std::shared_ptr<FixtureItem>>, firmwares, setFirmwares, "&,N")
    NS_PROPERTY(std::function<void()>, handler, setHandler, "C,N")
    NS_PROPERTY(Value::Dictionary, info, setInfo, "&,N")
    NS_PROPERTY(std::shared_ptr<FixtureItem>, latest, setLatest, "&,N")
    NS_PROPERTY(double, ratio, setRatio, "N")
    NS_PROPERTY(Value, extra, setExtra, "&,N", Ignore)

public:
    long status() const { return status_; }
    // Announces its own changes.
    void setStatus(long s) {
        willChangeValueForKey("status");
        status_ = s;
        didChangeValueForKey("status");
    }
    bool isReachable() const { return status_ == 1 || status_ == 2; }
    NS_PROPERTY_ACCESSORS(long, status, "N", status, setStatus)
    NS_READONLY_PROPERTY(bool, reachable, "R,N,GisReachable", isReachable)
    NS_AFFECTING_KEYS("reachable", "status")

private:
    long status_ = 0;
};

// A subclass that adds one property and inherits the rest.
class FixturePhone : public FixtureDevice {
    NS_CLASS(FixturePhone, FixtureDevice)
    NS_PROPERTY(std::string, carrier, setCarrier, "&,N")
};

// A class that cannot be made by name (no default constructor).
class FixtureNoDefault : public NSObject {
    NS_CLASS(FixtureNoDefault, NSObject)
public:
    explicit FixtureNoDefault(int) {}
};
