#include <platform_foundation/NSNotification.h>

NSNotification::NSNotification(std::string name, Value object, Value userInfo)
    : name_(std::move(name)), object_(std::move(object)), userInfo_(std::move(userInfo)) {}

std::shared_ptr<NSNotification> NSNotification::notificationWithName(std::string name, Value object, Value userInfo) {
    return std::make_shared<NSNotification>(std::move(name), std::move(object), std::move(userInfo));
}

std::string NSNotification::description() const {
    std::string out = NSObject::description() + " {name = " + name_;
    if (!object_.isNull()) out += "; object = " + object_.description();
    if (!userInfo_.isNull()) out += "; userInfo = " + userInfo_.description();
    return out + "}";
}
