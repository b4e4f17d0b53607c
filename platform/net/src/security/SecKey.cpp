#include <platform_net/SecKey.h>

#include <functional>
#include <string_view>

SecKey::SecKey(std::vector<uint8_t> subjectPublicKeyInfo) : spki_(std::move(subjectPublicKeyInfo)) {}

std::string SecKey::description() const {
    return "<SecKey: " + std::to_string(spki_.size()) + " bytes>";
}

bool SecKey::isEqual(const NSObject& other) const {
    auto* key = dynamic_cast<const SecKey*>(&other);
    return key && key->spki_ == spki_;
}

std::size_t SecKey::hash() const {
    return std::hash<std::string_view>()(
        std::string_view(reinterpret_cast<const char*>(spki_.data()), spki_.size()));
}

std::vector<uint8_t> SecKeyCopyExternalRepresentation(const SecKeyRef& key) {
    return key ? key->subjectPublicKeyInfo() : std::vector<uint8_t>{};
}

bool SecKeyEqual(const SecKeyRef& a, const SecKeyRef& b) {
    if (!a || !b) return !a && !b;
    return a->isEqual(*b);
}
