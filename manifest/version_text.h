// Version texts such as "4.0.1" or "4 10": up to four numbers separated by
// '.' and blanks, read into four unsigned 16-bit parts.
#pragma once
#include <cstdint>

namespace kest {

// major, minor, build, revision.
struct VersionParts {
  uint16_t part[4];
};

// Reads text into *version and returns how many parts the text gave (0 to
// 4). Runs of '.', ' ' and '\t' separate the parts; each part is read as a
// signed decimal number from its leading sign and digits (anything else
// reads as 0) and keeps its low 16 bits, so "-1" is 65535 and "70000" is
// 4464. Missing parts are 0; a fifth and later parts are not read.
// The text is cut in place: the separator that ends each part read becomes
// a NUL.
uint32_t ParseVersionText(char* text, VersionParts* version);

// Compares part by part, the first unequal part deciding: < 0, 0 or > 0.
int CompareVersionParts(const VersionParts& a, const VersionParts& b);

}  // namespace kest
