#pragma once
// Keyed archiver: encodes a Value graph (and NSCoding objects) into the platform's
// $archiver / $version / $objects / $top property-list archive format.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include <platform_foundation/NSCoder.h>
#include <platform_foundation/NSPropertyListSerialization.h>

class NSKeyedArchiver : public NSCoder {
public:
    explicit NSKeyedArchiver(bool requiringSecureCoding = true);
    ~NSKeyedArchiver() override;

    // Archives `root` under the "root" key as a binary property list. Values the archive cannot
    // hold (objects without NSCoding, classes without NSSecureCoding when it is required,
    // decimals, geometry) answer empty data and set *error (NSCocoaErrorDomain 4866).
    static Value::Data archivedDataWithRootObject(const Value& root, bool requiringSecureCoding,
                                                  NSErrorPtr* error = nullptr);

    // Binary (default) or XML.
    void setOutputFormat(NSPropertyListFormat format) { format_ = format; }
    NSPropertyListFormat outputFormat() const { return format_; }

    // Writes the archive; the coder takes no more values afterwards.
    void finishEncoding();
    // The archive (finishing it first if needed); empty when encoding failed.
    const Value::Data& encodedData();

    bool requiresSecureCoding() const override { return requiresSecureCoding_; }
    void encodeObject(const Value& object, const std::string& key) override;
    void encodeBool(bool value, const std::string& key) override;
    void encodeInt64(int64_t value, const std::string& key) override;
    void encodeDouble(double value, const std::string& key) override;

    bool containsValueForKey(const std::string&) const override { return false; }
    Value decodeObjectForKey(const std::string&) override { return Value(); }
    Value decodeObjectOfClasses(const std::set<std::string>&, const std::string&) override { return Value(); }
    bool decodeBoolForKey(const std::string&) override { return false; }
    int64_t decodeInt64ForKey(const std::string&) override { return 0; }
    double decodeDoubleForKey(const std::string&) override { return 0; }

private:
    uint64_t encodeValue(const Value& v, bool inCollection);
    uint64_t appendObject(void* node);
    uint64_t classUID(const std::string& name, const std::vector<std::string>& chain);
    void setItem(const std::string& key, void* node);
    uint64_t fail(const std::string& why);

    bool requiresSecureCoding_;
    NSPropertyListFormat format_ = NSPropertyListBinaryFormat_v1_0;
    void* objects_;  // plist array of the archive's objects
    void* top_;      // plist dict of the root keys
    void* current_;  // dict receiving encodeXXX:forKey: calls
    std::map<std::string, uint64_t> strings_;
    std::map<std::string, uint64_t> classes_;
    std::map<const NSObject*, uint64_t> objectsByIdentity_;
    bool finished_ = false;
    Value::Data data_;
};
