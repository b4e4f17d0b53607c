// Text cursor over the unread rest of a mangled name; readers consume from the front only.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace ZUDDemangle {

class StringRef {
public:
  StringRef() = default;
  StringRef(const char* data, size_t length) : data_(data), length_(length) {}

  bool isEmpty() const { return length_ == 0; }
  size_t size() const { return length_; }
  const char* data() const { return data_; }
  std::string_view view() const { return {data_, length_}; }

  char peekChar() const { return *data_; }
  char takeChar() {
    char c = *data_;
    ++data_;
    --length_;
    return c;
  }
  void skip(size_t n) {
    if (n > length_) n = length_;
    data_ += n;
    length_ -= n;
  }
  bool consumePrefix(std::string_view prefix) {
    if (prefix.size() > length_ || std::memcmp(data_, prefix.data(), prefix.size()) != 0)
      return false;
    skip(prefix.size());
    return true;
  }
  bool consumeChar(char c) { return consumePrefix(std::string_view(&c, 1)); }
  // True when the text is not empty and begins with c.
  bool nextIs(char c) const { return length_ != 0 && *data_ == c; }

private:
  const char* data_ = "";
  size_t length_ = 0;
};

}  // namespace ZUDDemangle
