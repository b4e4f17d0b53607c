// Declaration contexts, nominal declarations, entities, entity names, conformances and
// generic signatures.
#include "NameParser.h"

#include <crash_demangle/Limits.h>

namespace ZUDDemangle {

namespace {

using K = Node::Kind;

bool isEntityCode(char c) {
  switch (c) {
    case 'C': case 'F': case 'I': case 'O': case 'P': case 'V': case 'Z': case 'v':
      return true;
    default:
      return false;
  }
}

}  // namespace

NodePointer NameParser::parseContext() {
  DepthGuard guard(*this);
  if (guard.exceeded() || mangled.isEmpty()) return nullptr;
  char c = mangled.peekChar();
  if (c == 'E' || c == 'e') {
    mangled.skip(1);
    NodePointer module = parseModule();
    if (!module) return nullptr;
    NodePointer signature = nullptr;
    if (c == 'e') {
      signature = parseGenericSignature(false);
      if (!signature) return nullptr;
    }
    NodePointer context = parseContext();
    if (!context) return nullptr;
    NodePointer extension = makeNode(K::Extension);
    extension->addChild(module, arena);
    extension->addChild(context, arena);
    if (signature) extension->addChild(signature, arena);
    return extension;
  }
  if (c == 'G') {
    mangled.skip(1);
    return parseBoundGenericType();
  }
  if (c == 'S') {
    mangled.skip(1);
    return parseSubstitution();
  }
  if (c == 's') {
    mangled.skip(1);
    return makeNode(K::Module, std::string_view("Swift"));
  }
  if (isEntityCode(c)) return parseEntity();
  return parseModule();
}

NodePointer NameParser::parseNominalDeclaration(Node::Kind kind) {
  NodePointer context = parseContext();
  if (!context) return nullptr;
  NodePointer name = parseEntityName();
  if (!name) return nullptr;
  NodePointer declaration = makeNode(kind);
  declaration->addChild(context, arena);
  declaration->addChild(name, arena);
  substitutions.push_back(declaration);
  return declaration;
}

NodePointer NameParser::parseNominalType() {
  if (mangled.isEmpty()) return nullptr;
  switch (mangled.takeChar()) {
    case 'C': return parseNominalDeclaration(K::Class);
    case 'O': return parseNominalDeclaration(K::Enum);
    case 'P': return parseNominalDeclaration(K::Protocol);
    case 'V': return parseNominalDeclaration(K::Structure);
    case 'S': return parseSubstitution();
    default: return nullptr;
  }
}

NodePointer NameParser::parseEntityName() {
  if (mangled.consumeChar('P')) {
    NodePointer discriminator = parseIdentifier();
    if (!discriminator) return nullptr;
    NodePointer name = parseIdentifier();
    if (!name) return nullptr;
    NodePointer node = makeNode(K::PrivateDeclarationName);
    node->addChild(discriminator, arena);
    node->addChild(name, arena);
    return node;
  }
  if (mangled.consumeChar('L')) {
    NodePointer number = parseIndexAsNumber();
    if (!number) return nullptr;
    NodePointer name = parseIdentifier();
    if (!name) return nullptr;
    NodePointer node = makeNode(K::LocalDeclarationName);
    node->addChild(number, arena);
    node->addChild(name, arena);
    return node;
  }
  return parseIdentifier();
}

NodePointer NameParser::parseEntity() {
  DepthGuard guard(*this);
  if (guard.exceeded()) return nullptr;
  bool isStatic = mangled.consumeChar('Z');
  if (mangled.isEmpty()) return nullptr;
  char entityCode = mangled.peekChar();
  if (entityCode != 'F' && entityCode != 'I' && entityCode != 'i' && entityCode != 'v')
    return parseNominalType();
  mangled.skip(1);

  NodePointer context = parseContext();
  if (!context) return nullptr;

  enum class Reads { Nothing, Name, Number };
  K kind;
  Reads reads = Reads::Name;
  bool hasType = true;
  char code = mangled.isEmpty() ? '\0' : mangled.peekChar();
  auto take = [&](K k, Reads r, bool t) {
    mangled.skip(1);
    kind = k;
    reads = r;
    hasType = t;
  };
  switch (code) {
    case 'C': take(K::AllocatingInit, Reads::Nothing, true); break;
    case 'c': take(K::Init, Reads::Nothing, true); break;
    case 'D': take(K::DeallocatingDeinit, Reads::Nothing, false); break;
    case 'd': take(K::Deinit, Reads::Nothing, false); break;
    case 'E': take(K::IvarDestroyer, Reads::Nothing, false); break;
    case 'e': take(K::IvarInitializer, Reads::Nothing, false); break;
    case 'G': take(K::GlobalGetter, Reads::Name, true); break;
    case 'g': take(K::Getter, Reads::Name, true); break;
    case 's': take(K::Setter, Reads::Name, true); break;
    case 'm': take(K::MaterializeForSet, Reads::Name, true); break;
    case 'W': take(K::DidSetObserver, Reads::Name, true); break;
    case 'w': take(K::WillSetObserver, Reads::Name, true); break;
    case 'U': take(K::Closure, Reads::Number, true); break;
    case 'u': take(K::ImplicitClosure, Reads::Number, true); break;
    case 'a':
    case 'l': {
      mangled.skip(1);
      if (mangled.isEmpty()) return nullptr;
      bool isMutable = code == 'a';
      switch (mangled.takeChar()) {
        case 'O': kind = isMutable ? K::OwningMutableAddressor : K::OwningAddressor; break;
        case 'o': kind = isMutable ? K::NativeOwningMutableAddressor : K::NativeOwningAddressor; break;
        case 'p': kind = isMutable ? K::NativePinningMutableAddressor : K::NativePinningAddressor; break;
        case 'u': kind = isMutable ? K::UnsafeMutableAddressor : K::UnsafeAddressor; break;
        default: return nullptr;
      }
      break;
    }
    default:
      if (entityCode == 'I') {
        if (mangled.consumeChar('i')) {
          kind = K::VariableInitializer;
          reads = Reads::Nothing;
        } else if (mangled.consumeChar('A')) {
          kind = K::DefaultArgument;
          reads = Reads::Number;
        } else {
          return nullptr;
        }
        hasType = false;
      } else {
        kind = entityCode == 'F' ? K::Function : entityCode == 'i' ? K::Subscript : K::Variable;
      }
      break;
  }

  NodePointer entity = makeNode(kind);
  entity->addChild(context, arena);
  if (reads == Reads::Name) {
    NodePointer name = parseEntityName();
    if (!name) return nullptr;
    entity->addChild(name, arena);
  } else if (reads == Reads::Number) {
    NodePointer number = parseIndexAsNumber();
    if (!number) return nullptr;
    entity->addChild(number, arena);
  }
  if (hasType) {
    NodePointer type = parseType();
    if (!type) return nullptr;
    entity->addChild(type, arena);
  }
  if (!isStatic) return entity;
  NodePointer marker = makeNode(K::StaticMarker);
  marker->addChild(entity, arena);
  return marker;
}

NodePointer NameParser::parseProtocolConformance() {
  NodePointer type = parseType();
  if (!type) return nullptr;
  NodePointer protocol = parseProtocolName();
  if (!protocol) return nullptr;
  NodePointer context = parseContext();
  if (!context) return nullptr;
  NodePointer conformance = makeNode(K::ProtocolConformance);
  conformance->addChild(type, arena);
  conformance->addChild(protocol, arena);
  conformance->addChild(context, arena);
  return conformance;
}

NodePointer NameParser::parseGenericSignature(bool pseudo) {
  DepthGuard guard(*this);
  if (guard.exceeded()) return nullptr;
  NodePointer signature = makeNode(pseudo ? K::PseudoGenericSignature : K::GenericSignature);
  bool counted = false;
  for (;;) {
    // Running out of text while counts are read fails the signature.
    if (mangled.isEmpty()) return nullptr;
    char c = mangled.peekChar();
    if (c == 'R' || c == 'r') break;
    if (mangled.consumeChar('z')) {
      addGenericParamCount(0, signature);
    } else {
      uint64_t index;
      if (!parseIndex(index)) return nullptr;
      // The count drives loops when printed; an absurd count is not a real signature.
      if (index >= Limits::kMaxGenericParamCount) return nullptr;
      addGenericParamCount(index + 1, signature);
    }
    counted = true;
  }
  if (!counted) addGenericParamCount(1, signature);
  if (mangled.consumeChar('r')) return signature;
  mangled.skip(1);  // the "R"
  while (!mangled.consumeChar('r')) {
    NodePointer subject = parseRequirementSubject();
    if (!subject || mangled.isEmpty()) return nullptr;
    NodePointer requirement = nullptr;
    char c = mangled.peekChar();
    if (c == 'C') {
      NodePointer type = parseType();
      if (!type) return nullptr;
      requirement = makeNode(K::ConformanceRequirement);
      requirement->addChild(subject, arena);
      requirement->addChild(type, arena);
    } else if (c == 'S') {
      mangled.skip(1);
      NodePointer constraint = parseSubstitution();
      if (!constraint) return nullptr;
      K kind = constraint->getKind();
      if (kind == K::Module) {
        constraint = parseProtocolNameInContext(constraint);
        if (!constraint) return nullptr;
      } else if (kind != K::Protocol && kind != K::Class) {
        return nullptr;
      }
      NodePointer type = makeNode(K::Type);
      type->addChild(constraint, arena);
      requirement = makeNode(K::ConformanceRequirement);
      requirement->addChild(subject, arena);
      requirement->addChild(type, arena);
    } else if (c == 'z') {
      mangled.skip(1);
      NodePointer type = parseType();
      if (!type) return nullptr;
      requirement = makeNode(K::SameTypeRequirement);
      requirement->addChild(subject, arena);
      requirement->addChild(type, arena);
    } else {
      NodePointer protocol = parseProtocolName();
      if (!protocol) return nullptr;
      requirement = makeNode(K::ConformanceRequirement);
      requirement->addChild(subject, arena);
      requirement->addChild(protocol, arena);
    }
    signature->addChild(requirement, arena);
  }
  return signature;
}

}  // namespace ZUDDemangle
