// The type grammar: one leading code per type, wrapped in a Type node for callers.
#include "NameParser.h"

namespace ZUDDemangle {

namespace {
using K = Node::Kind;
}  // namespace

NodePointer NameParser::makeWithChild(Node::Kind kind, NodePointer child) {
  if (!child) return nullptr;
  NodePointer node = makeNode(kind);
  node->addChild(child, arena);
  return node;
}

NodePointer NameParser::parseType() { return wrapInType(parseBareType()); }

static NodePointer parseBuiltinType(NameParser& p) {
  StringRef& m = p.mangled;
  if (m.isEmpty()) return nullptr;
  uint64_t width;
  switch (m.takeChar()) {
    case 'b': return p.makeNode(K::BuiltinTypeName, std::string_view("Builtin.BridgeObject"));
    case 'B': return p.makeNode(K::BuiltinTypeName, std::string_view("Builtin.UnsafeValueBuffer"));
    case 'O': return p.makeNode(K::BuiltinTypeName, std::string_view("Builtin.UnknownObject"));
    case 'o': return p.makeNode(K::BuiltinTypeName, std::string_view("Builtin.NativeObject"));
    case 'p': return p.makeNode(K::BuiltinTypeName, std::string_view("Builtin.RawPointer"));
    case 'w': return p.makeNode(K::BuiltinTypeName, std::string_view("Builtin.Word"));
    case 'f':
      if (!p.parseNaturalWithUnderscore(width)) return nullptr;
      return p.makeNode(K::BuiltinTypeName, "Builtin.Float" + std::to_string(width));
    case 'i':
      if (!p.parseNaturalWithUnderscore(width)) return nullptr;
      return p.makeNode(K::BuiltinTypeName, "Builtin.Int" + std::to_string(width));
    case 'v': {
      uint64_t count;
      if (!p.parseNatural(count) || !m.consumeChar('B')) return nullptr;
      std::string prefix = "Builtin.Vec" + std::to_string(count) + "x";
      if (m.consumeChar('f')) {
        if (!p.parseNaturalWithUnderscore(width)) return nullptr;
        return p.makeNode(K::BuiltinTypeName, prefix + "Float" + std::to_string(width));
      }
      if (m.consumeChar('i')) {
        if (!p.parseNaturalWithUnderscore(width)) return nullptr;
        return p.makeNode(K::BuiltinTypeName, prefix + "Int" + std::to_string(width));
      }
      if (m.consumeChar('p')) return p.makeNode(K::BuiltinTypeName, prefix + "RawPointer");
      return nullptr;
    }
    default:
      return nullptr;
  }
}

NodePointer NameParser::parseBareType() {
  DepthGuard guard(*this);
  if (guard.exceeded() || mangled.isEmpty()) return nullptr;
  switch (mangled.takeChar()) {
    case 'B': return parseBuiltinType(*this);
    case 'C': return parseNominalDeclaration(K::Class);
    case 'O': return parseNominalDeclaration(K::Enum);
    case 'V': return parseNominalDeclaration(K::Structure);
    case 'a': return parseNominalDeclaration(K::TypeAlias);
    case 'D': return makeWithChild(K::DynamicSelfType, parseType());
    case 'E':
      if (!mangled.consumeChar('R') || !mangled.consumeChar('R')) return nullptr;
      return makeNode(K::ErrorType, std::string_view(""));
    case 'F': return parseFunctionType(K::FunctionType);
    case 'K': return parseFunctionType(K::AutoclosureType);
    case 'b': return parseFunctionType(K::BlockType);
    case 'c': return parseFunctionType(K::CFunctionPointerType);
    case 'f': return parseFunctionType(K::UncurriedFunctionType);
    case 'G': return parseBoundGenericType();
    case 'M': return makeWithChild(K::Metatype, parseType());
    case 'P':
      if (mangled.consumeChar('M')) return makeWithChild(K::ExistentialMetatype, parseType());
      return parseProtocolList();
    case 'Q': return parseArchetype();
    case 'q': return parseGenericParamOrMember();
    case 'R': return makeWithChild(K::InOutType, parseBareType());
    case 'S': return parseSubstitution();
    case 'T': return parseTuple(false);
    case 't': return parseTuple(true);
    case 'u': {
      NodePointer signature = parseGenericSignature(false);
      if (!signature) return nullptr;
      NodePointer type = parseType();
      if (!type) return nullptr;
      NodePointer node = makeNode(K::ConstrainedGenericType);
      node->addChild(signature, arena);
      node->addChild(type, arena);
      return node;
    }
    case 'W': return parseDependentMemberChain();
    case 'w': return parseDependentMemberOfParam();
    case 'x': return makeGenericParamType(0, 0);
    case 'X': {
      if (mangled.isEmpty()) return nullptr;
      switch (mangled.takeChar()) {
        case 'F': return parseImplFunctionType();
        case 'f': return parseFunctionType(K::ThinFunctionType);
        case 'M': {
          NodePointer representation = parseMetatypeRepresentation();
          if (!representation) return nullptr;
          NodePointer type = parseType();
          if (!type) return nullptr;
          NodePointer node = makeNode(K::Metatype);
          node->addChild(representation, arena);
          node->addChild(type, arena);
          return node;
        }
        case 'P': {
          if (!mangled.consumeChar('M')) return parseProtocolList();
          NodePointer representation = parseMetatypeRepresentation();
          if (!representation) return nullptr;
          NodePointer type = parseType();
          if (!type) return nullptr;
          NodePointer node = makeNode(K::ExistentialMetatype);
          node->addChild(representation, arena);
          node->addChild(type, arena);
          return node;
        }
        case 'b': return makeWithChild(K::BoxType, parseType());
        case 'o': return makeWithChild(K::UnownedReference, parseType());
        case 'u': return makeWithChild(K::UnownedUnsafeReference, parseType());
        case 'w': return makeWithChild(K::WeakReference, parseType());
        default: return nullptr;
      }
    }
    default:
      return nullptr;
  }
}

NodePointer NameParser::parseFunctionType(Node::Kind kind) {
  bool throws = mangled.consumeChar('z');
  NodePointer argument = parseType();
  if (!argument) return nullptr;
  NodePointer result = parseType();
  if (!result) return nullptr;
  NodePointer node = makeNode(kind);
  if (throws) node->addChild(makeNode(K::ThrowsAnnotation), arena);
  node->addChild(makeWithChild(K::ArgumentTuple, argument), arena);
  node->addChild(makeWithChild(K::ReturnType, result), arena);
  return node;
}

NodePointer NameParser::parseMetatypeRepresentation() {
  if (mangled.isEmpty()) return nullptr;
  switch (mangled.takeChar()) {
    case 't': return makeNode(K::MetatypeRepresentation, std::string_view("@thin"));
    case 'T': return makeNode(K::MetatypeRepresentation, std::string_view("@thick"));
    case 'o': return makeNode(K::MetatypeRepresentation, std::string_view("@objc_metatype"));
    default: return nullptr;
  }
}

NodePointer NameParser::parseProtocolList() {
  NodePointer list = makeNode(K::ProtocolList);
  NodePointer types = makeNode(K::TypeList);
  list->addChild(types, arena);
  while (!mangled.consumeChar('_')) {
    NodePointer protocol = parseProtocolName();
    if (!protocol) return nullptr;
    types->addChild(protocol, arena);
  }
  return list;
}

NodePointer NameParser::parseTuple(bool variadic) {
  NodePointer tuple = makeNode(variadic ? K::VariadicTuple : K::Tuple);
  for (;;) {
    if (mangled.isEmpty()) return nullptr;
    if (mangled.consumeChar('_')) return tuple;
    NodePointer element = makeNode(K::TupleElement);
    char c = mangled.peekChar();
    if (c == 'o' || (c >= '0' && c <= '9')) {
      NodePointer label = parseIdentifier(K::TupleElementName);
      if (!label) return nullptr;
      element->addChild(label, arena);
    }
    NodePointer type = parseType();
    if (!type) return nullptr;
    element->addChild(type, arena);
    tuple->addChild(element, arena);
  }
}

NodePointer NameParser::parseBoundGenericType() {
  NodePointer nominal = parseNominalType();
  if (!nominal) return nullptr;
  return parseBoundGenericArguments(nominal);
}

}  // namespace ZUDDemangle
