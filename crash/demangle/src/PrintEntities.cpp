// Printing of entities, contexts, names and symbol-level kinds.
#include <crash_demangle/Demangle.h>

#include "NameParser.h"
#include "NodePrinter.h"

namespace ZUDDemangle {

namespace {

using K = Node::Kind;

constexpr const char* kValueWitnessNames[] = {
    "allocateBuffer", "assignWithCopy", "assignWithTake", "deallocateBuffer", "destroy",
    "destroyBuffer", "initializeBufferWithCopyOfBuffer", "initializeBufferWithCopy",
    "initializeWithCopy", "initializeBufferWithTake", "initializeWithTake", "projectBuffer",
    "initializeBufferWithTakeOfBuffer", "destroyArray", "initializeArrayWithCopy",
    "initializeArrayWithTakeFrontToBack", "initializeArrayWithTakeBackToFront",
    "storeExtraInhabitant", "getExtraInhabitantIndex", "getEnumTag", "destructiveProjectEnumData"};

constexpr uint64_t kDead = 64, kOwnedToGuaranteed = 128, kSROA = 256;

bool isFunctionFormKind(K kind) {
  switch (kind) {
    case K::AllocatingInit: case K::Init: case K::DeallocatingDeinit: case K::Deinit:
    case K::Closure: case K::Function: case K::IvarDestroyer: case K::ImplicitClosure:
    case K::Subscript:
      return true;
    default:
      return false;
  }
}

bool isFunctionTypeKind(K kind) {
  return kind == K::CFunctionPointerType || kind == K::FunctionType ||
         kind == K::ThinFunctionType || kind == K::UncurriedFunctionType;
}

// Steps from a Type through constrained generic types to the type that decides the form.
const Node* underlyingType(const Node* type) {
  const Node* t = type->getNumChildren() > 0 ? type->getChild(0) : nullptr;
  while (t && t->getKind() == K::ConstrainedGenericType && t->getNumChildren() >= 2 &&
         t->getChild(1)->getNumChildren() > 0)
    t = t->getChild(1)->getChild(0);
  return t;
}

}  // namespace

void NodePrinter::printNamedEntity(const Node* node, bool asContext, bool suppressType,
                                   bool hasName, bool hasType, std::string_view extraName) {
  if (options_.qualifyNames) printContextPrefix(node->getChild(0));
  if (hasType && suppressType) hasType = false;
  bool owesParen = false;
  if (hasType && asContext) {
    append("(");
    owesParen = true;
  }
  if (hasName) print(node->getChild(1));
  append(extraName);
  if (hasType) {
    const Node* type = node->getChild(hasName ? 2 : 1);
    const Node* underlying = underlyingType(type);
    bool functionForm = isFunctionFormKind(node->getKind()) && underlying &&
                        isFunctionTypeKind(underlying->getKind());
    if (functionForm) {
      if (options_.showEntityTypes) append(" ");
      print(type);
    } else if (options_.showEntityTypes) {
      append(" : ");
      print(type);
    }
  }
  if (owesParen) append(")");
}

bool NodePrinter::printEntityOrSymbol(const Node* node, bool asContext, bool suppressType) {
  auto named = [&](bool hasName, bool hasType, std::string_view extra) {
    printNamedEntity(node, asContext, suppressType, hasName, hasType, extra);
  };
  auto prefixed = [&](std::string_view text) {
    append(text);
    print(node->getChild(0));
  };
  switch (node->getKind()) {
    case K::AllocatingInit:
      named(false, true, node->getChild(0)->getKind() == K::Class ? "__allocating_init" : "init");
      return true;
    case K::Init: named(false, true, "init"); return true;
    case K::DeallocatingDeinit:
      printContextIfQualified(node);
      append(node->getChild(0)->getKind() == K::Class ? "__deallocating_deinit" : "deinit");
      return true;
    case K::Deinit: printContextIfQualified(node); append("deinit"); return true;
    case K::Class: case K::Enum: case K::Protocol: case K::Structure: case K::TypeAlias:
      named(true, false, "");
      return true;
    case K::Function: case K::Subscript: case K::Variable: named(true, true, ""); return true;
    case K::Getter: case K::GlobalGetter: named(true, true, ".getter"); return true;
    case K::Setter: named(true, true, ".setter"); return true;
    case K::DidSetObserver: named(true, true, ".didset"); return true;
    case K::WillSetObserver: named(true, true, ".willset"); return true;
    case K::MaterializeForSet: named(true, true, ".materializeForSet"); return true;
    case K::OwningAddressor: named(true, true, ".owningAddressor"); return true;
    case K::OwningMutableAddressor: named(true, true, ".owningMutableAddressor"); return true;
    case K::NativeOwningAddressor: named(true, true, ".nativeOwningAddressor"); return true;
    case K::NativeOwningMutableAddressor: named(true, true, ".nativeOwningMutableAddressor"); return true;
    case K::NativePinningAddressor: named(true, true, ".nativePinningAddressor"); return true;
    case K::NativePinningMutableAddressor: named(true, true, ".nativePinningMutableAddressor"); return true;
    case K::UnsafeAddressor: named(true, true, ".unsafeAddressor"); return true;
    case K::UnsafeMutableAddressor: named(true, true, ".unsafeMutableAddressor"); return true;
    case K::IvarInitializer: printContextIfQualified(node); append("__ivar_initializer"); return true;
    case K::IvarDestroyer: printContextIfQualified(node); append("__ivar_destroyer"); return true;
    case K::VariableInitializer:
      printContextIfQualified(node);
      append("(variable initialization expression)");
      return true;
    case K::DefaultArgument:
      printContextIfQualified(node);
      append("(default argument ");
      appendNumber(node->getChild(1)->getIndex());
      append(")");
      return true;
    case K::Closure:
    case K::ImplicitClosure:
      printContextIfQualified(node);
      append(node->getKind() == K::ImplicitClosure ? "(implicit closure #" : "(closure #");
      appendNumber(node->getChild(1)->getIndex() + 1);
      append(")");
      return true;
    case K::Extension:
      if (options_.qualifyNames && options_.showExtensionModules) {
        append("(extension in ");
        print(node->getChild(0), true, false);
        append("):");
      }
      print(node->getChild(1), asContext, false);
      if (node->getNumChildren() == 3) print(node->getChild(2), true, false);
      return true;
    case K::DeclarationContext: print(node->getChild(0), asContext, false); return true;
    case K::Module:
      if (options_.showModuleNames) append(node->getText());
      return true;
    case K::Identifier: case K::DependentAssociatedTypeName: append(node->getText()); return true;
    case K::LocalDeclarationName:
      append("(");
      print(node->getChild(1));
      append(" #");
      appendNumber(node->getChild(0)->getIndex() + 1);
      append(")");
      return true;
    case K::PrivateDeclarationName:
      if (options_.showPrivateDiscriminators) {
        append("(");
        print(node->getChild(1));
        append(" in ");
        append(node->getChild(0)->getText());
        append(")");
      } else {
        print(node->getChild(1));
      }
      return true;
    case K::InfixOperator: append(node->getText()); append(" infix"); return true;
    case K::PrefixOperator: append(node->getText()); append(" prefix"); return true;
    case K::PostfixOperator: append(node->getText()); append(" postfix"); return true;
    case K::Index: case K::Number: case K::SpecializationPass: appendNumber(node->getIndex()); return true;
    case K::StaticMarker:
      append("static ");
      print(node->getChild(0), asContext, suppressType);
      return true;

    case K::GlobalSymbol: printChildren(node); return true;
    case K::ObjCMarker: append("@objc "); return true;
    case K::NonObjCMarker: append("@nonobjc "); return true;
    case K::DynamicMarker: append("dynamic "); return true;
    case K::SuperMarker: append("super "); return true;
    case K::OverrideMarker: append("override "); return true;
    case K::TypeSymbol: print(node->getChild(0)); return true;
    case K::TypeMetadata: prefixed("type metadata for "); return true;
    case K::TypeMetadataAccessor: prefixed("type metadata accessor for "); return true;
    case K::TypeMetadataLazyCacheVariable: prefixed("lazy cache variable for type metadata for "); return true;
    case K::FullTypeMetadata: prefixed("full type metadata for "); return true;
    case K::GenericTypeMetadataPattern: prefixed("generic type metadata pattern for "); return true;
    case K::Metaclass: prefixed("metaclass for "); return true;
    case K::NominalTypeDescriptor: prefixed("nominal type descriptor for "); return true;
    case K::ProtocolDescriptor: prefixed("protocol descriptor for "); return true;
    case K::ValueWitnessTable: prefixed("value witness table for "); return true;
    case K::WitnessTableOffset: prefixed("witness table offset for "); return true;
    case K::ProtocolWitnessTable: prefixed("protocol witness table for "); return true;
    case K::ProtocolWitnessTableAccessor: prefixed("protocol witness table accessor for "); return true;
    case K::GenericProtocolWitnessTable: prefixed("generic protocol witness table for "); return true;
    case K::GenericProtocolWitnessTableInstantiationFunction:
      prefixed("instantiation function for generic protocol witness table for ");
      return true;
    case K::FieldOffset:
      print(node->getChild(0));
      append("field offset for ");
      print(node->getChild(1), false, !options_.showFieldOffsetTypes);
      return true;
    case K::Directness:
      switch (node->getIndex()) {
        case 0: append("direct "); break;
        case 1: append("indirect "); break;
        default: fatalError("bad directness");
      }
      return true;
    case K::LazyProtocolWitnessTableAccessor:
    case K::LazyProtocolWitnessTableCacheVariable:
      append(node->getKind() == K::LazyProtocolWitnessTableAccessor
                 ? "lazy protocol witness table accessor for type "
                 : "lazy protocol witness table cache variable for type ");
      print(node->getChild(0));
      append(" and conformance ");
      print(node->getChild(1));
      return true;
    case K::ProtocolWitness:
      append("protocol witness for ");
      print(node->getChild(1));
      append(" in conformance ");
      print(node->getChild(0));
      return true;
    case K::AssociatedTypeMetadataAccessor:
      append("associated type metadata accessor for ");
      print(node->getChild(1));
      append(" in ");
      print(node->getChild(0));
      return true;
    case K::AssociatedTypeWitnessTableAccessor:
      append("associated type witness table accessor for ");
      print(node->getChild(1));
      append(" : ");
      print(node->getChild(2));
      append(" in ");
      print(node->getChild(0));
      return true;
    case K::ProtocolConformance:
      print(node->getChild(0));
      if (options_.showConformanceParts) {
        append(" : ");
        print(node->getChild(1));
        append(" in ");
        print(node->getChild(2));
      }
      return true;
    case K::ValueWitness: {
      uint64_t index = node->getIndex();
      if (index >= std::size(kValueWitnessNames)) fatalError("bad value witness kind");
      append(kValueWitnessNames[index]);
      append(options_.shortValueWitnesses ? " for " : " value witness for ");
      print(node->getChild(0));
      return true;
    }
    case K::PartialApplyForwarder:
    case K::PartialApplyObjCForwarder:
      if (options_.shortPartialApply)
        append("partial apply");
      else
        append(node->getKind() == K::PartialApplyForwarder ? "partial apply forwarder"
                                                           : "partial apply ObjC forwarder");
      if (node->getNumChildren() > 0) {
        append(" for ");
        print(node->getChild(0));
      }
      return true;
    case K::ReabstractionThunk:
    case K::ReabstractionThunkHelper: {
      if (options_.shortThunks) {
        append("thunk");
        return true;
      }
      append("reabstraction thunk ");
      if (node->getKind() == K::ReabstractionThunkHelper) append("helper ");
      size_t n = node->getNumChildren();
      bool generics = n > 0 && node->getChild(0)->getKind() == K::GenericSignature;
      if (n != 2 + unsigned(generics))
        fatalError("print: pointer->getNumChildren() == 2 + unsigned(generics != nullptr)");
      if (generics) {
        print(node->getChild(0));
        append(" ");
      }
      append("from ");
      print(node->getChild(n - 2));
      append(" to ");
      print(node->getChild(n - 1));
      return true;
    }
    case K::GenericSpecialization:
    case K::FunctionSigSpecialization:
    case K::GenericNotReAbstractedSpecialization:
      printSpecialization(node);
      return true;
    case K::GenericSpecializationParam:
      print(node->getChild(0));
      for (size_t i = 1; i < node->getNumChildren(); ++i) {
        append(i == 1 ? " with " : " and ");
        print(node->getChild(i));
      }
      return true;
    case K::FunctionSigSpecializationParam: {
      append("Arg[");
      appendNumber(node->getIndex());
      append("] = ");
      size_t index = printFunctionSigSpecializationParam(node, 0);
      while (index < node->getNumChildren() && !budget_.exhausted) {
        append(" and ");
        index = printFunctionSigSpecializationParam(node, index);
      }
      return true;
    }
    case K::FunctionSigSpecializationParamKind:
      printFunctionSigSpecializationParamKind(node->getIndex());
      return true;
    case K::FunctionSigSpecializationParamPayload: printPayloadAsSymbol(node->getText()); return true;
    case K::FragileSpecializationMarker: append("preserving fragile attribute"); return true;
    case K::UnmangledSuffix:
      if (options_.showUnmangledSuffix) printUnmangledSuffix(node->getText());
      return true;
    default:
      return false;
  }
}

void NodePrinter::printSpecialization(const Node* node) {
  if (!options_.showSpecializationParams) {
    append("specialized ");
    return;
  }
  switch (node->getKind()) {
    case K::GenericSpecialization: append("generic specialization <"); break;
    case K::FunctionSigSpecialization: append("function signature specialization <"); break;
    default: append("generic not re-abstracted specialization <"); break;
  }
  bool first = true;
  for (const Node* child : *node) {
    K kind = child->getKind();
    if (kind == K::SpecializationPass) continue;
    if (kind != K::FragileSpecializationMarker && child->getNumChildren() == 0) continue;
    if (!first) append(", ");
    first = false;
    print(child);
  }
  append("> of ");
}

void NodePrinter::printFunctionSigSpecializationParamKind(uint64_t value) {
  if (value & (kDead | kOwnedToGuaranteed | kSROA)) {
    bool printed = false;
    auto flag = [&](uint64_t bit, std::string_view text) {
      if (!(value & bit)) return;
      if (printed) append(" and ");
      append(text);
      printed = true;
    };
    flag(kDead, "Dead");
    flag(kOwnedToGuaranteed, "Owned To Guaranteed");
    flag(kSROA, "Exploded");
    return;
  }
  static constexpr const char* kNames[] = {
      "Constant Propagated Function", "Constant Propagated Global", "Constant Propagated Integer",
      "Constant Propagated Float",    "Constant Propagated String", "Closure Propagated",
      "Value Promoted from Box",      "Stack Promoted from Box"};
  if (value < std::size(kNames)) append(kNames[value]);
}

size_t NodePrinter::printFunctionSigSpecializationParam(const Node* node, size_t index) {
  const Node* kindNode = node->getChild(index);
  uint64_t value = kindNode->getIndex();
  if (value & (kDead | kOwnedToGuaranteed | kSROA)) {
    print(kindNode);
    return index + 1;
  }
  switch (value) {
    case 0:
    case 1:
    case 2:
    case 3:
      append("[");
      print(kindNode);
      append(" : ");
      print(node->getChild(index + 1));
      append("]");
      return index + 2;
    case 4:
      append("[");
      print(kindNode);
      append(" : ");
      print(node->getChild(index + 1));
      append("'");
      print(node->getChild(index + 2));
      append("'");
      append("]");
      return index + 3;
    case 5: {
      append("[");
      print(kindNode);
      append(" : ");
      print(node->getChild(index + 1));
      append(", Argument Types : [");
      size_t i = index + 2;
      // Every argument type is separated from the next, and both brackets are closed.
      for (; i < node->getNumChildren() && node->getChild(i)->getKind() == K::Type; ++i) {
        if (i != index + 2) append(", ");
        print(node->getChild(i));
      }
      append("]]");
      return i;
    }
    case 6:
    case 7:
      print(kindNode);
      return index + 1;
    default:
      fatalError(
          "((V & unsigned(FunctionSigSpecializationParamKind::OwnedToGuaranteed)) || (V & "
          "unsigned(FunctionSigSpecializationParamKind::SROA)) || (V & "
          "unsigned(FunctionSigSpecializationParamKind::Dead))) && \"Invalid OptionSet\"");
  }
}

void NodePrinter::printPayloadAsSymbol(std::string_view text) {
  // The payload is demangled with everything shown, straight into this output; its nesting
  // counts against this printing. A payload that prints as nothing is shown as it is.
  if (ParsedSymbol tree = demangleSymbolAsNode(text.data(), text.size())) {
    size_t start = output_.size();
    NodePrinter nested(PrinterOptions::full(), budget_, output_);
    nested.print(tree.root());
    if (budget_.exhausted || output_.size() != start) return;
  }
  append(text);
}

void NodePrinter::printUnmangledSuffix(std::string_view text) {
  std::string escaped = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case 0: escaped += "\\0"; break;
      case '\t': escaped += "\\t"; break;
      case '\n': escaped += "\\n"; break;
      case '\r': escaped += "\\r"; break;
      case '"': escaped += "\\\""; break;
      case '\\': escaped += "\\\\"; break;
      default:
        if (c >= 32 && c <= 126) {
          escaped.push_back(static_cast<char>(c));
        } else {
          static constexpr char kHex[] = "0123456789ABCDEF";
          escaped += "\\x";
          escaped.push_back(kHex[c >> 4]);
          escaped.push_back(kHex[c & 15]);
        }
    }
  }
  escaped += "\"";
  append(" with unmangled suffix ");
  append(escaped);
}

}  // namespace ZUDDemangle
