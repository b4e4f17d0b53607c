// libFuzzer entry: any byte string is demangled under both option sets; an answer that is not
// the input must be well-formed UTF-8 within the output bound.
#include <crash_demangle/Demangle.h>
#include <crash_demangle/Limits.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "../src/NameParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ZUDDemangle;
  const char* text = reinterpret_cast<const char*>(data);
  for (const PrinterOptions& options : {PrinterOptions::simplified(), PrinterOptions::full()}) {
    std::string answer = demangleSymbolAsString(text, size, options);
    if (answer == std::string(text, size)) continue;
    if (!isValidUTF8(answer) || answer.size() > Limits::kMaxOutputLength) std::abort();
  }
  return 0;
}
