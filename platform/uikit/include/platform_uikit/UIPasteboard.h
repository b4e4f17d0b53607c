#pragma once
// Named pasteboards shared by the apps of one device: one file per name under the device
// root ("Pasteboards/"), holding data per type and the persistent flag, rewritten atomically
// on every change and read afresh on every access, so another app's write is seen at once.
// Any thread.

#include <memory>
#include <optional>
#include <string>

#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

class UIPasteboard : public NSObject {
    NS_CLASS(UIPasteboard, NSObject)
public:
    // The pasteboard of that name; nullptr when it does not exist and `create` is false (or
    // the name is empty).
    static std::shared_ptr<UIPasteboard> pasteboardWithName(const std::string& name, bool create);
    static void removePasteboardWithName(const std::string& name);

    const std::string& name() const { return name_; }
    bool isPersistent() const;
    void setPersistent(bool persistent);
    // Nothing when the type holds no data (or the file is unreadable).
    std::optional<Value::Data> dataForPasteboardType(const std::string& type) const;
    void setData(const Value::Data& data, const std::string& type);

    UIPasteboard() = default;
    explicit UIPasteboard(std::string name) : name_(std::move(name)) {}

private:
    std::string name_;
};
