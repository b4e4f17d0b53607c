// Entry points of the Swift symbol demangler: mangled name to node tree, tree to text, name to text.
#pragma once

#include <crash_demangle/Node.h>
#include <crash_demangle/PrinterOptions.h>

#include <cstddef>
#include <string>

namespace ZUDDemangle {

// The GlobalSymbol root of the tree for a "_T" name, or null when the name does not parse.
NodePointer demangleSymbolAsNode(const char* text, size_t length);

// The printed text of a tree; empty for a null root (or a tree too large to print).
std::string nodeToString(NodePointer root, const PrinterOptions& options);

// The readable text of a mangled name; the input unchanged when it does not demangle.
std::string demangleSymbolAsString(const char* text, size_t length, const PrinterOptions& options);

}  // namespace ZUDDemangle
