#pragma once
// A closure as an object, so that it can travel as a `Value` argument of a call by name
// (completion and expiration handlers handed to classes found through the registry).
// Calling it from several threads at once is the closure's own business.

#include <functional>
#include <memory>

#include <platform_runtime/ObjCDeclare.h>

class NSBlock : public NSObject {
    NS_CLASS(NSBlock, NSObject)
public:
    using Body = std::function<Value(const Value::Array& args)>;
    NSBlock() = default;
    explicit NSBlock(Body body) : body_(std::move(body)) {}
    static Value make(Body body) { return Value(std::make_shared<NSBlock>(std::move(body))); }
    // A block that takes and answers nothing.
    static Value make(std::function<void()> body) {
        return make(Body([b = std::move(body)](const Value::Array&) {
            if (b) b();
            return Value();
        }));
    }
    // Null when the block has no body.
    Value invoke(const Value::Array& args = {}) const { return body_ ? body_(args) : Value(); }
    // Calls the block a value holds; nothing for any other value.
    static Value invokeValue(const Value& block, const Value::Array& args = {}) {
        auto b = block.objectAs<NSBlock>();
        return b ? b->invoke(args) : Value();
    }

private:
    Body body_;
};
