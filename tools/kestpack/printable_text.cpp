#include "tools/kestpack/printable_text.h"

#include <cstdint>

namespace kest {
namespace {

// The length of the valid UTF-8 sequence of two or more bytes at s[0..size)
// with its code point in *code, or 0 when there is none (a stray
// continuation byte, a cut sequence, an overlong form, a surrogate, a
// value above U+10FFFF).
size_t Utf8Sequence(const unsigned char* s, size_t size, uint32_t* code) {
  size_t length = s[0] >= 0xF0 ? 4 : s[0] >= 0xE0 ? 3 : s[0] >= 0xC0 ? 2 : 0;
  if (length == 0 || s[0] > 0xF4 || length > size) return 0;
  uint32_t c = s[0] & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    c = c << 6 | (s[i] & 0x3F);
  }
  static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  *code = c;
  return length;
}

bool Invisible(uint32_t c) {
  return (c >= 0x80 && c <= 0x9F) || c == 0x061C || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2069) || c == 0xFEFF;
}

void Escape(unsigned char byte, std::string* out) {
  static const char kHex[] = "0123456789ABCDEF";
  *out += "\\x";
  *out += kHex[byte >> 4];
  *out += kHex[byte & 15];
}

}  // namespace

std::string Printable(const std::string& text) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  std::string out;
  out.reserve(size);
  for (size_t i = 0; i < size;) {
    if (s[i] >= 0x20 && s[i] < 0x7F) {
      out += char(s[i++]);
      continue;
    }
    uint32_t code = 0;
    size_t length = s[i] >= 0x80 ? Utf8Sequence(s + i, size - i, &code) : 0;
    if (length == 0) {
      Escape(s[i++], &out);
    } else if (Invisible(code)) {
      for (size_t end = i + length; i < end; ++i) Escape(s[i], &out);
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

}  // namespace kest
