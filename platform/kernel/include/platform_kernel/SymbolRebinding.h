#pragma once
// Rebinding of a named function in the global offset tables of the loaded images: every
// R_X86_64_JUMP_SLOT and R_X86_64_GLOB_DAT relocation naming the symbol gets the
// replacement's address. Pages of RELRO are made writable for the write and get their
// protection back (read from /proc/self/maps). Normal time only.

#include <cstdint>

namespace kernel {

// Called for each slot before it is rewritten: the image's load address (its lowest
// PT_LOAD) and the slot's current value.
using RebindVisitor = void (*)(uintptr_t imageBase, uintptr_t slot, uintptr_t currentValue, void* context);

// Rewrites the slots of every image loaded now that name `symbol` exactly; answers how
// many were rewritten. `visit` (optional) sees each slot first.
int rebindSymbolInLoadedImages(const char* symbol, void* replacement, RebindVisitor visit, void* context);

// The same for one image, given by its dl_iterate_phdr load bias.
int rebindSymbolInImage(uintptr_t bias, const char* symbol, void* replacement, RebindVisitor visit, void* context);

// Whether the address lies in a PT_LOAD of the image with that load bias (a slot not
// bound yet still points into its own image's PLT).
bool addressIsInImage(uintptr_t bias, uintptr_t address);

}  // namespace kernel
