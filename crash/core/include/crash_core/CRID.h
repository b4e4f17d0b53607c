#pragma once
// Event identifiers: random UUID text. Async-signal-safe (getrandom).

#ifdef __cplusplus
extern "C" {
#endif

// Writes "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (uppercase hex, 36 characters and a NUL)
// into a buffer of 37 bytes.
void crid_generate(char* destinationBuffer37Bytes);

#ifdef __cplusplus
}
#endif
