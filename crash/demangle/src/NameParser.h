// Parser state of one demangling call (text cursor, substitution list) and every grammar reader.
#pragma once

#include "StringRef.h"

#include <crash_demangle/Node.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ZUDDemangle {

enum class ConventionContext { Callee = 0, Parameter = 1, Result = 2 };

class NameParser {
public:
  NameParser(const char* text, size_t length) : mangled(text, length) {}

  StringRef mangled;
  std::vector<NodePointer> substitutions;

  // Symbol body and specialization prefixes.
  NodePointer parseSymbolBody();
  NodePointer parseSpecialization();

  // Numbers, identifiers, substitutions and modules.
  bool parseNatural(uint64_t& value);
  bool parseNaturalWithUnderscore(uint64_t& value);
  bool parseIndex(uint64_t& value);
  NodePointer parseIndexAsNumber();
  NodePointer parseIdentifier(std::optional<Node::Kind> kind = std::nullopt);
  NodePointer parseSubstitution();
  NodePointer parseModule();

  // Types.
  NodePointer parseType();
  NodePointer parseBareType();
  NodePointer parseFunctionType(Node::Kind kind);
  NodePointer parseMetatypeRepresentation();
  NodePointer parseProtocolList();
  NodePointer parseTuple(bool variadic);
  NodePointer parseBoundGenericType();

  // Contexts, entities and generic signatures.
  NodePointer parseContext();
  NodePointer parseNominalDeclaration(Node::Kind kind);
  NodePointer parseNominalType();
  NodePointer parseEntity();
  NodePointer parseEntityName();
  NodePointer parseProtocolConformance();
  NodePointer parseGenericSignature(bool pseudo);

  // Archetypes and dependent generic parameters.
  NodePointer parseArchetype();
  NodePointer parseGenericParamOrMember();  // the type code "q"
  NodePointer parseDependentMemberOfParam();
  NodePointer parseDependentMemberChain();
  static NodePointer makeGenericParamType(uint64_t depth, uint64_t index);

  // Lowered function types, bound generic arguments and dependent-type helpers.
  NodePointer parseImplFunctionType();
  std::string_view parseImplConvention(ConventionContext context);
  NodePointer parseImplParameterOrResult(Node::Kind kind);
  bool parseImplParameters(const NodePointer& type);
  bool parseImplResults(const NodePointer& type);
  static void addImplFunctionAttribute(const NodePointer& type, std::string_view attribute);
  NodePointer parseBoundGenericArguments(const NodePointer& nominal);
  NodePointer parseProtocolName();
  NodePointer parseProtocolNameInContext(const NodePointer& context);
  NodePointer parseDependentMemberName(const NodePointer& base);
  NodePointer parseGenericParamIndex();
  NodePointer parseRequirementSubject();
  static void addGenericParamCount(uint64_t count, const NodePointer& signature);
  static NodePointer makeArchetypeReference(uint64_t depth, uint64_t index);
  NodePointer makeSelfTypeReference(const NodePointer& base);
  NodePointer parseAssociatedTypeReference(const NodePointer& base);
  static NodePointer makeStandardType(Node::Kind kind, std::string_view name);
  bool parseReabstractionSignature(const NodePointer& parent);
  bool readTextUntilUnderscore(std::string& output);

private:
  friend class DepthGuard;
  unsigned depth_ = 0;
};

// Counts one level of nested reading for as long as it lives; a reader that finds the bound
// exceeded fails.
class DepthGuard {
public:
  explicit DepthGuard(NameParser& parser);
  ~DepthGuard() { --parser_.depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
  bool exceeded() const;

private:
  NameParser& parser_;
};

// The generated name of a generic parameter: letters for the index, the depth when not 0.
std::string genericParamName(uint64_t index, uint64_t depth);

// True when the bytes are well-formed UTF-8 (no surrogates, nothing above 0x10FFFF).
bool isValidUTF8(std::string_view text);

}  // namespace ZUDDemangle
