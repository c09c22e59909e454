// Comparison of manifest texts where letters A-Z and a-z are equal and
// every other byte (code-page letters included) compares exactly.
#pragma once

namespace kest {

inline char FoldAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when text begins with prefix. Reads text only as far as it matches,
// and never past a NUL of text that prefix does not have.
inline bool BeginsWithIgnoringCase(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++prefix, ++text) {
    if (FoldAsciiLetter(*text) != FoldAsciiLetter(*prefix)) return false;
  }
  return true;
}

}  // namespace kest
