#include <platform_system/CTTelephonyNetworkInfo.h>

#include <mutex>

namespace {
std::mutex mutex;
std::shared_ptr<CTCarrier> injectedCarrier;
std::optional<std::string> injectedTechnology;

Value text(const std::optional<std::string>& s) { return s ? Value(*s) : Value(); }
}  // namespace

std::shared_ptr<CTCarrier> CTTelephonyNetworkInfo::subscriberCellularProvider() const {
    std::lock_guard lock(mutex);
    return injectedCarrier;
}

std::optional<std::string> CTTelephonyNetworkInfo::currentRadioAccessTechnology() const {
    std::lock_guard lock(mutex);
    return injectedTechnology;
}

void CTTelephonyNetworkInfo::setCarrierForTesting(std::shared_ptr<CTCarrier> carrier) {
    std::lock_guard lock(mutex);
    injectedCarrier = std::move(carrier);
}

void CTTelephonyNetworkInfo::setRadioAccessTechnologyForTesting(std::optional<std::string> technology) {
    std::lock_guard lock(mutex);
    injectedTechnology = std::move(technology);
}

NS_CLASS_LOAD(CTTelephonyNetworkInfo) {
    cls.addInstanceOperation("subscriberCellularProvider", [](NSObject& self, const Value::Array&) {
        return Value(static_cast<CTTelephonyNetworkInfo&>(self).subscriberCellularProvider());
    });
    cls.addInstanceOperation("currentRadioAccessTechnology", [](NSObject& self, const Value::Array&) {
        return text(static_cast<CTTelephonyNetworkInfo&>(self).currentRadioAccessTechnology());
    });
}

NS_CLASS_LOAD(CTCarrier) {
    cls.addInstanceOperation("carrierName", [](NSObject& self, const Value::Array&) {
        return text(static_cast<CTCarrier&>(self).carrierName);
    });
    cls.addInstanceOperation("mobileCountryCode", [](NSObject& self, const Value::Array&) {
        return text(static_cast<CTCarrier&>(self).mobileCountryCode);
    });
    cls.addInstanceOperation("mobileNetworkCode", [](NSObject& self, const Value::Array&) {
        return text(static_cast<CTCarrier&>(self).mobileNetworkCode);
    });
    cls.addInstanceOperation("isoCountryCode", [](NSObject& self, const Value::Array&) {
        return text(static_cast<CTCarrier&>(self).isoCountryCode);
    });
}
