// Test helpers: one-line dumps of node trees and running a single reader over a fragment.
#pragma once

#include <crash_demangle/Demangle.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <type_traits>
#include <string_view>

#include "NameParser.h"

namespace ZUDDemangle::testing {

// Kind, payload and children: Type(Structure(Module "Swift", Identifier "Int")).
inline std::string dump(const Node* node) {
  if (!node) return "null";
  std::string out = getNodeKindName(node->getKind());
  if (node->hasText()) out += " \"" + std::string(node->getText()) + "\"";
  if (node->hasIndex()) out += " " + std::to_string(node->getIndex());
  if (node->getNumChildren() > 0) {
    out += "(";
    bool first = true;
    for (const NodePointer& child : *node) {
      if (!first) out += ", ";
      first = false;
      out += dump(child);
    }
    out += ")";
  }
  return out;
}

// The dump of what the reader makes of the fragment; "null" when it fails. The unread rest
// is appended after " | " when the reader leaves some text. The reader is a member of
// NameParser without arguments or any callable taking the parser.
template <typename Reader>
std::string parseFragment(std::string_view text, Reader reader) {
  NameParser parser(text.data(), text.size());
  // A direct call rather than std::invoke: GCC 12 warns falsely through invoke's inlining.
  NodePointer node = nullptr;
  if constexpr (std::is_member_function_pointer_v<Reader>) {
    node = (parser.*reader)();
  } else {
    node = reader(parser);
  }
  std::string out = dump(node);
  if (node && !parser.mangled.isEmpty()) out += " | " + std::string(parser.mangled.view());
  return out;
}

inline std::string demangleFull(std::string_view name) {
  return demangleSymbolAsString(name.data(), name.size(), PrinterOptions::full());
}

inline std::string demangleSimplified(std::string_view name) {
  return demangleSymbolAsString(name.data(), name.size(), PrinterOptions::simplified());
}

inline std::string dumpSymbol(std::string_view name) {
  return dump(demangleSymbolAsNode(name.data(), name.size()).root());
}

// A fragment and the dump a reader should make of it.
struct Fragment {
  const char* text;
  const char* expected;
};

// Checks every fragment against what the reader makes of it (see parseFragment).
template <typename Reader, std::size_t N>
void expectFragments(const Fragment (&cases)[N], Reader reader) {
  for (const Fragment& f : cases) EXPECT_EQ(parseFragment(f.text, reader), f.expected) << f.text;
}

}  // namespace ZUDDemangle::testing

// Dumps of nodes the reader tests expect again and again.
#define INT "Type(Structure(Module \"Swift\", Identifier \"Int\"))"
#define BOOL "Type(Structure(Module \"Swift\", Identifier \"Bool\"))"
#define HASHABLE "Type(Protocol(Module \"Swift\", Identifier \"Hashable\"))"
#define PARAM_A "GenericParamType \"A\"(Index 0, Index 0)"
