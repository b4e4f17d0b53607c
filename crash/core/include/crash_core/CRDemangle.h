#pragma once
// The C wrapper of the Swift symbol demangler. Normal time only (it allocates).

#ifdef __cplusplus
extern "C" {
#endif

// A new C string (free it) with the readable name, or NULL when the name is not a Swift
// symbol or does not demangle.
char* crdm_demangleSwift(const char* mangledName);

#ifdef __cplusplus
}
#endif
