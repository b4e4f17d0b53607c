// Printer core: dispatch, budget, the shared helpers and the tree-to-text entry.
#include "NodePrinter.h"

#include <algorithm>
#include <charconv>

namespace ZUDDemangle {

std::string printTree(const Node* root, const PrinterOptions& options, PrintBudget& budget,
                      size_t mangledLength) {
  // Printed text is rarely more than a few times the mangled name; one buffer of that size
  // takes the whole text without regrowing.
  constexpr size_t kTypicalLength = 128;
  size_t expected = mangledLength == 0 ? kTypicalLength : 32 + 4 * mangledLength;
  std::string output;
  output.reserve(std::min(expected, Limits::kMaxOutputLength));
  NodePrinter printer(options, budget, output);
  printer.print(root, false, false);
  if (printer.failed()) return {};
  return output;
}

void NodePrinter::print(const Node* node, bool asContext, bool suppressType) {
  if (budget_.exhausted) return;
  if (budget_.steps == 0 || budget_.depth >= Limits::kMaxPrintDepth) {
    budget_.exhausted = true;
    return;
  }
  --budget_.steps;
  ++budget_.depth;
  if (static_cast<unsigned>(node->getKind()) >= Node::kNumKinds) fatalError("bad node kind!");
  if (!printEntityOrSymbol(node, asContext, suppressType)) printType(node, asContext);
  --budget_.depth;
}

void NodePrinter::appendNumber(uint64_t value) {
  char buffer[24];
  char* end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  append(std::string_view(buffer, static_cast<size_t>(end - buffer)));
}

void NodePrinter::printChildList(const Node* node, size_t first, size_t last,
                                 std::string_view separator) {
  for (size_t i = first; i < last && !budget_.exhausted; ++i) {
    if (i != first) append(separator);
    print(node->getChild(i));
  }
}

void NodePrinter::printContextPrefix(const Node* context) {
  bool isModule = context->getKind() == K::Module;
  if (!options_.showDebuggerModules && isModule &&
      std::string_view(context->getText()).substr(0, 12) == "__lldb_expr_")
    return;
  print(context, true, false);
  if (!(isModule && !options_.showModuleNames)) append(".");
}

void NodePrinter::printContextIfQualified(const Node* node) {
  if (options_.qualifyNames) printContextPrefix(node->getChild(0));
}

}  // namespace ZUDDemangle
