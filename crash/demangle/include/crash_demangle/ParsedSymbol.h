// The tree of a demangled name together with the arena that holds its nodes.
// The nodes live exactly as long as this object (moving it keeps them in place). One owner;
// reading the tree from several threads at once is safe.
#pragma once

#include <crash_demangle/Node.h>
#include <crash_demangle/NodeArena.h>

#include <cstddef>
#include <utility>

namespace ZUDDemangle {

class ParsedSymbol {
public:
  // No tree: the name did not parse.
  ParsedSymbol() = default;
  ParsedSymbol(NodeArena arena, NodePointer root) : arena_(std::move(arena)), root_(root) {}

  const Node* root() const { return root_; }
  explicit operator bool() const { return root_ != nullptr; }
  const Node* operator->() const { return root_; }
  const Node& operator*() const { return *root_; }

  friend bool operator==(const ParsedSymbol& symbol, std::nullptr_t) { return symbol.root_ == nullptr; }

private:
  NodeArena arena_;
  NodePointer root_ = nullptr;
};

}  // namespace ZUDDemangle
