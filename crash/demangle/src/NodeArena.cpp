#include <crash_demangle/NodeArena.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace ZUDDemangle {

struct NodeArena::Block {
  Block* previous;
  size_t size;  // bytes after the header
};

NodeArena::NodeArena(void* buffer, size_t size)
    : cursor_(static_cast<char*>(buffer)), end_(static_cast<char*>(buffer) + size) {
  // The cursor must stay aligned for pointers.
  size_t misalignment = reinterpret_cast<uintptr_t>(cursor_) % alignof(void*);
  if (misalignment != 0) cursor_ += alignof(void*) - misalignment;
  if (cursor_ > end_) cursor_ = end_;
}

NodeArena::~NodeArena() { release(); }

NodeArena::NodeArena(NodeArena&& other) noexcept
    : cursor_(std::exchange(other.cursor_, nullptr)),
      end_(std::exchange(other.end_, nullptr)),
      blocks_(std::exchange(other.blocks_, nullptr)),
      nextBlockSize_(std::exchange(other.nextBlockSize_, kFirstHeapBlock)) {}

NodeArena& NodeArena::operator=(NodeArena&& other) noexcept {
  if (this != &other) {
    release();
    cursor_ = std::exchange(other.cursor_, nullptr);
    end_ = std::exchange(other.end_, nullptr);
    blocks_ = std::exchange(other.blocks_, nullptr);
    nextBlockSize_ = std::exchange(other.nextBlockSize_, kFirstHeapBlock);
  }
  return *this;
}

void NodeArena::release() {
  while (blocks_) {
    Block* previous = blocks_->previous;
    std::free(blocks_);
    blocks_ = previous;
  }
  cursor_ = end_ = nullptr;
}

void* NodeArena::allocateSlow(size_t bytes) {
  size_t size = nextBlockSize_;
  if (size < bytes) size = bytes;
  if (nextBlockSize_ < kMaxHeapBlock) nextBlockSize_ *= 2;
  auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
  if (!block) throw std::bad_alloc();
  block->previous = blocks_;
  block->size = size;
  blocks_ = block;
  cursor_ = reinterpret_cast<char*>(block + 1);
  end_ = cursor_ + size;
  void* result = cursor_;
  cursor_ += bytes;
  return result;
}

bool NodeArena::tryExtend(const void* allocation, size_t oldBytes, size_t newBytes) {
  oldBytes = (oldBytes + alignof(void*) - 1) & ~(alignof(void*) - 1);
  newBytes = (newBytes + alignof(void*) - 1) & ~(alignof(void*) - 1);
  if (static_cast<const char*>(allocation) + oldBytes != cursor_) return false;
  if (static_cast<size_t>(end_ - cursor_) < newBytes - oldBytes) return false;
  cursor_ += newBytes - oldBytes;
  return true;
}

NodePointer NodeArena::makeNode(Node::Kind kind, std::string_view text) {
  if (text.size() > UINT32_MAX) fatalError("node text too long");
  NodePointer node = new (allocate(sizeof(Node))) Node(kind, PayloadKind::Text);
  char* copy = static_cast<char*>(allocate(text.size()));
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  node->text_ = copy;
  node->textLength_ = static_cast<uint32_t>(text.size());
  return node;
}

}  // namespace ZUDDemangle
