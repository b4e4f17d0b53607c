#pragma once
// The analytics layer's utilities (class operations only): device, OS, locale, network,
// identifier and bundle facts for headers; encoders and digests; string tests; calls by
// name to optional classes; the component-flag string; the device-identity entry points
// and module tags. Text answers are never absent: a missing fact is "".
// Callable from any thread; the process-wide caches are filled once under guards.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <platform_runtime/Value.h>

class NSObject;

struct ZVUtils {
    // --- time and key ---
    static std::string appkey();
    static uint64_t UTCIntervalMS();
    static double durationNowWith1970TimeInterval(double seconds);

    // --- device and locale ---
    static std::string osString() { return "iOS"; }
    static std::string osVersionString();
    static std::string deviceModelString();
    static std::string resolutionString();
    static bool isPad();
    static std::string countryString();
    static std::string languageString();
    static int32_t timezone();
    static std::string timezoneString();
    static std::string dateString();
    static std::string deviceMacAddressString() { return "02:00:00:00:00:00"; }
    // {"le": 0-100, "st": 0 unplugged / 1 charging / 2 full / -1 other, "ts": ms}.
    static Value batteryInfo();
    static bool isDeviceJailBreak();
    static std::string deviceJailBreakString() { return isDeviceJailBreak() ? "YES" : "NO"; }

    // --- network and carrier ---
    // 1 Wi-Fi, 2 cellular, 0 none.
    static int32_t accessStatus();
    static std::string accessString();
    static std::shared_ptr<NSObject> CTTelephonyNetworkInfoObject();
    static std::string accessSubType();
    static std::string carrierString();
    static std::string mncString();
    static std::string mccString();

    // --- identifiers ---
    static std::string sharedUDIDString();
    static std::string idfv();
    static std::string idfa();
    static std::string zvfa();
    static std::string zdid();
    static std::string deviceToken();

    // --- app bundle ---
    static std::string appPackageNameString();
    static std::string appDisplayNameString();
    static std::string realAppDisplayNameString();
    static std::string appBundleVersionString();
    static std::string appShortVersionString();
    static std::string processName();

    // --- strings and text codecs ---
    static bool notEmptyString(const Value& object);
    static bool isEmptyString(const Value& object) { return !notEmptyString(object); }
    // 32 uppercase hex digits of the UTF-8 bytes up to the first zero byte; "" for an empty text.
    static std::string md5(const Value& text);
    static Value::Data md5DataWithData(const Value::Data& data);
    static std::array<uint8_t, 16> md5BytesWithString(std::string_view text);
    static std::string bytesToHexString(const uint8_t* bytes, int32_t length);
    static std::string urlEncode(std::string_view text);
    static std::string urlDecode(std::string_view text);
    static std::optional<std::string> JSONFragment(const Value& object);
    static Value JSONValue(std::string_view text);
    static std::string encodeBase64(const Value::Data& data);
    // Characters outside the alphabet are skipped.
    static Value::Data decodeBase64(std::string_view text);
    // The longest prefix of whole characters whose UTF-8 form fits `limit` bytes.
    static std::string getString(const std::string& text, int32_t limit);

    // --- binary codecs ---
    // AES-128-CBC with PKCS#7 padding under the layer's fixed IV and the first 16 key bytes;
    // nothing for a key shorter than 16 bytes or when the cipher fails (wrong key, bad padding).
    static std::optional<Value::Data> AES128EncryptData(const Value::Data& data, std::span<const uint8_t> key);
    static std::optional<Value::Data> AES128DecryptData(const Value::Data& data, std::span<const uint8_t> key);
    // A zlib stream (RFC 1950) of the source at the level, after the prefix bytes.
    static std::optional<Value::Data> deflatedData(const Value::Data& source);
    static std::optional<Value::Data> deflatedDataPrefixedWith(const Value::Data* prefix, int32_t level,
                                                               const Value::Data& source);

    // --- calls by name: nothing when the class, target or selector is absent ---
    static std::optional<Value> performClass(std::string_view className, std::string_view method,
                                             const Value& object = Value());
    static std::optional<Value> reflectClass(std::string_view className, std::string_view selector,
                                             const Value::Array& params);
    static std::optional<Value> reflectObject(NSObject* target, std::string_view selector,
                                              const Value::Array& args = {});
    static bool loadSysFramework(std::string_view name);

    // --- component flags, device identity, module tags ---
    static void appendComponentFlag(std::string_view flag);
    static std::string componentFlags();
    static std::optional<std::string> localIPString() { return std::nullopt; }
    static void VODizInit();
    static std::string getZid();
    static void setModuleTag(const Value& module, const Value& key, const Value& value);
    static void deleteModuleTag(const Value& module, const Value& key);
    static Value getModuleTag();
    static Value getModule();
};
