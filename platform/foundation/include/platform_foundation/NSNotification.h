#pragma once
// A posted notification: its name, its sender (object) and its user-info dictionary.

#include <memory>
#include <string>

#include <platform_runtime/NSObject.h>
#include <platform_runtime/Value.h>

class NSNotification : public NSObject {
public:
    NSNotification(std::string name, Value object = {}, Value userInfo = {});
    static std::shared_ptr<NSNotification> notificationWithName(std::string name, Value object = {},
                                                                Value userInfo = {});

    const std::string& name() const { return name_; }
    // The sender: an object reference, another value, or Null.
    const Value& object() const { return object_; }
    // A dictionary value, or Null.
    const Value& userInfo() const { return userInfo_; }

    std::string className() const override { return "NSNotification"; }
    std::string description() const override;

private:
    std::string name_;
    Value object_;
    Value userInfo_;
};

using NSNotificationPtr = std::shared_ptr<NSNotification>;
