#include "manifest/version_text.h"

namespace kest {
namespace {

bool IsVersionSeparator(char c) { return c == '.' || c == ' ' || c == '\t'; }

// Sign and digits at the start of token, modulo 2^16. Unsigned arithmetic
// wraps, and 2^16 divides 2^32, so the low 16 bits stay exact for any
// number of digits.
uint16_t ReadLow16(const char* token) {
  bool negative = false;
  if (*token == '-' || *token == '+') negative = *token++ == '-';
  uint32_t value = 0;
  for (; *token >= '0' && *token <= '9'; ++token)
    value = value * 10u + static_cast<uint32_t>(*token - '0');
  if (negative) value = 0u - value;
  return static_cast<uint16_t>(value);
}

}  // namespace

uint32_t ParseVersionText(char* text, VersionParts* version) {
  *version = VersionParts{};
  uint32_t count = 0;
  char* p = text;
  while (count < 4) {
    while (IsVersionSeparator(*p)) ++p;
    if (*p == '\0') break;
    char* token = p;
    while (*p != '\0' && !IsVersionSeparator(*p)) ++p;
    if (*p != '\0') *p++ = '\0';
    version->part[count++] = ReadLow16(token);
  }
  return count;
}

int CompareVersionParts(const VersionParts& a, const VersionParts& b) {
  for (int i = 0; i < 4; ++i) {
    if (a.part[i] != b.part[i]) return a.part[i] < b.part[i] ? -1 : 1;
  }
  return 0;
}

}  // namespace kest
