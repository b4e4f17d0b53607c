#include <platform_runtime/ValueText.h>

#include <new>

ValueText::ValueText(std::string_view text) {
    if (text.size() <= kInlineCapacity) {
        std::memset(raw_, 0, sizeof raw_);
        if (!text.empty()) std::memcpy(raw_, text.data(), text.size());
        raw_[kInlineCapacity] = static_cast<char>(text.size());
        return;
    }
    // One block: the header, the bytes and a NUL.
    void* memory = ::operator new(sizeof(Block) + text.size() + 1);
    Block* b = new (memory) Block{{1}, text.size()};
    char* bytes = reinterpret_cast<char*>(b + 1);
    std::memcpy(bytes, text.data(), text.size());
    bytes[text.size()] = '\0';
    std::memcpy(raw_, &b, sizeof b);
    raw_[kInlineCapacity] = kInHeap;
}
