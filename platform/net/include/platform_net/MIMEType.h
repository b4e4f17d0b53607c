#pragma once
// The preferred MIME type of a file-name extension, from a built-in table of common types.

#include <string>
#include <string_view>

// Case-insensitive, with or without a leading "."; "application/octet-stream" when unknown.
std::string MIMETypeForExtension(std::string_view extension);
