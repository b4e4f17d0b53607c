// Entry points: the top-level grammar ("_T", specialization prefixes, markers, body, suffix).
#include <crash_demangle/Demangle.h>
#include <crash_demangle/Limits.h>

#include "NameParser.h"
#include "NodePrinter.h"

namespace ZUDDemangle {

namespace {
using K = Node::Kind;
}  // namespace

NodePointer demangleSymbolAsNode(const char* text, size_t length) {
  if (length > Limits::kMaxNameLength) return nullptr;
  NameParser parser(text, length);
  StringRef& mangled = parser.mangled;
  if (!mangled.consumePrefix("_T")) return nullptr;

  NodePointer root = makeNode(K::GlobalSymbol);
  if (mangled.consumePrefix("TS")) {
    do {
      NodePointer specialization = parser.parseSpecialization();
      if (!specialization) return nullptr;
      root->addChild(std::move(specialization));
      parser.substitutions.clear();
    } while (mangled.consumePrefix("_TTS"));
    if (!mangled.consumePrefix("_T")) return nullptr;
  } else if (mangled.consumePrefix("To")) {
    root->addChild(makeNode(K::ObjCMarker));
  } else if (mangled.consumePrefix("TO")) {
    root->addChild(makeNode(K::NonObjCMarker));
  } else if (mangled.consumePrefix("TD")) {
    root->addChild(makeNode(K::DynamicMarker));
  } else if (mangled.consumePrefix("Td")) {
    root->addChild(makeNode(K::SuperMarker));
  } else if (mangled.consumePrefix("TV")) {
    root->addChild(makeNode(K::OverrideMarker));
  }

  NodePointer body = parser.parseSymbolBody();
  if (!body) return nullptr;
  root->addChild(std::move(body));
  if (!mangled.isEmpty()) {
    root->addChild(makeNode(K::UnmangledSuffix, mangled.view()));
    mangled.skip(mangled.size());
  }
  return root;
}

std::string nodeToString(NodePointer root, const PrinterOptions& options) {
  if (!root) return {};
  PrintBudget budget;
  return printTree(root, options, budget);
}

std::string demangleSymbolAsString(const char* text, size_t length, const PrinterOptions& options) {
  std::string printed = nodeToString(demangleSymbolAsNode(text, length), options);
  if (printed.empty()) return std::string(text, length);
  return printed;
}

}  // namespace ZUDDemangle
