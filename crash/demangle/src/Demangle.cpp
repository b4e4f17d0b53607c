// Entry points: the top-level grammar ("_T", specialization prefixes, markers, body, suffix).
#include <crash_demangle/Demangle.h>
#include <crash_demangle/Limits.h>

#include "NameParser.h"
#include "NodePrinter.h"

namespace ZUDDemangle {

namespace {

using K = Node::Kind;

// Room for the whole tree of a typical symbol, so that demangling one to text takes no heap
// block for its nodes.
constexpr size_t kStackArenaBytes = 4 * 1024;

// The GlobalSymbol root of the parser's name, or null.
NodePointer parseSymbol(NameParser& parser) {
  StringRef& mangled = parser.mangled;
  if (!mangled.consumePrefix("_T")) return nullptr;

  NodePointer root = parser.makeNode(K::GlobalSymbol);
  NodeArena& arena = parser.arena;
  if (mangled.consumePrefix("TS")) {
    do {
      NodePointer specialization = parser.parseSpecialization();
      if (!specialization) return nullptr;
      root->addChild(specialization, arena);
      parser.substitutions.clear();
    } while (mangled.consumePrefix("_TTS"));
    if (!mangled.consumePrefix("_T")) return nullptr;
  } else if (mangled.consumePrefix("To")) {
    root->addChild(parser.makeNode(K::ObjCMarker), arena);
  } else if (mangled.consumePrefix("TO")) {
    root->addChild(parser.makeNode(K::NonObjCMarker), arena);
  } else if (mangled.consumePrefix("TD")) {
    root->addChild(parser.makeNode(K::DynamicMarker), arena);
  } else if (mangled.consumePrefix("Td")) {
    root->addChild(parser.makeNode(K::SuperMarker), arena);
  } else if (mangled.consumePrefix("TV")) {
    root->addChild(parser.makeNode(K::OverrideMarker), arena);
  }

  NodePointer body = parser.parseSymbolBody();
  if (!body) return nullptr;
  root->addChild(body, arena);
  if (!mangled.isEmpty()) {
    root->addChild(parser.makeNode(K::UnmangledSuffix, mangled.view()), arena);
    mangled.skip(mangled.size());
  }
  return root;
}

}  // namespace

ParsedSymbol demangleSymbolAsNode(const char* text, size_t length) {
  if (length > Limits::kMaxNameLength) return {};
  NameParser parser(text, length);
  NodePointer root = parseSymbol(parser);
  if (!root) return {};
  return ParsedSymbol(std::move(parser.arena), root);
}

std::string nodeToString(const Node* root, const PrinterOptions& options) {
  if (!root) return {};
  PrintBudget budget;
  return printTree(root, options, budget, 0);
}

std::string demangleSymbolAsString(const char* text, size_t length, const PrinterOptions& options) {
  std::string printed;
  if (length <= Limits::kMaxNameLength) {
    alignas(void*) char buffer[kStackArenaBytes];
    NameParser parser(text, length, NodeArena(buffer, sizeof buffer));
    if (NodePointer root = parseSymbol(parser)) {
      PrintBudget budget;
      printed = printTree(root, options, budget, length);
    }
  }
  if (printed.empty()) return std::string(text, length);
  return printed;
}

}  // namespace ZUDDemangle
