#pragma once
// Reader of strings tables: the text form ("key" = "value"; with comments and escapes, UTF-8 or
// UTF-16) and the property-list forms (binary or XML dictionary of strings).

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include <platform_runtime/Value.h>

class StringsFile {
public:
    using Table = std::map<std::string, std::string>;

    // Text form: entries `"key" = "value";` (or a bare `"key";`, which maps the key to itself);
    // keys and values quoted or plain words; /* */ and // comments; escapes \" \\ \n \t \r \a \b
    // \f \v, \Uxxxx / \uxxxx (UTF-16 units, surrogate pairs joined) and octal \ooo. A file may
    // be enclosed in braces. Encodings: UTF-8 (a BOM is skipped) or UTF-16 with a BOM; UTF-16
    // without BOM is recognised by its zero bytes. Property-list files: every string value of
    // the top-level dictionary. A later duplicate key wins. nullopt and a message (with the
    // line number) for malformed text.
    static std::optional<Table> parse(const Value::Data& bytes, std::string* error = nullptr);
    static std::optional<Table> parseText(std::string_view utf8, std::string* error = nullptr);
    // nullopt when the file cannot be read or parsed.
    static std::optional<Table> tableWithContentsOfFile(const std::string& path, std::string* error = nullptr);
};
