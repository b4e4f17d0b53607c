#pragma once
// Memory for the many small parts of a tree of values a decoder builds at once (container
// headers, text blocks), carved from shared chunks: one allocation per chunk instead of one per
// part, and the parts of one tree side by side.
//
// A chunk lives until the arena has moved past it and the last part carved from it is released;
// parts outlive the arena and may be released in any order, from any thread. A part kept long
// after the rest of its tree keeps its whole chunk (kChunkBytes) alive. A few freed chunks are
// kept process-wide for the next arenas (at most 2 MB).
// Thread contract: one thread at a time carves from an arena; releasing parts is thread-safe.

#include <cstddef>
#include <cstdint>

class ValueArena {
public:
    // The size of a chunk; a larger part gets a chunk of its own.
    static constexpr std::size_t kChunkBytes = 16 * 1024;

    ValueArena() noexcept = default;
    ValueArena(const ValueArena&) = delete;
    ValueArena& operator=(const ValueArena&) = delete;
    ~ValueArena();

    // `bytes` of memory aligned to 8, and in `offset` the distance of that memory from the start
    // of its chunk, which release() takes back with it. Throws std::bad_alloc.
    void* allocate(std::size_t bytes, uint32_t& offset);
    // Gives back a part that allocate() answered (with its offset); the last part of a chunk the
    // arena no longer carves from frees the chunk.
    static void release(void* part, uint32_t offset) noexcept;

private:
    struct Chunk;
    static Chunk* newChunk(std::size_t bytes);
    static void freeChunk(Chunk* chunk) noexcept;
    void retire() noexcept;

    Chunk* chunk_ = nullptr;
    std::size_t used_ = 0;      // bytes carved from chunk_ (its header included)
    std::size_t capacity_ = 0;  // bytes in chunk_
    uint64_t carved_ = 0;       // parts carved from chunk_
};
