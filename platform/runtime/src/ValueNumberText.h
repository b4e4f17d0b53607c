#pragma once
// Canonical text of a double: the shortest digits that read back to the same value, in fixed
// notation for exponents -4..15 and scientific ("1e+16", "1.5e-05") outside.

#include <string>

std::string valueNumberText(double d);
