// Node of a demangled symbol tree: a kind, an optional text or index payload and children.
// Nodes live in the NodeArena of the parse that made them and are freed with it, all at once;
// a node may be the child of several parents (back-references share the node they name).
// Reading a finished tree from several threads is safe; building one is not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ZUDDemangle {

class Node;
class NodeArena;
// A node in some arena; it owns nothing and is valid for as long as that arena lives.
using NodePointer = Node*;

// Writes "fatal error: <message>" to standard error and aborts; only for broken invariants.
[[noreturn]] void fatalError(const char* message);

enum class PayloadKind : uint8_t { None = 0, Text = 1, Index = 2 };

class Node {
public:
  enum class Kind : uint16_t {
#define NODE_KIND(Name, Number) Name = Number,
#include <crash_demangle/NodeKinds.def>
#undef NODE_KIND
  };
  static constexpr unsigned kNumKinds = 139;

  using iterator = const NodePointer*;

  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  Kind getKind() const { return kind_; }
  PayloadKind getPayloadKind() const { return payloadKind_; }

  bool hasText() const { return payloadKind_ == PayloadKind::Text; }
  // The text payload, held in the node's arena.
  std::string_view getText() const;
  bool hasIndex() const { return payloadKind_ == PayloadKind::Index; }
  uint64_t getIndex() const;

  size_t getNumChildren() const { return numChildren_; }
  NodePointer getChild(size_t position) const {
    if (position >= numChildren_) fatalError("getChild: position < getNumChildren()");
    return children_[position];
  }
  iterator begin() const { return children_; }
  iterator end() const { return children_ + numChildren_; }

  // Appends at the end, growing the child list in the arena that holds this node; a null child
  // is an internal error.
  void addChild(NodePointer child, NodeArena& arena) {
    if (!child) fatalError("adding null child!");
    if (numChildren_ == childCapacity_) growChildren(arena);
    children_[numChildren_++] = child;
  }

private:
  friend class NodeArena;
  void growChildren(NodeArena& arena);
  Node(Kind kind, PayloadKind payloadKind) : kind_(kind), payloadKind_(payloadKind) {}

  Kind kind_;
  PayloadKind payloadKind_;
  uint32_t textLength_ = 0;
  uint32_t numChildren_ = 0;
  uint32_t childCapacity_ = 0;
  union {
    const char* text_;
    uint64_t index_ = 0;
  };
  NodePointer* children_ = nullptr;
};

// The enumerator's name of a kind ("Structure"), or "?" for a value outside the table.
const char* getNodeKindName(Node::Kind kind);


}  // namespace ZUDDemangle
