#include <platform_runtime/ValueText.h>

#include <new>

namespace {

// Inline text: the bytes, zeros, and the length in the last byte.
void makeInline(char (&raw)[ValueText::kInlineCapacity + 1], std::string_view text) {
    std::memset(raw, 0, sizeof raw);
    if (!text.empty()) std::memcpy(raw, text.data(), text.size());
    raw[ValueText::kInlineCapacity] = static_cast<char>(text.size());
}

}  // namespace

ValueText::ValueText(std::string_view text) {
    if (text.size() <= kInlineCapacity) {
        makeInline(raw_, text);
        return;
    }
    // One block: the header, the bytes and a NUL.
    void* memory = ::operator new(sizeof(Block) + text.size() + 1);
    Block* b = new (memory) Block{{1}, 0, text.size()};
    char* bytes = reinterpret_cast<char*>(b + 1);
    std::memcpy(bytes, text.data(), text.size());
    bytes[text.size()] = '\0';
    std::memcpy(raw_, &b, sizeof b);
    raw_[kInlineCapacity] = kInHeap;
}

ValueText::ValueText(std::string_view text, ValueArena& arena) {
    if (text.size() <= kInlineCapacity) {
        makeInline(raw_, text);
        return;
    }
    uint32_t offset = 0;
    void* memory = arena.allocate(sizeof(Block) + text.size() + 1, offset);
    Block* b = new (memory) Block{{1}, offset, text.size()};
    char* bytes = reinterpret_cast<char*>(b + 1);
    std::memcpy(bytes, text.data(), text.size());
    bytes[text.size()] = '\0';
    std::memcpy(raw_, &b, sizeof b);
    raw_[kInlineCapacity] = kInHeap;
}
