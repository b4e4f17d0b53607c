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

// The text of a tree; empty when the budget ran out. The mangled length, when known (else 0),
// sizes the text's buffer up front.
std::string printTree(const Node* root, const PrinterOptions& options, PrintBudget& budget,
                      size_t mangledLength);

// Appends to an output string it does not own; lives for one printing.
class NodePrinter {
public:
  NodePrinter(const PrinterOptions& options, PrintBudget& budget, std::string& output)
      : options_(options), budget_(budget), output_(output) {}

  void print(const Node* node, bool asContext = false, bool suppressType = false);
  bool failed() const { return budget_.exhausted; }

private:
  using K = Node::Kind;

  // Entities, names and symbol-level kinds; false when the kind is not one of them.
  bool printEntityOrSymbol(const Node* node, bool asContext, bool suppressType);
  // Type kinds; internal error for a kind that has no rule.
  void printType(const Node* node, bool asContext);

  void printChildList(const Node* node, size_t first, size_t last, std::string_view separator = {});
  void printChildren(const Node* node, std::string_view separator = {}) {
    printChildList(node, 0, node->getNumChildren(), separator);
  }
  void printContextPrefix(const Node* context);
  void printNamedEntity(const Node* node, bool asContext, bool suppressType, bool hasName,
                        bool hasType, std::string_view extraName);
  void printContextIfQualified(const Node* node);
  size_t printFunctionSigSpecializationParam(const Node* node, size_t index);
  void printSpecialization(const Node* node);
  void printFunctionSigSpecializationParamKind(uint64_t value);
  void printPayloadAsSymbol(std::string_view text);
  void printUnmangledSuffix(std::string_view text);

  void printFunctionType(const Node* node);
  void printImplFunctionType(const Node* node);
  void printBoundGeneric(const Node* node);
  void printGenericApplication(const Node* node);
  void printGenericSignature(const Node* node);

  void append(std::string_view text) {
    if (budget_.exhausted) return;
    if (output_.size() + text.size() > Limits::kMaxOutputLength) {
      budget_.exhausted = true;
      return;
    }
    output_.append(text);
  }
  void appendNumber(uint64_t value);

  const PrinterOptions options_;
  PrintBudget& budget_;
  std::string& output_;
};

}  // namespace ZUDDemangle
