#pragma once
// Root of every class that needs runtime services: identity, description,
// equality and hash. Objects live in std::shared_ptr.

#include <cstddef>
#include <memory>
#include <string>

class NSObject : public std::enable_shared_from_this<NSObject> {
public:
    NSObject() = default;
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;
    virtual ~NSObject() = default;

    // The registered class name ("NSObject" for the root).
    virtual std::string className() const { return "NSObject"; }
    // Text for logs and "%@"; by default "<ClassName: 0xADDRESS>".
    virtual std::string description() const;
    // Identity unless a class defines value equality; hash agrees with it.
    virtual bool isEqual(const NSObject& other) const { return this == &other; }
    virtual std::size_t hash() const { return reinterpret_cast<std::size_t>(this); }
};

using NSObjectPtr = std::shared_ptr<NSObject>;
