#include <platform_foundation/NSCoding.h>

#include <algorithm>
#include <map>
#include <mutex>

#include <platform_foundation/NSCoder.h>

namespace {

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

// Entries are never removed, so pointers handed out by lookup stay valid.
std::map<std::string, std::unique_ptr<NSCodingRegistry::Entry>>& registry() {
    static std::map<std::string, std::unique_ptr<NSCodingRegistry::Entry>> r;
    return r;
}

}  // namespace

void NSCodingRegistry::registerClass(const std::string& className, std::vector<std::string> superclasses,
                                     Decoder decoder, bool supportsSecureCoding) {
    auto entry = std::make_unique<Entry>();
    entry->className = className;
    entry->classChain.push_back(className);
    for (auto& s : superclasses) entry->classChain.push_back(std::move(s));
    if (entry->classChain.back() != "NSObject") entry->classChain.push_back("NSObject");
    entry->decoder = std::move(decoder);
    entry->supportsSecureCoding = supportsSecureCoding;
    std::lock_guard<std::mutex> lock(registryMutex());
    auto& slot = registry()[className];
    if (slot)
        *slot = std::move(*entry);
    else
        slot = std::move(entry);
}

const NSCodingRegistry::Entry* NSCodingRegistry::lookup(const std::string& className) {
    std::lock_guard<std::mutex> lock(registryMutex());
    auto it = registry().find(className);
    return it == registry().end() ? nullptr : it->second.get();
}

int32_t NSCoder::decodeIntForKey(const std::string& key) {
    const int64_t v = decodeInt64ForKey(key);
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
