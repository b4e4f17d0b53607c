// Printing of type kinds: wrappers, function types, tuples, metatypes, dependent types.
#include "NodePrinter.h"

namespace ZUDDemangle {

namespace {

using K = Node::Kind;

bool isExistentialType(const Node* type) {
  if (type->getKind() != K::Type) fatalError("isExistentialType: node->getKind() == Node::Kind::Type");
  if (type->getNumChildren() == 0) return false;
  K kind = type->getChild(0)->getKind();
  return kind == K::ProtocolList || kind == K::ExistentialMetatype;
}

}  // namespace

void NodePrinter::printType(const Node* node, bool asContext) {
  switch (node->getKind()) {
    case K::Type: print(node->getChild(0), asContext, false); return;
    case K::TypeList: printChildren(node); return;
    case K::BuiltinTypeName: case K::GenericParamType: case K::ArchetypeReference:
    case K::MetatypeRepresentation: case K::ImplConvention: case K::ImplFunctionAttribute:
      append(node->getText());
      return;
    case K::Archetype:
      append(node->getText());
      if (node->getNumChildren() > 0) {
        append(" : ");
        print(node->getChild(0));
      }
      return;
    case K::AssociatedType: return;
    case K::AssociatedTypeReference:
      print(node->getChild(0));
      append(".");
      append(node->getChild(1)->getText());
      return;
    case K::SelfTypeReference:
      print(node->getChild(0));
      append(".Self");
      return;
    case K::DependentMemberType:
      print(node->getChild(0));
      append(".");
      print(node->getChild(1));
      return;
    case K::ConstrainedGenericType:
      print(node->getChild(0));
      append(" ");
      print(node->getChild(1));
      return;
    case K::DynamicSelfType: append("Self"); return;
    case K::ErrorType: append("<ERROR TYPE>"); return;
    case K::ContextArchetype:
      if (options_.shortContextArchetypes) {
        append("(archetype)");
      } else if (node->getNumChildren() >= 2) {
        append("(archetype ");
        appendNumber(node->getChild(0)->getIndex());
        append(" of ");
        print(node->getChild(1));
        append(")");
      }
      return;
    case K::ProtocolList: {
      const Node* list = node->getChild(0);
      if (list->getNumChildren() == 0)
        append("Any");
      else
        printChildren(list, " & ");
      return;
    }
    case K::InOutType: append("inout "); print(node->getChild(0)); return;
    case K::BoxType: append("@box "); print(node->getChild(0)); return;
    case K::WeakReference: append("weak "); print(node->getChild(0)); return;
    case K::UnownedReference: append("unowned "); print(node->getChild(0)); return;
    case K::UnownedUnsafeReference: append("unowned(unsafe) "); print(node->getChild(0)); return;
    case K::Metatype:
    case K::ExistentialMetatype: {
      size_t typeIndex = 0;
      if (node->getNumChildren() == 2) {
        print(node->getChild(0));
        append(" ");
        typeIndex = 1;
      }
      const Node* type = node->getChild(typeIndex);
      print(type);
      if (node->getKind() == K::Metatype && isExistentialType(type))
        append(".Protocol");
      else
        append(".Type");
      return;
    }
    case K::Tuple:
    case K::VariadicTuple:
      append("(");
      printChildren(node, ", ");
      if (node->getKind() == K::VariadicTuple) append("...");
      append(")");
      return;
    case K::TupleElement:
      if (node->getNumChildren() == 2) {
        print(node->getChild(0));
        print(node->getChild(1));
      } else if (node->getNumChildren() == 1) {
        print(node->getChild(0));
      }
      return;
    case K::TupleElementName: append(node->getText()); append(" : "); return;
    case K::FunctionType: case K::UncurriedFunctionType: printFunctionType(node); return;
    case K::AutoclosureType: append("@autoclosure "); printFunctionType(node); return;
    case K::CFunctionPointerType: append("@convention(c) "); printFunctionType(node); return;
    case K::BlockType: append("@convention(block) "); printFunctionType(node); return;
    case K::ThinFunctionType: append("@convention(thin) "); printFunctionType(node); return;
    case K::ArgumentTuple: {
      bool isTuple = false;
      if (node->getNumChildren() == 1 && node->getChild(0)->getNumChildren() > 0) {
        K kind = node->getChild(0)->getChild(0)->getKind();
        isTuple = kind == K::Tuple || kind == K::VariadicTuple;
      }
      if (isTuple) {
        print(node->getChild(0));
      } else {
        append("(");
        printChildren(node);
        append(")");
      }
      return;
    }
    case K::ReturnType:
      append(" -> ");
      if (node->getNumChildren() == 0 && node->hasText())
        append(node->getText());
      else
        printChildren(node);
      return;
    case K::ThrowsAnnotation: append(" throws "); return;
    case K::ImplFunctionType: printImplFunctionType(node); return;
    case K::ImplParameter: case K::ImplResult: printChildren(node, " "); return;
    case K::ImplErrorResult: append("@error "); printChildren(node, " "); return;
    case K::BoundGenericClass: case K::BoundGenericEnum: case K::BoundGenericStructure:
      printBoundGeneric(node);
      return;
    case K::GenericSignature: case K::PseudoGenericSignature: printGenericSignature(node); return;
    case K::GenericParamCount:
      fatalError("should be printed as a child of a DependentGenericSignature");
    case K::ConformanceRequirement:
      print(node->getChild(0));
      append(": ");
      print(node->getChild(1));
      return;
    case K::SameTypeRequirement:
      print(node->getChild(0));
      append(" == ");
      print(node->getChild(1));
      return;
    default:
      fatalError("bad node kind!");
  }
}

void NodePrinter::printFunctionType(const Node* node) {
  switch (node->getNumChildren()) {
    case 2:
      print(node->getChild(0));
      print(node->getChild(1));
      return;
    case 3:
      if (node->getChild(0)->getKind() != K::ThrowsAnnotation)
        fatalError("printFunctionType: node->getChild(0)->getKind() == Node::Kind::ThrowsAnnotation");
      print(node->getChild(1));
      append(" throws");
      print(node->getChild(2));
      return;
    default:
      fatalError("printFunctionType: node->getNumChildren() == 2 || node->getNumChildren() == 3");
  }
}

}  // namespace ZUDDemangle
