#pragma once
// Appearance proxies: values set on a class's proxy are applied to the
// instances of that class and of its subclasses as they enter a window,
// except the values an instance set itself. A subclass's proxy wins over its
// superclass's; an instance's own value wins over both.
//
// A customizable class derives from UIAppearanceCustomizable, marks each
// appearance setter with noteCustomized(key) and copies a key from a proxy in
// its copyAppearanceValue. Proxies are instances of the class made on first
// use, one per class, and live for the process.
//
// Main thread.

#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCClass.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class UIAppearanceCustomizable {
public:
    virtual ~UIAppearanceCustomizable() = default;

    bool isAppearanceProxy() const { return proxy_; }
    // Whether the instance set this key itself (appearance values do not count).
    bool isCustomized(const std::string& key) const;
    // Keys a proxy was given, in the order they were first set.
    const std::vector<std::string>& customizedKeys() const { return keys_; }
    // Tests: forgets every proxy (instances keep what they took).
    static void removeAllProxiesForTesting() { registry().clear(); }

protected:
    // Called by each appearance setter with its key.
    void noteCustomized(const std::string& key);
    // Copies the value of `key` from `proxy` (an instance of the same C++ class).
    virtual void copyAppearanceValue(const UIAppearanceCustomizable& proxy, const std::string& key) = 0;
    // Applies the proxies of `cls` and its superclasses up to `root`, root first.
    void applyAppearanceProxies(const ObjCClass& cls, const ObjCClass& root);

private:
    template <class T>
    friend std::shared_ptr<T> UIAppearanceProxyFor(const ObjCClass& cls);
    static std::map<const ObjCClass*, std::shared_ptr<UIAppearanceCustomizable>>& registry();

    bool proxy_ = false;
    bool applying_ = false;
    std::vector<std::string> keys_;
};

// The proxy of `cls` (T or a subclass of T), made on first use.
template <class T>
std::shared_ptr<T> UIAppearanceProxyFor(const ObjCClass& cls) {
    auto& slot = UIAppearanceCustomizable::registry()[&cls];
    if (!slot) {
        auto proxy = std::make_shared<T>();
        proxy->proxy_ = true;
        slot = proxy;
    }
    return std::static_pointer_cast<T>(slot);
}
