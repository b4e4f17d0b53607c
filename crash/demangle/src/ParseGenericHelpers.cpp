// Bound generic argument lists, protocol references, dependent member names, generic parameter
// references and the small node makers the other readers share.
#include "NameParser.h"

namespace ZUDDemangle {

namespace {

using K = Node::Kind;

// A childless node of the same kind and payload.
NodePointer makeNodeLike(NameParser& p, const Node& original) {
  if (original.hasText()) return p.makeNode(original.getKind(), original.getText());
  if (original.hasIndex()) return p.makeNode(original.getKind(), original.getIndex());
  return p.makeNode(original.getKind());
}

}  // namespace

NodePointer NameParser::parseBoundGenericArguments(NodePointer nominal) {
  DepthGuard guard(*this);
  if (guard.exceeded()) return nullptr;
  NodePointer unbound = nominal;
  if (nominal->getNumChildren() > 0) {
    NodePointer context = nominal->getChild(0);
    K contextKind = context->getKind();
    if (contextKind != K::Module && contextKind != K::Extension && contextKind != K::Function) {
      // The outer type's arguments come first in the text.
      NodePointer boundContext = parseBoundGenericArguments(context);
      if (!boundContext) return nullptr;
      // Keep the payload and every other child, so that a context of any shape (a member
      // name, an accessor with its type) stays printable.
      unbound = makeNodeLike(*this, *nominal);
      unbound->addChild(boundContext, arena);
      for (size_t i = 1; i < nominal->getNumChildren(); ++i) unbound->addChild(nominal->getChild(i), arena);
    }
  }
  NodePointer arguments = makeNode(K::TypeList);
  while (!mangled.consumeChar('_')) {
    NodePointer argument = parseType();
    if (!argument || mangled.isEmpty()) return nullptr;
    arguments->addChild(argument, arena);
  }
  if (arguments->getNumChildren() == 0) return unbound;
  K boundKind;
  switch (unbound->getKind()) {
    case K::Class: boundKind = K::BoundGenericClass; break;
    case K::Enum: boundKind = K::BoundGenericEnum; break;
    case K::Structure: boundKind = K::BoundGenericStructure; break;
    default: return nullptr;
  }
  NodePointer bound = makeNode(boundKind);
  bound->addChild(wrapInType(unbound), arena);
  bound->addChild(arguments, arena);
  return bound;
}

NodePointer NameParser::parseProtocolName() {
  NodePointer protocol = nullptr;
  if (mangled.consumeChar('s')) {
    protocol = parseProtocolNameInContext(makeNode(K::Module, std::string_view("Swift")));
  } else if (mangled.consumeChar('S')) {
    NodePointer found = parseSubstitution();
    if (!found) return nullptr;
    if (found->getKind() == K::Module)
      protocol = parseProtocolNameInContext(found);
    else if (found->getKind() == K::Protocol)
      protocol = found;
    else
      return nullptr;
  } else {
    protocol = parseNominalDeclaration(K::Protocol);
  }
  if (!protocol) return nullptr;
  return wrapInType(protocol);
}

NodePointer NameParser::parseProtocolNameInContext(NodePointer context) {
  NodePointer name = parseEntityName();
  if (!name) return nullptr;
  NodePointer protocol = makeNode(K::Protocol);
  protocol->addChild(context, arena);
  protocol->addChild(name, arena);
  substitutions.push_back(protocol);
  return protocol;
}

NodePointer NameParser::parseDependentMemberName(NodePointer base) {
  if (base->getKind() != K::Type) fatalError("parseDependentMemberName: base is a Type");
  DepthGuard guard(*this);
  if (guard.exceeded()) return nullptr;
  NodePointer name = nullptr;
  if (mangled.consumeChar('S')) {
    name = parseSubstitution();
    if (!name || name->getKind() != K::DependentAssociatedTypeName) return nullptr;
  } else {
    NodePointer protocol = nullptr;
    if (mangled.consumeChar('P')) {
      protocol = parseProtocolName();
      if (!protocol) return nullptr;
    }
    name = parseIdentifier(K::DependentAssociatedTypeName);
    if (!name) return nullptr;
    if (protocol) name->addChild(protocol, arena);
    substitutions.push_back(name);
  }
  NodePointer member = makeNode(K::DependentMemberType);
  member->addChild(base, arena);
  member->addChild(name, arena);
  return member;
}

NodePointer NameParser::parseGenericParamIndex() {
  uint64_t depth, index;
  if (mangled.consumeChar('x')) {
    depth = 0;
    index = 0;
  } else if (mangled.consumeChar('d')) {
    uint64_t d, i;
    if (!parseIndex(d) || !parseIndex(i)) return nullptr;
    depth = d + 1;
    index = i;
  } else {
    uint64_t i;
    if (!parseIndex(i)) return nullptr;
    depth = 0;
    index = i + 1;
  }
  return makeGenericParamType(depth, index);
}

NodePointer NameParser::parseRequirementSubject() {
  NodePointer subject = nullptr;
  if (mangled.consumeChar('W'))
    subject = parseDependentMemberChain();
  else if (mangled.consumeChar('w'))
    subject = parseDependentMemberOfParam();
  else
    subject = parseGenericParamIndex();
  if (!subject) return nullptr;
  return wrapInType(subject);
}

void NameParser::addGenericParamCount(uint64_t count, NodePointer signature) {
  signature->addChild(makeNode(K::GenericParamCount, count), arena);
}

NodePointer NameParser::makeArchetypeReference(uint64_t depth, uint64_t index) {
  NodePointer reference = makeNode(K::ArchetypeReference, genericParamName(index, depth));
  reference->addChild(makeNode(K::Index, depth), arena);
  reference->addChild(makeNode(K::Index, index), arena);
  return reference;
}

NodePointer NameParser::makeSelfTypeReference(NodePointer base) {
  NodePointer reference = makeNode(K::SelfTypeReference);
  reference->addChild(base, arena);
  substitutions.push_back(reference);
  return reference;
}

NodePointer NameParser::parseAssociatedTypeReference(NodePointer base) {
  NodePointer name = parseIdentifier();
  if (!name) return nullptr;
  NodePointer reference = makeNode(K::AssociatedTypeReference);
  reference->addChild(base, arena);
  reference->addChild(name, arena);
  substitutions.push_back(reference);
  return reference;
}

NodePointer NameParser::makeStandardType(Node::Kind kind, std::string_view name) {
  NodePointer type = makeNode(kind);
  type->addChild(makeNode(K::Module, std::string_view("Swift")), arena);
  type->addChild(makeNode(K::Identifier, name), arena);
  return type;
}

bool NameParser::parseReabstractionSignature(NodePointer parent) {
  if (mangled.consumeChar('G')) {
    NodePointer signature = parseGenericSignature(false);
    if (!signature) return false;
    parent->addChild(signature, arena);
  }
  NodePointer from = parseType();
  if (!from) return false;
  parent->addChild(from, arena);
  NodePointer to = parseType();
  if (!to) return false;
  parent->addChild(to, arena);
  return true;
}

bool NameParser::readTextUntilUnderscore(std::string& output) {
  while (!mangled.isEmpty() && mangled.peekChar() != '_') output.push_back(mangled.takeChar());
  return !mangled.isEmpty();
}

}  // namespace ZUDDemangle
