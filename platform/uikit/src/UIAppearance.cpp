#include <platform_uikit/UIAppearance.h>

#include <algorithm>

std::map<const ObjCClass*, std::shared_ptr<UIAppearanceCustomizable>>& UIAppearanceCustomizable::registry() {
    static auto* proxies = new std::map<const ObjCClass*, std::shared_ptr<UIAppearanceCustomizable>>();
    return *proxies;
}

bool UIAppearanceCustomizable::isCustomized(const std::string& key) const {
    return !proxy_ && std::find(keys_.begin(), keys_.end(), key) != keys_.end();
}

void UIAppearanceCustomizable::noteCustomized(const std::string& key) {
    if (applying_) return;
    if (std::find(keys_.begin(), keys_.end(), key) == keys_.end()) keys_.push_back(key);
}

void UIAppearanceCustomizable::applyAppearanceProxies(const ObjCClass& cls, const ObjCClass& root) {
    if (proxy_) return;
    std::vector<const ObjCClass*> chain;
    for (const ObjCClass* c = &cls; c; c = c->superclass()) {
        chain.push_back(c);
        if (c == &root) break;
    }
    auto& proxies = registry();
    applying_ = true;
    try {
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            auto found = proxies.find(*it);
            if (found == proxies.end()) continue;
            for (const auto& key : found->second->keys_)
                if (!isCustomized(key)) copyAppearanceValue(*found->second, key);
        }
    } catch (...) {
        applying_ = false;
        throw;
    }
    applying_ = false;
}
