#pragma once
// NSCoding for our own classes: encodeWithCoder plus a decoding factory registered by class name.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <platform_foundation/NSCoder.h>
#include <platform_runtime/NSObject.h>

// Implemented by NSObject subclasses that can be archived. The archive records the object's
// className(); decoding finds the class by that name in NSCodingRegistry.
class NSCoding {
public:
    virtual ~NSCoding() = default;
    virtual void encodeWithCoder(NSCoder& coder) const = 0;
};

class NSCodingRegistry {
public:
    // Builds the object from a decoding coder; nullptr when it cannot (optionally after failWithError).
    using Decoder = std::function<std::shared_ptr<NSObject>(NSCoder&)>;
    struct Entry {
        std::string className;
        std::vector<std::string> classChain;  // the class, its superclasses, ..., "NSObject"
        Decoder decoder;
        bool supportsSecureCoding = false;
    };

    // superclasses: from the direct superclass up; "NSObject" is appended when missing.
    // Registering a name again replaces the entry.
    static void registerClass(const std::string& className, std::vector<std::string> superclasses, Decoder decoder,
                              bool supportsSecureCoding);
    // nullptr when no such class was registered.
    static const Entry* lookup(const std::string& className);
};

// Registers T at static-initialisation time. T provides
//   static std::shared_ptr<T> initWithCoder(NSCoder&);   // nullptr on failure
//   static bool supportsSecureCoding();
template <class T>
struct NSCodingRegistrar {
    explicit NSCodingRegistrar(const std::string& className, std::vector<std::string> superclasses = {}) {
        NSCodingRegistry::registerClass(
            className, std::move(superclasses),
            [](NSCoder& coder) -> std::shared_ptr<NSObject> { return T::initWithCoder(coder); },
            T::supportsSecureCoding());
    }
};
