// Lowered ("XF") function types: conventions, attributes, parameters and results.
#include "NameParser.h"

namespace ZUDDemangle {

namespace {
using K = Node::Kind;
}  // namespace

NodePointer NameParser::parseImplFunctionType() {
  NodePointer type = makeNode(K::ImplFunctionType);
  if (mangled.consumeChar('t')) {
    type->addChild(makeNode(K::ImplConvention, std::string_view("@convention(thin)")), arena);
  } else {
    std::string_view callee = parseImplConvention(ConventionContext::Callee);
    if (callee.empty()) return nullptr;
    type->addChild(makeNode(K::ImplConvention, callee), arena);
  }
  if (mangled.consumeChar('C')) {
    if (mangled.isEmpty()) return nullptr;
    switch (mangled.takeChar()) {
      case 'b': addImplFunctionAttribute(type, "@convention(block)"); break;
      case 'c': addImplFunctionAttribute(type, "@convention(c)"); break;
      case 'm': addImplFunctionAttribute(type, "@convention(method)"); break;
      case 'O': addImplFunctionAttribute(type, "@convention(objc_method)"); break;
      case 'w': addImplFunctionAttribute(type, "@convention(witness_method)"); break;
      default: return nullptr;
    }
  }
  if (mangled.isEmpty()) return nullptr;
  if (mangled.nextIs('g') || mangled.nextIs('G')) {
    bool pseudo = mangled.takeChar() == 'g';
    NodePointer signature = parseGenericSignature(pseudo);
    if (!signature) return nullptr;
    type->addChild(signature, arena);
  }
  if (!mangled.consumeChar('_')) return nullptr;
  if (!parseImplParameters(type) || !parseImplResults(type)) return nullptr;
  return type;
}

std::string_view NameParser::parseImplConvention(ConventionContext context) {
  if (mangled.isEmpty()) return {};
  // Columns: callee, parameter, result.
  static constexpr struct {
    char letter;
    const char* texts[3];
  } kConventions[] = {
      {'a', {"", "", "@autoreleased"}},
      {'d', {"@callee_unowned", "@unowned", "@unowned"}},
      {'e', {"", "@deallocating", ""}},
      {'g', {"@callee_guaranteed", "@guaranteed", ""}},
      {'i', {"", "@in", "@out"}},
      {'l', {"", "@inout", ""}},
      {'o', {"@callee_owned", "@owned", "@owned"}},
      {'D', {"", "", "@unowned_inner_pointer"}},
  };
  char c = mangled.peekChar();
  for (const auto& row : kConventions) {
    if (row.letter == c) {
      mangled.skip(1);
      return row.texts[static_cast<int>(context)];
    }
  }
  return {};
}

NodePointer NameParser::parseImplParameterOrResult(Node::Kind kind) {
  if (mangled.consumeChar('z')) {
    if (kind != K::ImplResult) return nullptr;
    kind = K::ImplErrorResult;
  }
  ConventionContext context;
  if (kind == K::ImplParameter)
    context = ConventionContext::Parameter;
  else if (kind == K::ImplResult || kind == K::ImplErrorResult)
    context = ConventionContext::Result;
  else
    fatalError("unexpected node kind");
  std::string_view convention = parseImplConvention(context);
  if (convention.empty()) return nullptr;
  NodePointer type = parseType();
  if (!type) return nullptr;
  NodePointer node = makeNode(kind);
  node->addChild(makeNode(K::ImplConvention, convention), arena);
  node->addChild(type, arena);
  return node;
}

bool NameParser::parseImplParameters(NodePointer type) {
  while (!mangled.consumeChar('_')) {
    NodePointer parameter = parseImplParameterOrResult(K::ImplParameter);
    if (!parameter) return false;
    type->addChild(parameter, arena);
  }
  return true;
}

bool NameParser::parseImplResults(NodePointer type) {
  while (!mangled.consumeChar('_')) {
    NodePointer result = parseImplParameterOrResult(K::ImplResult);
    if (!result) return false;
    type->addChild(result, arena);
  }
  return true;
}

void NameParser::addImplFunctionAttribute(NodePointer type, std::string_view attribute) {
  type->addChild(makeNode(K::ImplFunctionAttribute, attribute), arena);
}

}  // namespace ZUDDemangle
