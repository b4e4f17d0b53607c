#include <crash_core/CRDemangle.h>

#include <crash_demangle/Demangle.h>

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" char* crdm_demangleSwift(const char* mangledName) {
    if (!mangledName) return nullptr;
    std::size_t length = std::strlen(mangledName);
    auto root = ZUDDemangle::demangleSymbolAsNode(mangledName, length);
    if (!root) return nullptr;
    std::string text = ZUDDemangle::nodeToString(root.root(), ZUDDemangle::PrinterOptions::simplified());
    if (text.empty()) return nullptr;
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}
