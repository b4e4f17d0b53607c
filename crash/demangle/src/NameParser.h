// Parser state of one demangling call (text cursor, substitution list) and every grammar reader.
#pragma once

#include "StringRef.h"

#include <crash_demangle/Limits.h>
#include <crash_demangle/Node.h>
#include <crash_demangle/NodeArena.h>

#include <cstdint>
#include <optional>
#include <utility>
#include <string>
#include <string_view>

namespace ZUDDemangle {

enum class ConventionContext { Callee = 0, Parameter = 1, Result = 2 };

// Back-referenceable nodes in the order the text entered them, kept in the parse's arena.
class SubstitutionList {
public:
  explicit SubstitutionList(NodeArena& arena) : arena_(arena) {}
  SubstitutionList(const SubstitutionList&) = delete;
  SubstitutionList& operator=(const SubstitutionList&) = delete;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  NodePointer operator[](size_t position) const { return items_[position]; }
  void push_back(NodePointer node);
  void clear() { size_ = 0; }

private:
  NodeArena& arena_;
  NodePointer* items_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

class NameParser {
public:
  // Nodes go to a fresh arena on the heap, or to the one given; take it back with `arena`.
  NameParser(const char* text, size_t length) : mangled(text, length) {}
  NameParser(const char* text, size_t length, NodeArena nodes) : mangled(text, length), arena(std::move(nodes)) {}
  NameParser(const NameParser&) = delete;
  NameParser& operator=(const NameParser&) = delete;

  StringRef mangled;
  NodeArena arena;
  SubstitutionList substitutions{arena};

  NodePointer makeNode(Node::Kind kind) { return arena.makeNode(kind); }
  NodePointer makeNode(Node::Kind kind, std::string_view text) { return arena.makeNode(kind, text); }
  NodePointer makeNode(Node::Kind kind, uint64_t index) { return arena.makeNode(kind, index); }
  // A node with the one child; null when the child is null.
  NodePointer makeWithChild(Node::Kind kind, NodePointer child);
  NodePointer wrapInType(NodePointer node) { return makeWithChild(Node::Kind::Type, node); }

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
  NodePointer makeGenericParamType(uint64_t depth, uint64_t index);

  // Lowered function types, bound generic arguments and dependent-type helpers.
  NodePointer parseImplFunctionType();
  std::string_view parseImplConvention(ConventionContext context);
  NodePointer parseImplParameterOrResult(Node::Kind kind);
  bool parseImplParameters(NodePointer type);
  bool parseImplResults(NodePointer type);
  void addImplFunctionAttribute(NodePointer type, std::string_view attribute);
  NodePointer parseBoundGenericArguments(NodePointer nominal);
  NodePointer parseProtocolName();
  NodePointer parseProtocolNameInContext(NodePointer context);
  NodePointer parseDependentMemberName(NodePointer base);
  NodePointer parseGenericParamIndex();
  NodePointer parseRequirementSubject();
  void addGenericParamCount(uint64_t count, NodePointer signature);
  NodePointer makeArchetypeReference(uint64_t depth, uint64_t index);
  NodePointer makeSelfTypeReference(NodePointer base);
  NodePointer parseAssociatedTypeReference(NodePointer base);
  NodePointer makeStandardType(Node::Kind kind, std::string_view name);
  bool parseReabstractionSignature(NodePointer parent);
  bool readTextUntilUnderscore(std::string& output);

private:
  friend class DepthGuard;
  unsigned depth_ = 0;
};

// Counts one level of nested reading for as long as it lives; a reader that finds the bound
// exceeded fails.
class DepthGuard {
public:
  explicit DepthGuard(NameParser& parser) : parser_(parser) { ++parser_.depth_; }
  ~DepthGuard() { --parser_.depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
  bool exceeded() const { return parser_.depth_ > Limits::kMaxParseDepth; }

private:
  NameParser& parser_;
};

// The generated name of a generic parameter: letters for the index, the depth when not 0.
std::string genericParamName(uint64_t index, uint64_t depth);

// True when the bytes are well-formed UTF-8 (no surrogates, nothing above 0x10FFFF).
bool isValidUTF8(std::string_view text);

}  // namespace ZUDDemangle
