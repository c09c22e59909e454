#include "install/text_set.h"

#include <cstring>
#include <new>

namespace kest {
namespace {

constexpr uint32_t kFirstCapacity = 64;

// FNV-1a over the text's bytes.
uint32_t HashText(const char* text) {
  uint32_t hash = 2166136261u;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    hash = (hash ^ *p) * 16777619u;
  }
  return hash;
}

}  // namespace

TextSet::~TextSet() {
  for (uint32_t k = 0; k < capacity_; ++k) delete[] slots_[k];
  delete[] slots_;
}

void TextSet::Clear() {
  for (uint32_t k = 0; k < capacity_; ++k) {
    delete[] slots_[k];
    slots_[k] = nullptr;
  }
  count_ = 0;
}

uint32_t TextSet::Find(const char* text, uint32_t hash) const {
  // Never full (at most half), so the probe ends at the text or a gap.
  uint32_t k = hash & (capacity_ - 1);
  while (slots_[k] != nullptr && strcmp(slots_[k], text) != 0) k = (k + 1) & (capacity_ - 1);
  return k;
}

bool TextSet::Contains(const char* text) const {
  return capacity_ != 0 && slots_[Find(text, HashText(text))] != nullptr;
}

bool TextSet::Grow() {
  const uint32_t capacity = capacity_ == 0 ? kFirstCapacity : capacity_ * 2;
  if (capacity < capacity_) return false;  // past 2^31 slots
  char** slots = new (std::nothrow) char*[capacity];
  if (slots == nullptr) return false;
  for (uint32_t k = 0; k < capacity; ++k) slots[k] = nullptr;
  char** old = slots_;
  const uint32_t old_capacity = capacity_;
  slots_ = slots;
  capacity_ = capacity;
  for (uint32_t k = 0; k < old_capacity; ++k) {
    if (old[k] != nullptr) slots_[Find(old[k], HashText(old[k]))] = old[k];
  }
  delete[] old;
  return true;
}

bool TextSet::Insert(const char* text) {
  if (Contains(text)) return true;
  if ((count_ + 1) * 2 > capacity_ && !Grow()) return false;
  const size_t size = strlen(text) + 1;
  char* copy = new (std::nothrow) char[size];
  if (copy == nullptr) return false;
  memcpy(copy, text, size);
  slots_[Find(copy, HashText(copy))] = copy;
  ++count_;
  return true;
}

}  // namespace kest
