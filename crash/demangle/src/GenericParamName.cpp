#include "NameParser.h"

namespace ZUDDemangle {

std::string genericParamName(uint64_t index, uint64_t depth) {
  std::string name;
  for (;;) {
    name.push_back(static_cast<char>('A' + index % 26));
    if (index <= 25) break;
    index /= 26;
  }
  if (depth != 0) name += std::to_string(depth);
  return name;
}

}  // namespace ZUDDemangle
