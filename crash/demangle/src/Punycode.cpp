#include <crash_demangle/Punycode.h>

namespace ZUDDemangle {

namespace {

constexpr uint32_t kBase = 36;
constexpr uint32_t kTMin = 1;
constexpr uint32_t kTMax = 26;
constexpr uint32_t kSkew = 38;
constexpr uint32_t kDamp = 700;
constexpr uint32_t kInitialBias = 72;
constexpr uint32_t kInitialN = 128;
constexpr char kDelimiter = '_';

// Digit value of a byte, or -1 for a byte that is not a digit.
int digitValue(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 'a';
  if (c >= 'A' && c <= 'J') return c - 'A' + 26;
  return -1;
}

uint32_t adapt(uint32_t delta, uint32_t numPoints, bool firstTime) {
  delta = firstTime ? delta / kDamp : delta / 2;
  delta += delta / numPoints;
  uint32_t k = 0;
  while (delta > ((kBase - kTMin) * kTMax) / 2) {
    delta /= kBase - kTMin;
    k += kBase;
  }
  return k + (((kBase - kTMin + 1) * delta) / (delta + kSkew));
}

}  // namespace

void decodePunycode(const char* bytes, size_t length, std::vector<uint32_t>& codePoints) {
  codePoints.clear();
  codePoints.reserve(length);

  size_t lastDelimiter = length;
  for (size_t i = length; i > 0; --i) {
    if (bytes[i - 1] == kDelimiter) {
      lastDelimiter = i - 1;
      break;
    }
  }
  size_t pos = 0;
  if (lastDelimiter != length) {
    for (size_t i = 0; i < lastDelimiter; ++i) {
      unsigned char c = static_cast<unsigned char>(bytes[i]);
      if (c >= 0x80) return;
      codePoints.push_back(c);
    }
    pos = lastDelimiter + 1;
  }

  uint32_t n = kInitialN;
  uint32_t i = 0;
  uint32_t bias = kInitialBias;
  while (pos < length) {
    uint32_t oldi = i;
    uint32_t w = 1;
    for (uint32_t k = kBase;; k += kBase) {
      int digit = digitValue(static_cast<unsigned char>(bytes[pos++]));
      if (digit < 0) return;
      i += static_cast<uint32_t>(digit) * w;
      uint32_t t = k <= bias ? kTMin : (k >= bias + kTMax ? kTMax : k - bias);
      if (static_cast<uint32_t>(digit) < t) break;
      if (pos >= length) return;
      w *= kBase - t;
    }
    uint32_t count = static_cast<uint32_t>(codePoints.size()) + 1;
    bias = adapt(i - oldi, count, oldi == 0);
    n += i / count;
    i %= count;
    if (n < kInitialN) return;
    codePoints.insert(codePoints.begin() + i, n);
    ++i;
  }
}

bool decodePunycodeUTF8(const char* bytes, size_t length, std::string& output) {
  std::vector<uint32_t> codePoints;
  decodePunycode(bytes, length, codePoints);
  if (codePoints.empty()) return true;
  for (uint32_t cp : codePoints) {
    // Surrogates and values beyond Unicode would make the text invalid UTF-8.
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
      output.clear();
      return false;
    }
    if (cp < 0x80) {
      output.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      output.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      output.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      output.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      output.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      output.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      output.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      output.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      output.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      output.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return true;
}

}  // namespace ZUDDemangle
