#pragma once
// The MIME type for a file-name extension; "application/octet-stream" when none is known.

#include <string>

std::string NKMIMETypeForFileExtension(const std::string& extension);
