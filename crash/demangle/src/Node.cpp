#include <crash_demangle/Node.h>
#include <crash_demangle/NodeArena.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ZUDDemangle {

void fatalError(const char* message) {
  std::fprintf(stderr, "fatal error: %s\n", message);
  std::abort();
}

std::string_view Node::getText() const {
  if (!hasText()) fatalError("getText: hasText()");
  return {text_, textLength_};
}

uint64_t Node::getIndex() const {
  if (!hasIndex()) fatalError("getIndex: hasIndex()");
  return index_;
}

void Node::growChildren(NodeArena& arena) {
  // Most nodes have one to three children; a list grows in place while nothing was allocated
  // after it, and is copied otherwise (the old list stays unused in the arena).
  uint32_t capacity = childCapacity_ == 0 ? 2 : childCapacity_ * 2;
  size_t oldBytes = childCapacity_ * sizeof(NodePointer);
  size_t newBytes = capacity * sizeof(NodePointer);
  if (!children_ || !arena.tryExtend(children_, oldBytes, newBytes)) {
    auto* grown = static_cast<NodePointer*>(arena.allocate(newBytes));
    if (numChildren_ != 0) std::memcpy(grown, children_, numChildren_ * sizeof(NodePointer));
    children_ = grown;
  }
  childCapacity_ = capacity;
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
