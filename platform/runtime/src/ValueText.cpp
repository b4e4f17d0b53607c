#include <platform_runtime/ValueText.h>

#include <new>

namespace {

// Inline text: the bytes, zeros, and the length in the last byte.
void makeInline(char (&raw)[ValueText::kInlineCapacity + 1], std::string_view text) {
    std::memset(raw, 0, sizeof raw);
    if (!text.empty()) std::memcpy(raw, text.data(), text.size());
    raw[ValueText::kInlineCapacity] = static_cast<char>(text.size());
}

// Text in a block: the header (`Header`, the text's block type), the bytes and a NUL, at
// `memory`; `raw` then holds the block's address and `heapMark` in its last byte.
template <class Header>
void makeBlock(char (&raw)[ValueText::kInlineCapacity + 1], void* memory, uint32_t offset, std::string_view text,
               char heapMark) {
    Header* b = new (memory) Header{{1}, offset, text.size()};
    char* bytes = reinterpret_cast<char*>(b + 1);
    std::memcpy(bytes, text.data(), text.size());
    bytes[text.size()] = '\0';
    std::memcpy(raw, &b, sizeof b);
    raw[ValueText::kInlineCapacity] = heapMark;
}

}  // namespace

ValueText::ValueText(std::string_view text) {
    if (text.size() <= kInlineCapacity) {
        makeInline(raw_, text);
        return;
    }
    makeBlock<Block>(raw_, ::operator new(sizeof(Block) + text.size() + 1), 0, text, kInHeap);
}

ValueText::ValueText(std::string_view text, ValueArena& arena) {
    if (text.size() <= kInlineCapacity) {
        makeInline(raw_, text);
        return;
    }
    uint32_t offset = 0;
    void* memory = arena.allocate(sizeof(Block) + text.size() + 1, offset);
    makeBlock<Block>(raw_, memory, offset, text, kInHeap);
}
