// The mangled C++ names that the process's shared C++ library exports, read from its dynamic
// symbol table: the input of the demangling anchor.
#pragma once

#include <string>
#include <vector>

namespace ZUDDemangle::bench {

// Defined "_Z" names in table order; empty when the library or its table cannot be read.
std::vector<std::string> exportedCxxSymbols();

}  // namespace ZUDDemangle::bench
