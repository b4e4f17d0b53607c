// Archetypes ("Q"), dependent generic parameters and their member types ("q", "w", "W", "x").
#include "NameParser.h"

namespace ZUDDemangle {

namespace {
using K = Node::Kind;
}  // namespace

NodePointer NameParser::parseArchetype() {
  DepthGuard guard(*this);
  if (guard.exceeded()) return nullptr;
  if (mangled.consumeChar('P')) {
    NodePointer protocol = parseProtocolName();
    if (!protocol) return nullptr;
    return makeSelfTypeReference(protocol);
  }
  if (mangled.consumeChar('Q')) {
    NodePointer base = parseArchetype();
    if (!base) return nullptr;
    return parseAssociatedTypeReference(base);
  }
  if (mangled.consumeChar('S')) {
    NodePointer base = parseSubstitution();
    if (!base) return nullptr;
    if (base->getKind() == K::Protocol) return makeSelfTypeReference(base);
    return parseAssociatedTypeReference(base);
  }
  if (mangled.consumeChar('s'))
    return parseAssociatedTypeReference(makeNode(K::Module, std::string_view("Swift")));
  if (mangled.consumeChar('d')) {
    uint64_t depth, index;
    if (!parseIndex(depth) || !parseIndex(index)) return nullptr;
    return makeArchetypeReference(depth + 1, index);
  }
  if (mangled.consumeChar('q')) {
    NodePointer number = parseIndexAsNumber();
    if (!number) return nullptr;
    NodePointer context = parseContext();
    if (!context) return nullptr;
    NodePointer declarationContext = makeNode(K::DeclarationContext);
    declarationContext->addChild(context, arena);
    NodePointer archetype = makeNode(K::ContextArchetype);
    archetype->addChild(number, arena);
    archetype->addChild(declarationContext, arena);
    return archetype;
  }
  uint64_t index;
  if (!parseIndex(index)) return nullptr;
  return makeArchetypeReference(0, index);
}

NodePointer NameParser::parseGenericParamOrMember() {
  if (!mangled.isEmpty()) {
    char c = mangled.peekChar();
    if (c == '_' || c == 'd' || (c >= '0' && c <= '9')) return parseGenericParamIndex();
  }
  NodePointer base = parseType();
  if (!base) return nullptr;
  return parseDependentMemberName(base);
}

NodePointer NameParser::parseDependentMemberOfParam() {
  NodePointer param = parseGenericParamIndex();
  if (!param) return nullptr;
  return parseDependentMemberName(wrapInType(param));
}

NodePointer NameParser::parseDependentMemberChain() {
  NodePointer current = parseGenericParamIndex();
  if (!current) return nullptr;
  while (!mangled.consumeChar('_')) {
    if (mangled.isEmpty()) return nullptr;
    current = parseDependentMemberName(wrapInType(current));
    if (!current) return nullptr;
  }
  return current;
}

NodePointer NameParser::makeGenericParamType(uint64_t depth, uint64_t index) {
  uint32_t depth32 = static_cast<uint32_t>(depth);
  uint32_t index32 = static_cast<uint32_t>(index);
  NodePointer param = makeNode(K::GenericParamType, genericParamName(index32, depth32));
  param->addChild(makeNode(K::Index, uint64_t{depth32}), arena);
  param->addChild(makeNode(K::Index, uint64_t{index32}), arena);
  return param;
}

}  // namespace ZUDDemangle
