#include <analytics_common/ZVUtils.h>

#include <cstring>
#include <mutex>

#include <zlib.h>

#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVConfigureCache.h>
#include <platform_foundation/Base64.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/PercentEncoding.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_system/CommonCryptor.h>
#include <platform_system/CommonDigest.h>
#include <platform_system/SystemFrameworks.h>

namespace {

// The layer's fixed initialisation vector.
constexpr uint8_t kIV[16] = {0x3e, 0x91, 0xc0, 0x7a, 0x5d, 0x2b, 0x64, 0xf8,
                             0xa1, 0x09, 0x7e, 0x3d, 0xc4, 0x5b, 0x2f, 0x60};

bool isSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::optional<Value::Data> crypt(CCOperation op, const Value::Data& data, std::span<const uint8_t> key) {
    if (key.size() < kCCKeySizeAES128) return std::nullopt;
    Value::Data out(data.size() + kCCBlockSizeAES128);
    std::size_t moved = 0;
    const CCCryptorStatus status = CCCrypt(op, kCCAlgorithmAES128, kCCOptionPKCS7Padding, key.data(),
                                           kCCKeySizeAES128, kIV, data.data(), data.size(), out.data(),
                                           out.size(), &moved);
    if (status != kCCSuccess) return std::nullopt;
    out.resize(moved);
    return out;
}

std::mutex flagsMutex;
std::string flags;

}  // namespace

bool ZVUtils::notEmptyString(const Value& object) {
    if (!object.isString()) return false;
    for (unsigned char c : std::string_view(object.asString()))
        if (!isSpace(c)) return true;
    return false;
}

std::string ZVUtils::md5(const Value& text) {
    if (!notEmptyString(text)) return "";
    std::string_view s(text.asString());
    s = s.substr(0, s.find('\0'));  // the bytes up to the first zero byte
    return CCMD5Hex(s, HexCase::Upper);
}

Value::Data ZVUtils::md5DataWithData(const Value::Data& data) { return CCMD5Data(data); }

std::array<uint8_t, 16> ZVUtils::md5BytesWithString(std::string_view text) {
    std::array<uint8_t, 16> out{};
    CC_MD5(text.data(), static_cast<CC_LONG>(text.size()), out.data());
    return out;
}

std::string ZVUtils::bytesToHexString(const uint8_t* bytes, int32_t length) {
    if (!bytes || length < 1) return "";
    return CCHexString(bytes, static_cast<std::size_t>(length), HexCase::Lower);
}

std::string ZVUtils::urlEncode(std::string_view text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string ZVUtils::urlDecode(std::string_view text) {
    if (text.empty()) return "";
    if (auto decoded = NSString::stringByRemovingPercentEncoding(text)) return *decoded;
    return std::string(text);  // a malformed escape: the text as it came
}

std::optional<std::string> ZVUtils::JSONFragment(const Value& object) { return ZVConfigureCache::JSONFragment(object); }

Value ZVUtils::JSONValue(std::string_view text) {
    if (text.empty()) return Value();
    NSErrorPtr error;
    Value v = NSJSONSerialization::JSONObjectWithData(text, NSJSONReadingMutableContainers, &error);
    return error ? Value() : v;
}

std::string ZVUtils::encodeBase64(const Value::Data& data) { return NSDataBase64EncodedString(data); }

Value::Data ZVUtils::decodeBase64(std::string_view text) {
    // Skip what is outside the alphabet (padding included), then decode the rest.
    std::string clean;
    clean.reserve(text.size());
    for (unsigned char c : text)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/')
            clean += static_cast<char>(c);
    if (clean.size() % 4 == 1) clean.pop_back();  // a lone trailing character carries no byte
    while (clean.size() % 4) clean += '=';
    return NSDataFromBase64EncodedString(clean).value_or(Value::Data());
}

std::string ZVUtils::getString(const std::string& text, int32_t limit) {
    if (text.empty() || limit < 1 || text.size() <= static_cast<std::size_t>(limit)) return text;
    std::size_t end = static_cast<std::size_t>(limit);
    // Step back to the start of the character that the limit cuts.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::optional<Value::Data> ZVUtils::AES128EncryptData(const Value::Data& data, std::span<const uint8_t> key) {
    return crypt(kCCEncrypt, data, key);
}

std::optional<Value::Data> ZVUtils::AES128DecryptData(const Value::Data& data, std::span<const uint8_t> key) {
    return crypt(kCCDecrypt, data, key);
}

std::optional<Value::Data> ZVUtils::deflatedData(const Value::Data& source) {
    return deflatedDataPrefixedWith(nullptr, Z_DEFAULT_COMPRESSION, source);
}

std::optional<Value::Data> ZVUtils::deflatedDataPrefixedWith(const Value::Data* prefix, int32_t level,
                                                             const Value::Data& source) {
    const std::size_t head = prefix ? prefix->size() : 0;
    uLongf bound = compressBound(static_cast<uLong>(source.size()));
    Value::Data out(head + bound);
    if (head) std::memcpy(out.data(), prefix->data(), head);
    if (compress2(out.data() + head, &bound, source.data(), static_cast<uLong>(source.size()), level) != Z_OK)
        return std::nullopt;
    out.resize(head + bound);
    return out;
}

std::optional<Value> ZVUtils::performClass(std::string_view className, std::string_view method, const Value& object) {
    if (className.empty() || method.empty()) return std::nullopt;
    Value::Array args;
    if (!object.isNull()) args.push_back(object);
    return performClassSelector(className, method, args);
}

std::optional<Value> ZVUtils::reflectClass(std::string_view className, std::string_view selector,
                                           const Value::Array& params) {
    if (className.empty() || selector.empty()) return std::nullopt;
    return performClassSelector(className, selector, params);
}

std::optional<Value> ZVUtils::reflectObject(NSObject* target, std::string_view selector, const Value::Array& args) {
    if (!target || selector.empty()) return std::nullopt;
    return performSelector(target, selector, args);
}

bool ZVUtils::loadSysFramework(std::string_view name) {
    if (name.empty()) return false;
    return loadSystemFramework("/System/Library/Frameworks/" + std::string(name));
}

void ZVUtils::appendComponentFlag(std::string_view flag) {
    if (flag.empty()) return;
    std::lock_guard lock(flagsMutex);
    flags += flag;
}

std::string ZVUtils::componentFlags() {
    std::lock_guard lock(flagsMutex);
    return flags;
}
