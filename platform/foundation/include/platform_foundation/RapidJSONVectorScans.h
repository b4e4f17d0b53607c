#pragma once
// Turns on RapidJSON's vector scanning of whitespace and unescaped string runs (for
// NUL-terminated input read without the reader's own encoding check), for the instruction set
// the build targets. Include it before any RapidJSON header, in every file that parses with it,
// so that all of them instantiate the same reader.

#if defined(__SSE4_2__)
#define RAPIDJSON_SSE42
#elif defined(__SSE2__)
#define RAPIDJSON_SSE2
#elif defined(__ARM_NEON)
#define RAPIDJSON_NEON
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
