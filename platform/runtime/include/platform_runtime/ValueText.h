#pragma once
// The text a string Value holds: short text inline in the handle, longer text in one shared heap
// block (a reference count and the length, followed by the UTF-8 bytes and a NUL).
//
// The text never changes once made, so copies share the block (a counted reference, safe across
// threads like shared_ptr); a view stays valid while the handle it came from lives unchanged.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include <platform_runtime/ValueArena.h>

class ValueText {
public:
    // Text up to this many bytes lives inline (the 16th byte holds its length).
    static constexpr std::size_t kInlineCapacity = 15;

    ValueText() noexcept : raw_{} {}
    explicit ValueText(std::string_view text);
    // Longer text gets its block from `arena` instead of a heap block of its own.
    ValueText(std::string_view text, ValueArena& arena);
    ValueText(const ValueText& other) noexcept { copyRaw(other), retain(); }
    ValueText(ValueText&& other) noexcept { copyRaw(other), other.clearRaw(); }
    ValueText& operator=(const ValueText& other) noexcept {
        ValueText copy(other);
        swap(copy);
        return *this;
    }
    ValueText& operator=(ValueText&& other) noexcept {
        ValueText taken(std::move(other));
        swap(taken);
        return *this;
    }
    ~ValueText() { release(); }

    std::string_view view() const noexcept {
        if (!inHeap()) return {raw_, static_cast<std::size_t>(raw_[kInlineCapacity])};
        const Block* b = block();
        return {reinterpret_cast<const char*>(b + 1), b->size};
    }
    // How many handles share the text (1 for inline text: it is never shared).
    long use_count() const noexcept {
        return inHeap() ? static_cast<long>(block()->refs.load(std::memory_order_relaxed)) : 1;
    }

    void swap(ValueText& other) noexcept {
        char mine[sizeof raw_];
        std::memcpy(mine, raw_, sizeof raw_);
        std::memcpy(raw_, other.raw_, sizeof raw_);
        std::memcpy(other.raw_, mine, sizeof raw_);
    }

private:
    // The heap form: this header, then the bytes and a NUL. A block carved from an arena chunk
    // knows its distance from the chunk's start (0: a heap block of its own).
    struct Block {
        std::atomic<uint32_t> refs;
        uint32_t chunkOffset;
        std::size_t size;
    };
    static constexpr char kInHeap = static_cast<char>(0xFF);

    bool inHeap() const noexcept { return raw_[kInlineCapacity] == kInHeap; }
    Block* block() const noexcept {
        Block* b;
        std::memcpy(&b, raw_, sizeof b);
        return b;
    }
    void copyRaw(const ValueText& other) noexcept { std::memcpy(raw_, other.raw_, sizeof raw_); }
    void clearRaw() noexcept { std::memset(raw_, 0, sizeof raw_); }
    void retain() noexcept {
        if (inHeap()) block()->refs.fetch_add(1, std::memory_order_relaxed);
    }
    // The last handle frees the block. A handle that sees a count of one is that last one: no
    // other thread holds a share it could copy, so it skips the atomic update.
    void release() noexcept {
        if (!inHeap()) return;
        Block* b = block();
        if (b->refs.load(std::memory_order_acquire) == 1 || b->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            if (b->chunkOffset) ValueArena::release(b, b->chunkOffset);
            else ::operator delete(b);
        }
    }

    // Inline: the bytes, then the length in the last byte. Heap: the Block pointer in the first
    // bytes, kInHeap in the last.
    alignas(8) char raw_[kInlineCapacity + 1];
};
