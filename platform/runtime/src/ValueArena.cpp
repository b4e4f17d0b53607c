#include <platform_runtime/ValueArena.h>

#include <atomic>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VALUE_ARENA_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define VALUE_ARENA_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define VALUE_ARENA_POISON(p, n) ((void)(p), (void)(n))
#define VALUE_ARENA_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

// A chunk starts with its count of live parts. While the arena carves from it the count also
// holds kHold, so parts released in the meantime never bring the count to zero; retiring the chunk
// trades kHold for the number of parts carved.
struct ValueArena::Chunk {
    std::atomic<uint64_t> refs;
    uint64_t bytes;  // the chunk's size, header included (also keeps the parts 16-byte aligned)
};

namespace {

constexpr uint64_t kHold = uint64_t{1} << 62;
constexpr std::size_t kAlign = 8;

// Chunks of the standard size whose parts were all released, kept for the next arena. Trees are
// usually freed on another thread than the one that decodes the next; handing the chunks back
// here saves the decoding thread the allocator's collection of those frees, chunk by chunk.
// At most kMaxKept chunks are kept; the rest go back to the allocator.
class SpareChunks {
public:
    static constexpr std::size_t kMaxKept = 128;

    SpareChunks() { kept_.reserve(kMaxKept); }

    void* take() noexcept {
        std::lock_guard lock(m_);
        if (kept_.empty()) return nullptr;
        void* chunk = kept_.back();
        kept_.pop_back();
        return chunk;
    }
    // Whether the chunk was kept (else the caller frees it).
    bool keep(void* chunk) noexcept {
        std::lock_guard lock(m_);
        if (kept_.size() >= kMaxKept) return false;
        kept_.push_back(chunk);
        return true;
    }

private:
    std::mutex m_;
    std::vector<void*> kept_;
};

// Never destroyed: parts of static values may be released during exit, after any destructor here
// would have run.
SpareChunks& spareChunks() {
    static SpareChunks* spare = new SpareChunks;
    return *spare;
}

}  // namespace

ValueArena::~ValueArena() { retire(); }

ValueArena::Chunk* ValueArena::newChunk(std::size_t bytes) {
    void* memory = bytes == kChunkBytes ? spareChunks().take() : nullptr;
    if (memory) VALUE_ARENA_UNPOISON(memory, bytes);
    else memory = ::operator new(bytes);
    return new (memory) Chunk{{kHold}, bytes};
}

void ValueArena::freeChunk(Chunk* chunk) noexcept {
    const std::size_t bytes = chunk->bytes;
    chunk->~Chunk();
    if (bytes == kChunkBytes && spareChunks().keep(chunk)) {
        VALUE_ARENA_POISON(chunk, bytes);
        return;
    }
    ::operator delete(chunk);
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
    if (chunk->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) freeChunk(chunk);
}

void ValueArena::retire() noexcept {
    if (!chunk_) return;
    Chunk* chunk = chunk_;
    const uint64_t trade = kHold - carved_;
    chunk_ = nullptr;
    used_ = capacity_ = 0;
    carved_ = 0;
    if (chunk->refs.fetch_sub(trade, std::memory_order_acq_rel) == trade) freeChunk(chunk);
}
