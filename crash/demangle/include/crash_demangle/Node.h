// Node of a demangled symbol tree: a kind, an optional text or index payload and shared children.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ZUDDemangle {

class Node;
using NodePointer = std::shared_ptr<Node>;

enum class PayloadKind : uint8_t { None = 0, Text = 1, Index = 2 };

class Node : public std::enable_shared_from_this<Node> {
public:
  enum class Kind : uint16_t {
#define NODE_KIND(Name, Number) Name = Number,
#include <crash_demangle/NodeKinds.def>
#undef NODE_KIND
  };
  static constexpr unsigned kNumKinds = 139;

  using iterator = std::vector<NodePointer>::const_iterator;

  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  ~Node();

  Kind getKind() const { return kind_; }
  PayloadKind getPayloadKind() const { return payloadKind_; }

  bool hasText() const { return payloadKind_ == PayloadKind::Text; }
  const std::string& getText() const;
  bool hasIndex() const { return payloadKind_ == PayloadKind::Index; }
  uint64_t getIndex() const;

  size_t getNumChildren() const { return children_.size(); }
  const NodePointer& getChild(size_t position) const;
  iterator begin() const { return children_.begin(); }
  iterator end() const { return children_.end(); }

  // Appends at the end; a null child is an internal error.
  void addChild(NodePointer child);

  friend NodePointer makeNode(Kind kind);
  friend NodePointer makeNode(Kind kind, std::string_view text);
  friend NodePointer makeNode(Kind kind, uint64_t index);

private:
  Node(Kind kind, PayloadKind payloadKind) : kind_(kind), payloadKind_(payloadKind) {}

  Kind kind_;
  PayloadKind payloadKind_;
  std::string text_;
  uint64_t index_ = 0;
  std::vector<NodePointer> children_;
};

NodePointer makeNode(Node::Kind kind);
NodePointer makeNode(Node::Kind kind, std::string_view text);
NodePointer makeNode(Node::Kind kind, uint64_t index);

// The enumerator's name of a kind ("Structure"), or "?" for a value outside the table.
const char* getNodeKindName(Node::Kind kind);

// Writes "fatal error: <message>" to standard error and aborts; only for broken invariants.
[[noreturn]] void fatalError(const char* message);

}  // namespace ZUDDemangle
