#include <platform_runtime/ObjCAvailability.h>

#include <platform_runtime/ObjCClass.h>

#include <map>
#include <mutex>
#include <shared_mutex>

namespace {

struct Table {
    std::shared_mutex m;
    std::map<const ObjCClass*, ObjCAvailability> classes;
    std::map<const ObjCClass*, std::map<std::string, ObjCAvailability, std::less<>>> selectors;
    bool anySelectors = false;
};

Table& table() {
    static auto* t = new Table();  // never destroyed: lookups may come at exit
    return *t;
}

}  // namespace

void objc_setClassAvailability(const ObjCClass& cls, ObjCAvailability available) {
    auto& t = table();
    std::unique_lock lock(t.m);
    t.classes[&cls] = std::move(available);
}

void objc_setSelectorAvailability(const ObjCClass& cls, std::string selector, ObjCAvailability available) {
    auto& t = table();
    std::unique_lock lock(t.m);
    t.selectors[&cls][std::move(selector)] = std::move(available);
    t.anySelectors = true;
}

bool objc_isClassAvailable(const ObjCClass* cls) {
    if (!cls) return true;
    ObjCAvailability available;
    {
        auto& t = table();
        std::shared_lock lock(t.m);
        auto it = t.classes.find(cls);
        if (it == t.classes.end()) return true;
        available = it->second;
    }
    // Asked outside the lock: the predicate may look things up itself.
    return !available || available();
}

bool objc_isSelectorAvailable(const ObjCClass* cls, std::string_view selector) {
    ObjCAvailability available;
    {
        auto& t = table();
        std::shared_lock lock(t.m);
        if (!t.anySelectors) return true;
        for (const ObjCClass* c = cls; c && !available; c = c->superclass()) {
            auto per = t.selectors.find(c);
            if (per == t.selectors.end()) continue;
            auto it = per->second.find(selector);
            if (it != per->second.end()) available = it->second;
        }
    }
    return !available || available();
}
