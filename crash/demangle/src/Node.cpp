#include <crash_demangle/Node.h>

#include <cstdio>
#include <cstdlib>

namespace ZUDDemangle {

void fatalError(const char* message) {
  std::fprintf(stderr, "fatal error: %s\n", message);
  std::abort();
}

Node::~Node() {
  if (payloadKind_ != PayloadKind::None && payloadKind_ != PayloadKind::Text &&
      payloadKind_ != PayloadKind::Index)
    fatalError("bad payload kind");
  // Release the subtree iteratively: a deep chain of nodes must not recurse once per level.
  std::vector<NodePointer> pending = std::move(children_);
  while (!pending.empty()) {
    NodePointer node = std::move(pending.back());
    pending.pop_back();
    if (node && node.use_count() == 1) {
      for (auto& child : node->children_) pending.push_back(std::move(child));
      node->children_.clear();
    }
  }
}

const std::string& Node::getText() const {
  if (!hasText()) fatalError("getText: hasText()");
  return text_;
}

uint64_t Node::getIndex() const {
  if (!hasIndex()) fatalError("getIndex: hasIndex()");
  return index_;
}

const NodePointer& Node::getChild(size_t position) const {
  if (position >= children_.size()) fatalError("getChild: position < getNumChildren()");
  return children_[position];
}

void Node::addChild(NodePointer child) {
  if (!child) fatalError("adding null child!");
  children_.push_back(std::move(child));
}

NodePointer makeNode(Node::Kind kind) { return NodePointer(new Node(kind, PayloadKind::None)); }

NodePointer makeNode(Node::Kind kind, std::string_view text) {
  NodePointer node(new Node(kind, PayloadKind::Text));
  node->text_.assign(text.data(), text.size());
  return node;
}

NodePointer makeNode(Node::Kind kind, uint64_t index) {
  NodePointer node(new Node(kind, PayloadKind::Index));
  node->index_ = index;
  return node;
}

const char* getNodeKindName(Node::Kind kind) {
  switch (kind) {
#define NODE_KIND(Name, Number) \
  case Node::Kind::Name:        \
    return #Name;
#include <crash_demangle/NodeKinds.def>
#undef NODE_KIND
  }
  return "?";
}

}  // namespace ZUDDemangle
