// Printer core: dispatch, budget, the shared helpers and the tree-to-text entry.
#include "NodePrinter.h"

#include <cstdio>

namespace ZUDDemangle {

std::string printTree(const NodePointer& root, const PrinterOptions& options, PrintBudget& budget) {
  NodePrinter printer(options, budget);
  printer.print(root, false, false);
  if (printer.failed()) return {};
  return std::move(printer.output());
}

void NodePrinter::print(const NodePointer& node, bool asContext, bool suppressType) {
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

void NodePrinter::append(std::string_view text) {
  if (budget_.exhausted) return;
  if (output_.size() + text.size() > Limits::kMaxOutputLength) {
    budget_.exhausted = true;
    return;
  }
  output_.append(text);
}

void NodePrinter::appendNumber(uint64_t value) {
  char buffer[32];
  int length = std::snprintf(buffer, sizeof buffer, "%llu", static_cast<unsigned long long>(value));
  append(std::string_view(buffer, static_cast<size_t>(length)));
}

void NodePrinter::printChildList(const NodePointer& node, size_t first, size_t last,
                                 std::string_view separator) {
  for (size_t i = first; i < last && !budget_.exhausted; ++i) {
    if (i != first) append(separator);
    print(node->getChild(i));
  }
}

void NodePrinter::printContextPrefix(const NodePointer& context) {
  bool isModule = context->getKind() == K::Module;
  if (!options_.showDebuggerModules && isModule &&
      std::string_view(context->getText()).substr(0, 12) == "__lldb_expr_")
    return;
  print(context, true, false);
  if (!(isModule && !options_.showModuleNames)) append(".");
}

void NodePrinter::printContextIfQualified(const NodePointer& node) {
  if (options_.qualifyNames) printContextPrefix(node->getChild(0));
}

}  // namespace ZUDDemangle
