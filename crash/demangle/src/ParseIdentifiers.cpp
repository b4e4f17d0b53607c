// Numbers, indexes, identifiers (plain, Punycode, operator), module names and substitutions.
#include "NameParser.h"

#include <crash_demangle/Punycode.h>

namespace ZUDDemangle {

namespace {

using K = Node::Kind;

// Operator character of each letter "a"-"z"; a blank marks a letter without one.
constexpr char kOperatorChars[] = "& @/= >    <*!|+?%-~   ^ .";
constexpr uint32_t kInvalidOperatorLetters = 0x17007A2;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool NameParser::parseNatural(uint64_t& value) {
  if (mangled.isEmpty() || !isDigit(mangled.peekChar())) return false;
  uint64_t result = 0;
  while (!mangled.isEmpty() && isDigit(mangled.peekChar()))
    result = result * 10 + static_cast<uint64_t>(mangled.takeChar() - '0');
  value = result;
  return true;
}

bool NameParser::parseNaturalWithUnderscore(uint64_t& value) {
  return parseNatural(value) && mangled.consumeChar('_');
}

bool NameParser::parseIndex(uint64_t& value) {
  if (mangled.consumeChar('_')) {
    value = 0;
    return true;
  }
  uint64_t n;
  if (!parseNaturalWithUnderscore(n)) return false;
  value = n + 1;
  return true;
}

NodePointer NameParser::parseIndexAsNumber() {
  uint64_t value;
  if (!parseIndex(value)) return nullptr;
  return makeNode(K::Number, value);
}

NodePointer NameParser::parseIdentifier(std::optional<Node::Kind> kind) {
  if (mangled.isEmpty()) return nullptr;
  bool isPunycoded = mangled.consumeChar('X');
  bool isOperator = false;
  if (mangled.consumeChar('o')) {
    if (kind) return nullptr;
    if (mangled.isEmpty()) return nullptr;
    switch (mangled.takeChar()) {
      case 'P': kind = K::PostfixOperator; break;
      case 'i': kind = K::InfixOperator; break;
      case 'p': kind = K::PrefixOperator; break;
      default: return nullptr;
    }
    isOperator = true;
  }
  if (!kind) kind = K::Identifier;

  uint64_t length;
  if (!parseNatural(length)) return nullptr;
  if (mangled.size() < length || length == 0) return nullptr;
  std::string_view name(mangled.data(), static_cast<size_t>(length));
  mangled.skip(static_cast<size_t>(length));
  if (!isPunycoded && !isOperator) {
    // A name cut inside a multi-byte sequence (or plain invalid bytes) would corrupt the output.
    if (!isValidUTF8(name)) return nullptr;
    return makeNode(*kind, name);
  }

  std::string text(name);
  if (isPunycoded) {
    std::string decoded;
    if (!decodePunycodeUTF8(text.data(), text.size(), decoded)) return nullptr;
    text = std::move(decoded);
  }
  if (text.empty()) return nullptr;

  if (isOperator) {
    for (char& c : text) {
      unsigned char byte = static_cast<unsigned char>(c);
      if (byte >= 0x80) continue;
      if (byte < 'a' || byte > 'z') return nullptr;
      unsigned letter = byte - 'a';
      if (kInvalidOperatorLetters & (1u << letter)) return nullptr;
      c = kOperatorChars[letter];
    }
  }
  if (!isValidUTF8(text)) return nullptr;
  return makeNode(*kind, std::string_view(text));
}

NodePointer NameParser::parseSubstitution() {
  if (mangled.isEmpty()) return nullptr;
  switch (mangled.peekChar()) {
#define STANDARD(letter, kindName, text)            \
  case letter:                                      \
    mangled.skip(1);                                \
    return makeStandardType(K::kindName, text);
    STANDARD('a', Structure, "Array")
    STANDARD('b', Structure, "Bool")
    STANDARD('c', Structure, "UnicodeScalar")
    STANDARD('d', Structure, "Double")
    STANDARD('f', Structure, "Float")
    STANDARD('i', Structure, "Int")
    STANDARD('u', Structure, "UInt")
    STANDARD('S', Structure, "String")
    STANDARD('P', Structure, "UnsafePointer")
    STANDARD('p', Structure, "UnsafeMutablePointer")
    STANDARD('V', Structure, "UnsafeRawPointer")
    STANDARD('v', Structure, "UnsafeMutableRawPointer")
    STANDARD('R', Structure, "UnsafeBufferPointer")
    STANDARD('r', Structure, "UnsafeMutableBufferPointer")
    STANDARD('q', Enum, "Optional")
    STANDARD('Q', Enum, "ImplicitlyUnwrappedOptional")
#undef STANDARD
    case 'o':
      mangled.skip(1);
      return makeNode(K::Module, std::string_view("__ObjC"));
    case 'C':
      mangled.skip(1);
      return makeNode(K::Module, std::string_view("__C"));
    default:
      break;
  }
  uint64_t index;
  if (!parseIndex(index) || index >= substitutions.size()) return nullptr;
  return substitutions[static_cast<size_t>(index)];
}

NodePointer NameParser::parseModule() {
  if (mangled.consumeChar('S')) {
    NodePointer module = parseSubstitution();
    if (!module || module->getKind() != K::Module) return nullptr;
    return module;
  }
  if (mangled.consumeChar('s')) return makeNode(K::Module, std::string_view("Swift"));
  NodePointer module = parseIdentifier(K::Module);
  if (!module) return nullptr;
  substitutions.push_back(module);
  return module;
}

}  // namespace ZUDDemangle
