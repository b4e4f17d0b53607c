// libFuzzer entry for the JSON reader: any byte string is read with and without fragments.
// A read answers a value or an error, never both; a value read is written back,
// and that text reads again to an equal value.
#include <platform_foundation/NSJSONSerialization.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (NSJSONReadingOptions options : {NSJSONReadingOptions{0}, NSJSONReadingFragmentsAllowed}) {
        NSErrorPtr error;
        const Value v = NSJSONSerialization::JSONObjectWithData(text, options, &error);
        if (error) {
            if (!v.isNull()) std::abort();
            continue;
        }
        // Without fragments only an array or a dictionary is an answer ("null" is an error).
        if (options == 0 && !v.isArray() && !v.isDictionary()) std::abort();
        NSErrorPtr writeError;
        const std::string written = NSJSONSerialization::stringWithJSONObject(v, NSJSONWritingFragmentsAllowed, &writeError);
        if (writeError) std::abort();
        NSErrorPtr readError;
        const Value again = NSJSONSerialization::JSONObjectWithData(written, NSJSONReadingFragmentsAllowed, &readError);
        if (readError || !(again == v)) std::abort();
    }
    return 0;
}
