#include <platform_foundation/NSCoder.h>

#include <algorithm>
#include <limits>

int32_t NSCoder::decodeIntForKey(const std::string& key) {
    const int64_t v = decodeInt64ForKey(key);
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}
