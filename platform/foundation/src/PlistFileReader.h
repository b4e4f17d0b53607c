#pragma once
// Private: decodes a binary or XML property list into a Value (used for bundle Info.plist files
// and property-list strings tables).

#include <optional>

#include <platform_runtime/Value.h>

std::optional<Value> readPropertyListBytes(const Value::Data& bytes);
