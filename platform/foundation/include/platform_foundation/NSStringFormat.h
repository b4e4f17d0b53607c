#pragma once
// printf-style text formatting in the platform's style, with Value arguments ("%@" and friends).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <platform_runtime/NSObject.h>
#include <platform_runtime/Value.h>

// Formats `format` with `args`. Conversions: %@ (the argument's description; a null argument
// prints "(null)"), %d %i %u %o %x %X with the length modifiers hh h l ll q z t j L, %f %F %e %E
// %g %G %a %A, %s %c %C, %p, %%; flags "-+ #0", width and precision (also from "*"), and
// positional arguments ("%2$@"). An integer conversion truncates the argument to the
// modifier's width as the C conversion would (%d to 32 bits, %hhx to 8). A missing argument
// formats as a null one; an unknown conversion is copied as written.
std::string NSStringWithFormatArgs(std::string_view format, const std::vector<Value>& args);

namespace nsformat_detail {
inline Value argument(const Value& v) { return v; }
inline Value argument(std::nullptr_t) { return Value(); }
inline Value argument(const char* s) { return Value(s); }
inline Value argument(char* s) { return Value(static_cast<const char*>(s)); }
inline Value argument(const std::string& s) { return Value(s); }
inline Value argument(std::string_view s) { return Value(s); }
template <class T>
Value argument(const std::shared_ptr<T>& p) {
    if constexpr (std::is_convertible_v<T*, NSObject*>) {
        return Value(p);
    } else {
        return Value(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p.get())));
    }
}
// Raw pointers format by address (for %p).
template <class T>
Value argument(T* p) {
    return Value(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)));
}
template <class T, std::enable_if_t<std::is_arithmetic_v<T> || std::is_enum_v<T>, int> = 0>
Value argument(T v) {
    if constexpr (std::is_enum_v<T>) {
        return Value(static_cast<std::underlying_type_t<T>>(v));
    } else {
        return Value(v);
    }
}
}  // namespace nsformat_detail

// NSStringWithFormat("%@ has %d", Value("x"), 3): any mix of Values, numbers, C strings,
// std::strings, object pointers and raw pointers.
template <class... Args>
std::string NSStringWithFormat(std::string_view format, const Args&... args) {
    return NSStringWithFormatArgs(format, std::vector<Value>{nsformat_detail::argument(args)...});
}

namespace NSString {
template <class... Args>
std::string stringWithFormat(std::string_view format, const Args&... args) {
    return NSStringWithFormat(format, args...);
}
}  // namespace NSString
