#pragma once
// Keyed unarchiver: decodes the platform's $archiver / $objects / $top archives into Values
// and NSCoding objects, with secure decoding by allowed class names. Foreign or corrupt data
// answers Null and an NSError (NSCocoaErrorDomain 4864, or 4865 when the root is missing).

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <platform_foundation/NSCoder.h>

class NSKeyedUnarchiver : public NSCoder {
public:
    // Secure decoding: the root and everything inside it must be a kind of one of the classes
    // (built-in kinds: "NSString", "NSNumber", "NSData", "NSDate", "NSArray", "NSDictionary",
    // "NSSet", "NSNull" and their mutable forms; our classes and their superclasses by runtime name;
    // "NSObject" allows all).
    static Value unarchivedObjectOfClasses(const std::set<std::string>& classNames, const Value::Data& data,
                                           NSErrorPtr* error = nullptr);
    static Value unarchivedObjectOfClass(const std::string& className, const Value::Data& data,
                                         NSErrorPtr* error = nullptr) {
        return unarchivedObjectOfClasses({className}, data, error);
    }
    // Without secure coding: any built-in kind or NSCoding class known to the runtime.
    static Value unarchiveObjectWithData(const Value::Data& data, NSErrorPtr* error = nullptr);

    // nullptr and *error when the data is not a keyed archive. Secure coding is on by default.
    static std::unique_ptr<NSKeyedUnarchiver> initForReadingFromData(std::string_view data,
                                                                     NSErrorPtr* error = nullptr);
    ~NSKeyedUnarchiver() override;

    void setRequiresSecureCoding(bool secure) { requiresSecureCoding_ = secure; }
    bool requiresSecureCoding() const override { return requiresSecureCoding_; }
    void finishDecoding() {}

    void encodeObject(const Value&, const std::string&) override {}
    void encodeBool(bool, const std::string&) override {}
    void encodeInt64(int64_t, const std::string&) override {}
    void encodeDouble(double, const std::string&) override {}

    bool containsValueForKey(const std::string& key) const override;
    Value decodeObjectForKey(const std::string& key) override;
    Value decodeObjectOfClasses(const std::set<std::string>& classNames, const std::string& key) override;
    bool decodeBoolForKey(const std::string& key) override;
    int64_t decodeInt64ForKey(const std::string& key) override;
    double decodeDoubleForKey(const std::string& key) override;

private:
    NSKeyedUnarchiver() = default;
    void* item(const std::string& key) const;
    Value decodeReference(void* node, const std::set<std::string>* allowed);
    Value decodeUID(uint64_t uid, const std::set<std::string>* allowed);
    Value decodeObjectNode(uint64_t uid, void* node, const std::set<std::string>* allowed);
    bool checkAllowed(const std::vector<std::string>& chain, const std::set<std::string>* allowed);
    Value corrupt(const std::string& why);
    // Adds to the expanded size of the object being decoded (saturating past the bound).
    void countNodes(uint64_t nodes);

    void* root_ = nullptr;     // owned plist
    void* objects_ = nullptr;  // $objects
    void* current_ = nullptr;  // dict answering decodeXXXForKey:
    bool requiresSecureCoding_ = true;
    const std::set<std::string>* allowed_ = nullptr;  // classes allowed for the object being decoded
    std::map<uint64_t, Value> decoded_;
    std::map<uint64_t, std::vector<std::string>> chains_;  // class chain of each decoded object
    std::vector<bool> inProgress_;
    std::size_t depth_ = 0;
    // Expanded sizes: shared objects count once per reference, as any walk over the decoded
    // value (description, comparison, re-encoding) visits them. Bounded like property lists.
    std::map<uint64_t, uint64_t> sizes_;  // of each decoded object
    uint64_t total_ = 0;                  // of everything decoded so far
    uint64_t* nodes_ = &total_;           // of the object being decoded
    uint64_t maxNodes_ = 0;
};
