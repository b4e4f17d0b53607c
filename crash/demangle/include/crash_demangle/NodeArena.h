// Bump allocator that holds the nodes, child lists and texts of one parse and frees them at once.
// One owner, one thread; moving the arena keeps every node it handed out where it is.
#pragma once

#include <crash_demangle/Node.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>

namespace ZUDDemangle {

class NodeArena {
public:
  // Blocks come from the heap as they are needed.
  NodeArena() = default;
  // The first block is the caller's buffer (e.g. on the stack), which must outlive the arena.
  NodeArena(void* buffer, size_t size);
  ~NodeArena();

  NodeArena(NodeArena&& other) noexcept;
  NodeArena& operator=(NodeArena&& other) noexcept;
  NodeArena(const NodeArena&) = delete;
  NodeArena& operator=(const NodeArena&) = delete;

  NodePointer makeNode(Node::Kind kind);
  // The text is copied into the arena.
  NodePointer makeNode(Node::Kind kind, std::string_view text);
  NodePointer makeNode(Node::Kind kind, uint64_t index);

  // Uninitialised storage, aligned for pointers, valid until the arena is destroyed.
  void* allocate(size_t bytes);
  // Grows the latest allocation in place when it ends at the cursor and the block has room.
  bool tryExtend(const void* allocation, size_t oldBytes, size_t newBytes);

private:
  struct Block;
  void* allocateSlow(size_t bytes);
  void release();

  char* cursor_ = nullptr;
  char* end_ = nullptr;
  Block* blocks_ = nullptr;  // heap blocks, the latest first
  size_t nextBlockSize_ = kFirstHeapBlock;

  // A short symbol's whole tree fits the first heap block; later blocks double up to the cap,
  // so a long name takes a few blocks, not many.
  static constexpr size_t kFirstHeapBlock = 2 * 1024;
  static constexpr size_t kMaxHeapBlock = 256 * 1024;
};

inline NodePointer NodeArena::makeNode(Node::Kind kind) {
  return new (allocate(sizeof(Node))) Node(kind, PayloadKind::None);
}

inline NodePointer NodeArena::makeNode(Node::Kind kind, uint64_t index) {
  NodePointer node = new (allocate(sizeof(Node))) Node(kind, PayloadKind::Index);
  node->index_ = index;
  return node;
}

inline void* NodeArena::allocate(size_t bytes) {
  bytes = (bytes + alignof(void*) - 1) & ~(alignof(void*) - 1);
  if (static_cast<size_t>(end_ - cursor_) < bytes) return allocateSlow(bytes);
  void* result = cursor_;
  cursor_ += bytes;
  return result;
}

}  // namespace ZUDDemangle
