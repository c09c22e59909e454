// TextSet: a set of texts, compared byte for byte (no case folding, no
// code-page rules), found in constant time on average. The copy pass keeps
// the folders it has prepared in one: a pack of many folders would make a
// list scanned for every entry cost entries times folders comparisons.
//
// The set owns a copy of every text. Open addressing with linear probing in
// a table of a power-of-two size, at most half full. When memory runs out,
// Insert adds nothing and the set is unchanged.
#pragma once
#include <cstdint>

namespace kest {

class TextSet {
 public:
  TextSet() = default;
  ~TextSet();
  TextSet(const TextSet&) = delete;
  TextSet& operator=(const TextSet&) = delete;

  bool Contains(const char* text) const;
  // True when text is in the set afterwards; false when out of memory.
  bool Insert(const char* text);
  // Forgets every text (the table is kept).
  void Clear();
  uint32_t count() const { return count_; }

 private:
  // The slot holding text, or the empty slot where it would go.
  uint32_t Find(const char* text, uint32_t hash) const;
  bool Grow();

  char** slots_ = nullptr;  // owned texts; null for an empty slot
  uint32_t capacity_ = 0;   // 0 or a power of two
  uint32_t count_ = 0;
};

}  // namespace kest
