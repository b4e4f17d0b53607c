#pragma once
// Keyed coder interface our NSCoding classes encode into and decode from (archiver and unarchiver).

#include <cstdint>
#include <set>
#include <string>

#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

class NSCoder {
public:
    virtual ~NSCoder() = default;

    bool allowsKeyedCoding() const { return true; }
    // True when only classes that declare secure-coding support may be (de)coded.
    virtual bool requiresSecureCoding() const = 0;

    // --- encoding (ignored by a decoding coder) -------------------------------------------
    // A Null value encodes as nil (decodes back to Null); containers, dates, data, strings,
    // numbers and NSCoding objects are archived by reference.
    virtual void encodeObject(const Value& object, const std::string& key) = 0;
    virtual void encodeBool(bool value, const std::string& key) = 0;
    virtual void encodeInt64(int64_t value, const std::string& key) = 0;
    virtual void encodeDouble(double value, const std::string& key) = 0;
    void encodeInt(int32_t value, const std::string& key) { encodeInt64(value, key); }
    void encodeInteger(int64_t value, const std::string& key) { encodeInt64(value, key); }
    void encodeInt32(int32_t value, const std::string& key) { encodeInt64(value, key); }
    void encodeFloat(float value, const std::string& key) { encodeDouble(value, key); }

    // --- decoding (answer nothing on an encoding coder) -----------------------------------
    virtual bool containsValueForKey(const std::string& key) const = 0;
    // Null when absent, nil, or when the archive is bad (then error() is set).
    virtual Value decodeObjectForKey(const std::string& key) = 0;
    // Fails (Null and an error) when the decoded object is not a kind of one of the classes.
    virtual Value decodeObjectOfClasses(const std::set<std::string>& classNames, const std::string& key) = 0;
    Value decodeObjectOfClass(const std::string& className, const std::string& key) {
        return decodeObjectOfClasses({className}, key);
    }
    // Absent keys give false / 0; a value of the wrong kind gives 0 and sets error().
    virtual bool decodeBoolForKey(const std::string& key) = 0;
    virtual int64_t decodeInt64ForKey(const std::string& key) = 0;
    virtual double decodeDoubleForKey(const std::string& key) = 0;
    int32_t decodeIntForKey(const std::string& key);  // clamped to int32
    int32_t decodeInt32ForKey(const std::string& key) { return decodeIntForKey(key); }
    int64_t decodeIntegerForKey(const std::string& key) { return decodeInt64ForKey(key); }
    float decodeFloatForKey(const std::string& key) { return static_cast<float>(decodeDoubleForKey(key)); }

    // --- failure --------------------------------------------------------------------------
    // The first error wins; once failed, a coder encodes and decodes nothing more.
    void failWithError(NSErrorPtr error) {
        if (!error_) error_ = std::move(error);
    }
    const NSErrorPtr& error() const { return error_; }

protected:
    NSErrorPtr error_;
};
