#pragma once
// Texts of the networking layer, looked up in the main bundle's "NKNetworking" strings table
// with the English text as key (the English text when there is no translation).

#include <string>

std::string NKLocalizedString(const std::string& english);
