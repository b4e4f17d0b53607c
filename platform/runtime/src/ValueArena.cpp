#include <platform_runtime/ValueArena.h>

#include <atomic>
#include <new>

// A chunk starts with its count of live parts. While the arena carves from it the count also
// holds kHold, so parts released in the meantime never bring it to zero; retiring the chunk
// trades kHold for the number of parts carved.
struct ValueArena::Chunk {
    std::atomic<uint64_t> refs;
    uint64_t reserved;  // keeps the parts after the header 16-byte aligned
};

namespace {

constexpr uint64_t kHold = uint64_t{1} << 62;
constexpr std::size_t kAlign = 8;

}  // namespace

ValueArena::~ValueArena() { retire(); }

ValueArena::Chunk* ValueArena::newChunk(std::size_t bytes) {
    void* memory = ::operator new(bytes);
    return new (memory) Chunk{{kHold}, 0};
}

void* ValueArena::allocate(std::size_t bytes, uint32_t& offset) {
    bytes = (bytes + kAlign - 1) & ~(kAlign - 1);
    if (bytes > kChunkBytes / 4) {
        // A part of its own: the chunk is released with it.
        Chunk* own = newChunk(sizeof(Chunk) + bytes);
        own->refs.store(1, std::memory_order_relaxed);
        offset = sizeof(Chunk);
        return reinterpret_cast<char*>(own) + sizeof(Chunk);
    }
    if (!chunk_ || capacity_ - used_ < bytes) {
        Chunk* next = newChunk(kChunkBytes);
        retire();
        chunk_ = next;
        used_ = sizeof(Chunk);
        capacity_ = kChunkBytes;
    }
    offset = static_cast<uint32_t>(used_);
    void* part = reinterpret_cast<char*>(chunk_) + used_;
    used_ += bytes;
    ++carved_;
    return part;
}

void ValueArena::release(void* part, uint32_t offset) noexcept {
    auto* chunk = reinterpret_cast<Chunk*>(static_cast<char*>(part) - offset);
    if (chunk->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        chunk->~Chunk();
        ::operator delete(chunk);
    }
}

void ValueArena::retire() noexcept {
    if (!chunk_) return;
    Chunk* chunk = chunk_;
    const uint64_t trade = kHold - carved_;
    chunk_ = nullptr;
    used_ = capacity_ = 0;
    carved_ = 0;
    if (chunk->refs.fetch_sub(trade, std::memory_order_acq_rel) == trade) {
        chunk->~Chunk();
        ::operator delete(chunk);
    }
}
