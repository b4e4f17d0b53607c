#include "NameParser.h"

#include <cstring>

namespace ZUDDemangle {

void SubstitutionList::push_back(NodePointer node) {
  if (size_ == capacity_) {
    size_t capacity = capacity_ == 0 ? 8 : capacity_ * 2;
    if (!items_ || !arena_.tryExtend(items_, capacity_ * sizeof(NodePointer), capacity * sizeof(NodePointer))) {
      auto* grown = static_cast<NodePointer*>(arena_.allocate(capacity * sizeof(NodePointer)));
      if (size_ != 0) std::memcpy(grown, items_, size_ * sizeof(NodePointer));
      items_ = grown;
    }
    capacity_ = capacity;
  }
  items_[size_++] = node;
}

}  // namespace ZUDDemangle
