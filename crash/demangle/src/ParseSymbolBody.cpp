// The symbol body after "_T": metadata, witness tables, value witnesses, thunks, partial-apply
// forwarders, field offsets, or a declared entity.
#include "NameParser.h"

#include <cstring>

namespace ZUDDemangle {

namespace {

using K = Node::Kind;

// Value-witness codes in the order of their numbers.
constexpr const char* kValueWitnessCodes[] = {"al", "ca", "ta", "de", "xx", "XX", "CP",
                                              "Cp", "cp", "Tk", "tk", "pr", "TK", "Xx",
                                              "Cc", "Tt", "tT", "xs", "xg", "ug", "up"};

}  // namespace

NodePointer NameParser::parseSymbolBody() {
  DepthGuard guard(*this);
  if (guard.exceeded() || mangled.isEmpty()) return nullptr;

  // Makes the node and appends each part in order; null as soon as one part is null.
  auto build = [](K kind, std::initializer_list<NodePointer (NameParser::*)()> parts,
                  NameParser& p) -> NodePointer {
    NodePointer node = p.makeNode(kind);
    for (auto part : parts) {
      NodePointer child = (p.*part)();
      if (!child) return nullptr;
      node->addChild(child, p.arena);
    }
    return node;
  };
  using P = NameParser;

  bool metadata = mangled.consumeChar('M');
  if (mangled.nextIs('P')) {
    mangled.skip(1);
    if (metadata) return build(K::GenericTypeMetadataPattern, {&P::parseType}, *this);
    if (!mangled.consumeChar('A')) return nullptr;
    K kind = mangled.consumeChar('o') ? K::PartialApplyObjCForwarder : K::PartialApplyForwarder;
    NodePointer forwarder = makeNode(kind);
    if (mangled.consumePrefix("__T")) {
      NodePointer body = parseSymbolBody();
      if (!body) return nullptr;
      forwarder->addChild(body, arena);
    }
    return forwarder;
  }

  if (metadata) {
    char c = mangled.isEmpty() ? '\0' : mangled.peekChar();
    switch (c) {
      case 'L': mangled.skip(1); return build(K::TypeMetadataLazyCacheVariable, {&P::parseType}, *this);
      case 'a': mangled.skip(1); return build(K::TypeMetadataAccessor, {&P::parseType}, *this);
      case 'f': mangled.skip(1); return build(K::FullTypeMetadata, {&P::parseType}, *this);
      case 'm': mangled.skip(1); return build(K::Metaclass, {&P::parseType}, *this);
      case 'n': mangled.skip(1); return build(K::NominalTypeDescriptor, {&P::parseType}, *this);
      case 'p': mangled.skip(1); return build(K::ProtocolDescriptor, {&P::parseProtocolName}, *this);
      default: return build(K::TypeMetadata, {&P::parseType}, *this);
    }
  }

  if (mangled.consumeChar('w')) {
    if (mangled.size() < 2) return nullptr;
    char code[2] = {mangled.takeChar(), mangled.takeChar()};
    for (uint64_t number = 0; number < std::size(kValueWitnessCodes); ++number) {
      if (std::memcmp(code, kValueWitnessCodes[number], 2) == 0) {
        NodePointer witness = makeNode(K::ValueWitness, number);
        NodePointer type = parseType();
        if (!type) return nullptr;
        witness->addChild(type, arena);
        return witness;
      }
    }
    return nullptr;
  }
  if (mangled.consumeChar('t')) return build(K::TypeSymbol, {&P::parseType}, *this);
  if (mangled.consumeChar('T')) {
    if (mangled.isEmpty()) return nullptr;
    char thunkCode = mangled.takeChar();
    switch (thunkCode) {
      case 'r':
      case 'R': {
        bool helper = thunkCode == 'R';
        NodePointer thunk = makeNode(helper ? K::ReabstractionThunkHelper : K::ReabstractionThunk);
        if (!parseReabstractionSignature(thunk)) return nullptr;
        return thunk;
      }
      case 'W':
        return build(K::ProtocolWitness, {&P::parseProtocolConformance, &P::parseEntity}, *this);
      default:
        return nullptr;
    }
  }
  if (mangled.consumeChar('W')) {
    if (mangled.isEmpty()) return nullptr;
    switch (mangled.takeChar()) {
      case 'G': return build(K::GenericProtocolWitnessTable, {&P::parseProtocolConformance}, *this);
      case 'I':
        return build(K::GenericProtocolWitnessTableInstantiationFunction,
                     {&P::parseProtocolConformance}, *this);
      case 'L':
        return build(K::LazyProtocolWitnessTableCacheVariable,
                     {&P::parseType, &P::parseProtocolConformance}, *this);
      case 'P': return build(K::ProtocolWitnessTable, {&P::parseProtocolConformance}, *this);
      case 'T':
        return build(K::AssociatedTypeWitnessTableAccessor,
                     {&P::parseProtocolConformance, &P::parseEntityName, &P::parseProtocolName},
                     *this);
      case 'V': return build(K::ValueWitnessTable, {&P::parseType}, *this);
      case 'a': return build(K::ProtocolWitnessTableAccessor, {&P::parseProtocolConformance}, *this);
      case 'l':
        return build(K::LazyProtocolWitnessTableAccessor,
                     {&P::parseType, &P::parseProtocolConformance}, *this);
      case 'o': return build(K::WitnessTableOffset, {&P::parseEntity}, *this);
      case 't':
        return build(K::AssociatedTypeMetadataAccessor,
                     {&P::parseProtocolConformance, &P::parseEntityName}, *this);
      case 'v': {
        uint64_t directness;
        if (mangled.consumeChar('d'))
          directness = 0;
        else if (mangled.consumeChar('i'))
          directness = 1;
        else
          return nullptr;
        NodePointer offset = makeNode(K::FieldOffset);
        offset->addChild(makeNode(K::Directness, directness), arena);
        NodePointer entity = parseEntity();
        if (!entity) return nullptr;
        offset->addChild(entity, arena);
        return offset;
      }
      default:
        return nullptr;
    }
  }
  return parseEntity();
}

}  // namespace ZUDDemangle
