#pragma once
// Text transforms by ICU transform ID, such as "Any-Latin; Latin-ASCII; [:^ASCII:] Remove"
// (any script to plain ASCII, as used for header values).

#include <optional>
#include <string>
#include <string_view>

// The UTF-8 text transformed (reverse: the inverse transform); nullopt when the ID is not a
// valid transform or the text is not UTF-8.
std::optional<std::string> NSStringApplyTransform(std::string_view text, std::string_view transformID,
                                                  bool reverse = false);
// In place; false (text unchanged) when the transform cannot be applied.
bool CFStringTransform(std::string& text, std::string_view transformID, bool reverse);
