// Node printer: appends the readable text of a node tree under a set of print options.
#pragma once

#include <crash_demangle/Limits.h>
#include <crash_demangle/Node.h>
#include <crash_demangle/PrinterOptions.h>

#include <string>
#include <string_view>

namespace ZUDDemangle {

// Work left for one printing, shared with the payloads demangled while printing it.
struct PrintBudget {
  size_t steps = Limits::kMaxPrintSteps;
  unsigned depth = 0;
  bool exhausted = false;
};

// The text of a tree; empty when the budget ran out.
std::string printTree(const NodePointer& root, const PrinterOptions& options, PrintBudget& budget);

class NodePrinter {
public:
  NodePrinter(const PrinterOptions& options, PrintBudget& budget) : options_(options), budget_(budget) {}

  void print(const NodePointer& node, bool asContext = false, bool suppressType = false);
  std::string& output() { return output_; }
  bool failed() const { return budget_.exhausted; }

private:
  using K = Node::Kind;

  // Entities, names and symbol-level kinds; false when the kind is not one of them.
  bool printEntityOrSymbol(const NodePointer& node, bool asContext, bool suppressType);
  // Type kinds; internal error for a kind that has no rule.
  void printType(const NodePointer& node, bool asContext);

  void printChildList(const NodePointer& node, size_t first, size_t last, std::string_view separator = {});
  void printChildren(const NodePointer& node, std::string_view separator = {}) {
    printChildList(node, 0, node->getNumChildren(), separator);
  }
  void printContextPrefix(const NodePointer& context);
  void printNamedEntity(const NodePointer& node, bool asContext, bool suppressType, bool hasName,
                        bool hasType, std::string_view extraName);
  void printContextIfQualified(const NodePointer& node);
  size_t printFunctionSigSpecializationParam(const NodePointer& node, size_t index);
  void printSpecialization(const NodePointer& node);
  void printFunctionSigSpecializationParamKind(uint64_t value);
  void printPayloadAsSymbol(const std::string& text);
  void printUnmangledSuffix(const std::string& text);

  void printFunctionType(const NodePointer& node);
  void printImplFunctionType(const NodePointer& node);
  void printBoundGeneric(const NodePointer& node);
  void printGenericApplication(const NodePointer& node);
  void printGenericSignature(const NodePointer& node);

  void append(std::string_view text);
  void appendNumber(uint64_t value);

  const PrinterOptions options_;
  PrintBudget& budget_;
  std::string output_;
};

}  // namespace ZUDDemangle
