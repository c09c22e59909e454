#include "install/version_key_scan.h"

#include <cstring>

namespace kest {
namespace {

char FoldAscii(unsigned c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); }

bool NarrowMatches(uint8_t byte, char letter) {
  if (byte >= 0x80) return letter == 'i' || letter == 's';
  return FoldAscii(byte) == letter;
}

bool WideMatches(unsigned unit, char letter) {
  if (unit < 0x80) return FoldAscii(unit) == letter;
  if (letter == 'i') return unit == 0x130 || unit == 0x131;
  if (letter == 's') return unit == 0x17F;
  return false;
}

// The first position from p below end whose byte is first_letter in either
// case (letters other than i and s, which have no stand-ins), or end.
// Eight bytes at a time: a word whose bytes, with the case bit set, equal
// the letter nowhere is passed over whole.
size_t NextCandidate(const uint8_t* bytes, size_t p, size_t end, char first_letter) {
  const uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  const uint64_t pattern = ones * static_cast<uint8_t>(first_letter);
  for (; p + 8 <= end; p += 8) {
    uint64_t word;
    memcpy(&word, bytes + p, 8);
    const uint64_t x = (word | (ones * 0x20)) ^ pattern;  // a zero byte where it may match
    if (((x - ones) & ~x & highs) != 0) break;
  }
  for (; p < end; ++p) {
    if (FoldAscii(bytes[p]) == first_letter) return p;
  }
  return end;
}

}  // namespace

VersionKeyScan::VersionKeyScan(const char* name) : name_(name), length_(strlen(name)) {
  if (length_ > kMaxNameChars) length_ = kMaxNameChars;
}

void VersionKeyScan::Scan(const uint8_t* bytes, size_t size, size_t starts) {
  // Both forms begin with the first letter's byte (UTF-16 little-endian
  // puts an ASCII letter's byte first) unless a stand-in can take its place.
  const char first = FoldAscii(static_cast<unsigned char>(name_[0]));
  const bool skip = first >= 'a' && first <= 'z' && first != 'i' && first != 's';
  for (size_t p = 0; p < starts && !found_; ++p) {
    if (skip && (p = NextCandidate(bytes, p, starts, first)) == starts) break;
    bool narrow = p + length_ <= size;
    bool wide = p + 2 * length_ <= size;
    for (size_t j = 0; j < length_ && (narrow || wide); ++j) {
      const char letter = FoldAscii(static_cast<unsigned char>(name_[j]));
      if (narrow) narrow = NarrowMatches(bytes[p + j], letter);
      if (wide) wide = WideMatches(bytes[p + 2 * j] | unsigned(bytes[p + 2 * j + 1]) << 8, letter);
    }
    found_ = narrow || wide;
  }
}

void VersionKeyScan::Feed(const uint8_t* data, size_t size) {
  for (size_t k = 0; seen_ + k < sizeof(head_) && k < size; ++k) head_[seen_ + k] = data[k];
  seen_ += size;
  if (seen_ >= sizeof(head_) && (memcmp(head_, "SZDD", 4) == 0 || memcmp(head_, "KWAJ", 4) == 0)) {
    found_ = true;
  }
  if (found_ || size == 0 || length_ == 0) return;

  // A name that starts in the carried bytes ends in this piece's first
  // span - 1 bytes at the latest.
  const size_t span = 2 * length_;
  uint8_t joint[4 * kMaxNameChars];
  const size_t taken = size < span - 1 ? size : span - 1;
  memcpy(joint, carry_, carried_);
  memcpy(joint + carried_, data, taken);
  Scan(joint, carried_ + taken, carried_);
  Scan(data, size, size);

  // Keep the last span - 1 bytes of everything fed.
  if (size >= span - 1) {
    memcpy(carry_, data + size - (span - 1), span - 1);
    carried_ = span - 1;
  } else {
    const size_t keep = carried_ + size > span - 1 ? span - 1 - size : carried_;
    memmove(carry_, carry_ + carried_ - keep, keep);
    memcpy(carry_ + keep, data, size);
    carried_ = keep + size;
  }
}

}  // namespace kest
