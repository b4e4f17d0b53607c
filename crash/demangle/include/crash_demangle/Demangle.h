// Entry points of the Swift symbol demangler: mangled name to node tree, tree to text, name to text.
// Every call is independent and may run on any thread.
#pragma once

#include <crash_demangle/Node.h>
#include <crash_demangle/ParsedSymbol.h>
#include <crash_demangle/PrinterOptions.h>

#include <cstddef>
#include <string>

namespace ZUDDemangle {

// The GlobalSymbol root of the tree for a "_T" name, with the arena holding it; no tree when the
// name does not parse.
ParsedSymbol demangleSymbolAsNode(const char* text, size_t length);

// The printed text of a tree; empty for a null root (or a tree too large to print).
std::string nodeToString(const Node* root, const PrinterOptions& options);

// The readable text of a mangled name; the input unchanged when it does not demangle.
std::string demangleSymbolAsString(const char* text, size_t length, const PrinterOptions& options);

}  // namespace ZUDDemangle
