#include "manifest/string_list.h"

#include <cstring>
#include <new>

namespace kest {

StringList::Node* StringList::MakeNode(const char* text) {
  size_t size = strlen(text) + 1;
  char* copy = new (std::nothrow) char[size];
  if (copy == nullptr) return nullptr;
  Node* node = new (std::nothrow) Node{copy, nullptr};
  if (node == nullptr) {
    delete[] copy;
    return nullptr;
  }
  memcpy(copy, text, size);
  return node;
}

bool StringList::Append(const char* text) {
  Node* node = MakeNode(text);
  if (node == nullptr) return false;
  if (tail_ != nullptr) {
    tail_->next = node;
  } else {
    head_ = node;
  }
  tail_ = node;
  ++count_;
  return true;
}

bool StringList::InsertFront(const char* text) {
  Node* node = MakeNode(text);
  if (node == nullptr) return false;
  node->next = head_;
  head_ = node;
  if (tail_ == nullptr) tail_ = node;
  ++count_;
  return true;
}

void StringList::Clear() {
  for (Node* node = head_; node != nullptr;) {
    Node* next = node->next;
    delete[] node->text;
    delete node;
    node = next;
  }
  head_ = tail_ = nullptr;
  count_ = 0;
}

}  // namespace kest
