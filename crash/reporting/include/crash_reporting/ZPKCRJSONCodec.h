#pragma once
// Converts between trees of Values (dictionaries, arrays, strings, numbers, null, dates
// and data) and JSON bytes over the crash core's streaming codec, adding key sorting,
// null filtering and error objects. Each encode or decode call makes its own codec, so
// calls on different threads do not interact; a codec object is not shared.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <crash_core/CRJSONCodec.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

enum ZPKCRJSONEncodeOption : int32_t {
    ZPKCRJSONEncodeOptionNone = 0,
    ZPKCRJSONEncodeOptionPretty = 1,
    ZPKCRJSONEncodeOptionSorted = 2,
};

enum ZPKCRJSONDecodeOption : int32_t {
    ZPKCRJSONDecodeOptionNone = 0,
    ZPKCRJSONDecodeOptionIgnoreNullInArray = 1,
    ZPKCRJSONDecodeOptionIgnoreNullInObject = 2,
    ZPKCRJSONDecodeOptionIgnoreAllNulls = 3,
    ZPKCRJSONDecodeOptionKeepPartialObject = 4,
};

// The domain of the codec's errors (code 0, the message as localized description).
inline constexpr char kZPKCRJSONCodecErrorDomain[] = "CRJSONCodecObjC";

class ZPKCRJSONCodec : public NSObject {
    NS_CLASS(ZPKCRJSONCodec, NSObject)
public:
    ZPKCRJSONCodec(int32_t encodeOptions, int32_t decodeOptions);
    ~ZPKCRJSONCodec() override;
    static std::shared_ptr<ZPKCRJSONCodec> codecWithEncodeOptions(int32_t encodeOptions, int32_t decodeOptions);

    // The JSON bytes of the object, or nullopt when a value cannot be encoded (the error,
    // when asked for, says which where a message applies).
    static std::optional<Value::Data> encode(const Value& object, int32_t options, NSErrorPtr* error = nullptr);
    // The top-level container (a dictionary or an array), or Null on failure; with
    // ZPKCRJSONDecodeOptionKeepPartialObject the containers built before the failure.
    static Value decode(std::string_view json, int32_t options, NSErrorPtr* error = nullptr);
    static Value decode(const Value::Data& json, int32_t options, NSErrorPtr* error = nullptr);
    // The same from elements a producer hands to the codec's callbacks (with the codec as
    // their user data) instead of from text; the producer's answer stands for the text
    // decoder's (CRJSON_OK or an error).
    static Value decodeElements(const std::function<int(const CRJSONDecodeCallbacks*, void*)>& produce,
                                int32_t options, NSErrorPtr* error = nullptr);

    bool prettyPrint() const { return prettyPrint_; }
    void setPrettyPrint(bool value) { prettyPrint_ = value; }
    bool sorted() const { return sorted_; }
    void setSorted(bool value) { sorted_ = value; }
    bool ignoreNullsInArrays() const { return ignoreNullsInArrays_; }
    void setIgnoreNullsInArrays(bool value) { ignoreNullsInArrays_ = value; }
    bool ignoreNullsInObjects() const { return ignoreNullsInObjects_; }
    void setIgnoreNullsInObjects(bool value) { ignoreNullsInObjects_ = value; }
    // The first container made while decoding (Null before that).
    const Value& topLevelContainer() const;
    const CRJSONDecodeCallbacks* callbacks() const { return callbacks_.get(); }
    const NSErrorPtr& error() const { return error_; }
    void setError(NSErrorPtr error) { error_ = std::move(error); }

private:
    struct Decoding;
    int encodeValue(CRJSONEncoder* encoder, const Value& value, const char* name);
    void setErrorText(const std::string& text);
    static int onBoolean(const char* name, bool value, void* codec);
    static int onFloatingPoint(const char* name, double value, void* codec);
    static int onInteger(const char* name, int64_t value, void* codec);
    static int onNull(const char* name, void* codec);
    static int onString(const char* name, const char* value, void* codec);
    static int onBeginObject(const char* name, void* codec);
    static int onBeginArray(const char* name, void* codec);
    static int onEndContainer(void* codec);
    static int onEndData(void* codec);
    int addValue(const char* name, Value value);
    int beginContainer(const char* name, bool object);
    Value takeTopLevelContainer();
    Value finishDecoding(int result, int32_t options, NSErrorPtr* error);

    bool prettyPrint_ = false;
    bool sorted_ = false;
    bool ignoreNullsInArrays_ = false;
    bool ignoreNullsInObjects_ = false;
    std::unique_ptr<CRJSONDecodeCallbacks> callbacks_;
    std::unique_ptr<Decoding> decoding_;
    NSErrorPtr error_;
};
