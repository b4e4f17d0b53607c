// Printing of lowered function types, bound generic types with their sugar, and generic
// signatures.
#include "NameParser.h"
#include "NodePrinter.h"

namespace ZUDDemangle {

namespace {

using K = Node::Kind;

enum class SugarKind { None, Optional, ImplicitlyUnwrapped, Array, Dictionary };

bool isNamedIdentifier(const Node* node, std::string_view name) {
  return node->getKind() == K::Identifier && node->getText() == name;
}

bool isStandardModule(const Node* node) {
  return node->getKind() == K::Module && node->getText() == "Swift";
}

SugarKind findSugar(const Node* node) {
  if (node->getKind() == K::Type && node->getNumChildren() == 1) return findSugar(node->getChild(0));
  if (node->getNumChildren() != 2) return SugarKind::None;
  if (node->getKind() != K::BoundGenericEnum && node->getKind() != K::BoundGenericStructure)
    return SugarKind::None;
  const Node* wrapper = node->getChild(0);
  if (wrapper->getNumChildren() == 0) return SugarKind::None;
  const Node* unbound = wrapper->getChild(0);
  if (unbound->getNumChildren() < 2) return SugarKind::None;
  size_t arguments = node->getChild(1)->getNumChildren();
  bool inSwift = isStandardModule(unbound->getChild(0));
  const Node* name = unbound->getChild(1);
  if (node->getKind() == K::BoundGenericEnum) {
    if (isNamedIdentifier(name, "Optional") && arguments == 1 && inSwift) return SugarKind::Optional;
    if (isNamedIdentifier(name, "ImplicitlyUnwrappedOptional") && arguments == 1 && inSwift)
      return SugarKind::ImplicitlyUnwrapped;
    return SugarKind::None;
  }
  if (isNamedIdentifier(name, "Array") && arguments == 1 && inSwift) return SugarKind::Array;
  if (isNamedIdentifier(name, "Dictionary") && arguments == 2 && inSwift) return SugarKind::Dictionary;
  return SugarKind::None;
}

// Kinds that print as one unit, so "?" or "!" can follow them without parentheses.
bool isSimpleType(K kind) {
  switch (kind) {
    case K::Archetype: case K::ArchetypeReference: case K::AssociatedType:
    case K::AssociatedTypeReference: case K::BoundGenericClass: case K::BoundGenericEnum:
    case K::BoundGenericStructure: case K::BuiltinTypeName: case K::Class:
    case K::GenericParamType: case K::ConstrainedGenericType: case K::DependentMemberType:
    case K::DynamicSelfType: case K::Enum: case K::ErrorType: case K::ExistentialMetatype:
    case K::Metatype: case K::MetatypeRepresentation: case K::Module: case K::Tuple:
    case K::Protocol: case K::ContextArchetype: case K::ReturnType: case K::BoxType:
    case K::SelfTypeReference: case K::Structure: case K::TupleElementName: case K::Type:
    case K::TypeAlias: case K::TypeList: case K::VariadicTuple:
      return true;
    default:
      return false;
  }
}

}  // namespace

void NodePrinter::printImplFunctionType(const Node* node) {
  enum State { Attrs, Parameters, Results } state = Attrs;
  auto transitionTo = [&](State newState) {
    if (newState < state) fatalError("operator(): newState >= curState");
    while (state != newState) {
      switch (state) {
        case Attrs: append("("); state = Parameters; break;
        case Parameters: append(") -> ("); state = Results; break;
        case Results: fatalError("no state after Results");
      }
    }
  };
  for (const Node* child : *node) {
    if (budget_.exhausted) return;
    K kind = child->getKind();
    if (kind == K::ImplResult || kind == K::ImplErrorResult) {
      if (state == Results) append(", ");
      else transitionTo(Results);
      print(child);
    } else if (kind == K::ImplParameter) {
      if (state == Parameters) append(", ");
      else transitionTo(Parameters);
      print(child);
    } else {
      if (state != Attrs) fatalError("printImplFunctionType: curState == Attrs");
      print(child);
      append(" ");
    }
  }
  transitionTo(Results);
  append(")");
}

void NodePrinter::printBoundGeneric(const Node* node) {
  size_t n = node->getNumChildren();
  if (n < 2) return;
  if (n > 2 || !options_.sugarTypes || node->getKind() == K::BoundGenericClass) {
    printGenericApplication(node);
    return;
  }
  const Node* arguments = node->getChild(1);
  switch (findSugar(node)) {
    case SugarKind::None:
      printGenericApplication(node);
      return;
    case SugarKind::Optional:
    case SugarKind::ImplicitlyUnwrapped: {
      const Node* wrapped = arguments->getChild(0);
      bool parens = !isSimpleType(wrapped->getKind());
      if (parens) append("(");
      print(wrapped);
      if (parens) append(")");
      append(findSugar(node) == SugarKind::Optional ? "?" : "!");
      return;
    }
    case SugarKind::Array:
      append("[");
      print(arguments->getChild(0));
      append("]");
      return;
    case SugarKind::Dictionary:
      append("[");
      print(arguments->getChild(0));
      append(" : ");
      print(arguments->getChild(1));
      append("]");
      return;
  }
}

void NodePrinter::printGenericApplication(const Node* node) {
  if (node->getNumChildren() < 2) return;
  print(node->getChild(0));
  append("<");
  printChildren(node->getChild(1), ", ");
  append(">");
}

void NodePrinter::printGenericSignature(const Node* node) {
  append("<");
  size_t n = node->getNumChildren();
  size_t depth = 0;
  for (; depth < n && node->getChild(depth)->getKind() == K::GenericParamCount; ++depth) {
    if (depth != 0) append("><");
    uint64_t count = node->getChild(depth)->getIndex();
    // The output bound ends this loop long before a huge count would.
    for (uint64_t index = 0; index < count && !budget_.exhausted; ++index) {
      if (index != 0) append(", ");
      append(genericParamName(index, depth));
    }
  }
  if (depth < n) {
    if (options_.showWhereClauses) {
      append(" where ");
      printChildList(node, depth, n, ", ");
    } else {
      append(" where ...");
    }
  }
  append(">");
}

}  // namespace ZUDDemangle
