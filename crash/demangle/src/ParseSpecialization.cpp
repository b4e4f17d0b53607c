// Specialization prefixes: generic specializations and function signature specializations.
#include "NameParser.h"

namespace ZUDDemangle {

namespace {

using K = Node::Kind;

enum ParamKind : uint64_t {
  ConstantPropagatedFunction = 0,
  ConstantPropagatedGlobal = 1,
  ConstantPropagatedInteger = 2,
  ConstantPropagatedFloat = 3,
  ConstantPropagatedString = 4,
  ClosurePropagated = 5,
  ValuePromotedFromBox = 6,
  StackPromotedFromBox = 7,
  Dead = 64,
  OwnedToGuaranteed = 128,
  SROA = 256,
};

void addKind(NameParser& p, NodePointer param, uint64_t kind) {
  param->addChild(p.makeNode(K::FunctionSigSpecializationParamKind, kind), p.arena);
}

void addPayload(NameParser& p, NodePointer param, std::string_view text) {
  param->addChild(p.makeNode(K::FunctionSigSpecializationParamPayload, text), p.arena);
}

// An identifier followed by "_"; its text, or nothing.
bool parseIdentifierText(NameParser& p, std::string& text) {
  NodePointer identifier = p.parseIdentifier();
  if (!identifier || !p.mangled.consumeChar('_')) return false;
  text = identifier->getText();
  return true;
}

// A literal up to "_" (which is consumed); it must be UTF-8, as it is printed as it is.
bool parseLiteral(NameParser& p, std::string& text) {
  if (!p.readTextUntilUnderscore(text) || !isValidUTF8(text)) return false;
  p.mangled.skip(1);
  return true;
}

bool parseConstant(NameParser& p, NodePointer param) {
  std::string text;
  if (p.mangled.consumePrefix("fr")) {
    if (!parseIdentifierText(p, text)) return false;
    addKind(p, param, ConstantPropagatedFunction);
    addPayload(p, param, text);
    return true;
  }
  if (p.mangled.consumeChar('i')) {
    if (!parseLiteral(p, text)) return false;
    addKind(p, param, ConstantPropagatedInteger);
    addPayload(p, param, text);
    return true;
  }
  if (p.mangled.consumeChar('g')) {
    if (!parseIdentifierText(p, text)) return false;
    addKind(p, param, ConstantPropagatedGlobal);
    addPayload(p, param, text);
    return true;
  }
  if (p.mangled.consumePrefix("fl")) {
    if (!parseLiteral(p, text)) return false;
    addKind(p, param, ConstantPropagatedFloat);
    addPayload(p, param, text);
    return true;
  }
  if (p.mangled.consumeChar('s')) {
    if (!p.mangled.consumeChar('e')) return false;
    std::string_view encoding;
    if (p.mangled.consumeChar('0'))
      encoding = "u8";
    else if (p.mangled.consumeChar('1'))
      encoding = "u16";
    else
      return false;
    if (!p.mangled.consumeChar('v') || !parseIdentifierText(p, text)) return false;
    addKind(p, param, ConstantPropagatedString);
    addPayload(p, param, encoding);
    addPayload(p, param, text);
    return true;
  }
  // An unknown constant is malformed input like any other.
  return false;
}

bool parseClosure(NameParser& p, NodePointer param) {
  NodePointer identifier = p.parseIdentifier();
  if (!identifier) return false;
  addKind(p, param, ClosurePropagated);
  addPayload(p, param, identifier->getText());
  for (;;) {
    if (p.mangled.isEmpty()) return false;
    if (p.mangled.peekChar() == '_') break;
    NodePointer type = p.parseType();
    if (!type) break;
    param->addChild(type, p.arena);
  }
  return p.mangled.consumeChar('_');
}

bool parseOptionSet(NameParser& p, NodePointer param) {
  uint64_t value = 0;
  if (p.mangled.consumeChar('d')) {
    value |= Dead;
    if (p.mangled.isEmpty()) return false;
  }
  if (p.mangled.consumeChar('g')) {
    value |= OwnedToGuaranteed;
    if (p.mangled.isEmpty()) return false;
  }
  if (p.mangled.consumeChar('s')) {
    value |= SROA;
    if (p.mangled.isEmpty()) return false;
  }
  if (!p.mangled.consumeChar('_') || value == 0) return false;
  addKind(p, param, value);
  return true;
}

}  // namespace

NodePointer NameParser::parseSpecialization() {
  NodePointer specialization = nullptr;
  if (mangled.consumeChar('g'))
    specialization = makeNode(K::GenericSpecialization);
  else if (mangled.consumeChar('r'))
    specialization = makeNode(K::GenericNotReAbstractedSpecialization);
  else if (mangled.consumeChar('f'))
    specialization = makeNode(K::FunctionSigSpecialization);
  else
    return nullptr;
  if (mangled.consumeChar('q')) specialization->addChild(makeNode(K::FragileSpecializationMarker), arena);
  if (mangled.isEmpty()) return nullptr;
  // The pass character is not checked to be a digit.
  uint32_t pass = static_cast<uint32_t>(static_cast<signed char>(mangled.takeChar())) - 48u;
  specialization->addChild(makeNode(K::SpecializationPass, uint64_t{pass}), arena);

  if (specialization->getKind() != K::FunctionSigSpecialization) {
    while (!mangled.consumeChar('_')) {
      NodePointer param = makeNode(K::GenericSpecializationParam);
      NodePointer type = parseType();
      if (!type) return nullptr;
      param->addChild(type, arena);
      while (!mangled.consumeChar('_')) {
        NodePointer conformance = parseProtocolConformance();
        if (!conformance) return nullptr;
        param->addChild(conformance, arena);
      }
      specialization->addChild(param, arena);
    }
    return specialization;
  }

  for (uint64_t position = 0;; ++position) {
    if (mangled.isEmpty()) return nullptr;
    if (mangled.consumeChar('_')) return specialization;
    NodePointer param = makeNode(K::FunctionSigSpecializationParam, position);
    bool ok;
    if (mangled.consumePrefix("n_"))
      ok = true;
    else if (mangled.consumePrefix("cp"))
      ok = parseConstant(*this, param);
    else if (mangled.consumePrefix("cl"))
      ok = parseClosure(*this, param);
    else if (mangled.consumePrefix("i_")) {
      addKind(*this, param, ValuePromotedFromBox);
      ok = true;
    } else if (mangled.consumePrefix("k_")) {
      addKind(*this, param, StackPromotedFromBox);
      ok = true;
    } else {
      ok = parseOptionSet(*this, param);
    }
    if (!ok) return nullptr;
    specialization->addChild(param, arena);
  }
}

}  // namespace ZUDDemangle
