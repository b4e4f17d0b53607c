#pragma once
// Telephony stand-ins. This machine has no modem: the network info answers no carrier and
// no radio access technology unless a test injects them. Both are runtime classes, so code
// that looks them up by name and calls them by selector finds them:
//   CTTelephonyNetworkInfo: "subscriberCellularProvider", "currentRadioAccessTechnology"
//   CTCarrier: "carrierName", "mobileCountryCode", "mobileNetworkCode", "isoCountryCode"
// Any thread; the injected facts are process-wide.

#include <optional>
#include <string>

#include <platform_runtime/ObjCDeclare.h>

class CTCarrier : public NSObject {
    NS_CLASS(CTCarrier, NSObject)
public:
    std::optional<std::string> carrierName;
    std::optional<std::string> mobileCountryCode;
    std::optional<std::string> mobileNetworkCode;
    std::optional<std::string> isoCountryCode;
};

class CTTelephonyNetworkInfo : public NSObject {
    NS_CLASS(CTTelephonyNetworkInfo, NSObject)
public:
    // nullptr without a modem.
    std::shared_ptr<CTCarrier> subscriberCellularProvider() const;
    // e.g. "CTRadioAccessTechnologyLTE"; nothing without a modem.
    std::optional<std::string> currentRadioAccessTechnology() const;

    // Test hooks: a carrier and a radio technology as a modem would report them (nullptr /
    // nullopt: none again).
    static void setCarrierForTesting(std::shared_ptr<CTCarrier> carrier);
    static void setRadioAccessTechnologyForTesting(std::optional<std::string> technology);
};
