#include <platform_net/StringTransform.h>

#include <map>
#include <memory>
#include <mutex>

#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace {

bool isValidUTF8(std::string_view s) {
    int32_t i = 0, n = static_cast<int32_t>(s.size());
    while (i < n) {
        UChar32 c;
        U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), i, n, c);
        if (c < 0) return false;
    }
    return true;
}

// Building a transliterator parses its rules, so each ID is built once; a transliterator
// is not safe for concurrent use, so calls take the cache's lock.
struct Cache {
    std::mutex mutex;
    std::map<std::pair<std::string, bool>, std::unique_ptr<icu::Transliterator>> items;
};

Cache& cache() {
    static Cache* c = new Cache;
    return *c;
}

}  // namespace

std::optional<std::string> NSStringApplyTransform(std::string_view text, std::string_view transformID, bool reverse) {
    if (!isValidUTF8(text) || transformID.empty()) return std::nullopt;
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    auto key = std::make_pair(std::string(transformID), reverse);
    auto it = c.items.find(key);
    if (it == c.items.end()) {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> t(icu::Transliterator::createInstance(
            icu::UnicodeString::fromUTF8(icu::StringPiece(transformID.data(), static_cast<int32_t>(transformID.size()))),
            reverse ? UTRANS_REVERSE : UTRANS_FORWARD, status));
        if (U_FAILURE(status) || !t) return std::nullopt;
        it = c.items.emplace(key, std::move(t)).first;
    }
    icu::UnicodeString u =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    it->second->transliterate(u);
    std::string out;
    u.toUTF8String(out);
    return out;
}

bool CFStringTransform(std::string& text, std::string_view transformID, bool reverse) {
    auto result = NSStringApplyTransform(text, transformID, reverse);
    if (!result) return false;
    text = std::move(*result);
    return true;
}
