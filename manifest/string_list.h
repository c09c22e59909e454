// StringList: a singly linked list of texts it owns, in insertion order.
// Holds the obsolete-files, installed-files and created-folders lists.
//
// Every node owns a heap copy of its text. When a copy or a node cannot be
// allocated nothing is added and the list is unchanged.
#pragma once
#include <cstdint>

namespace kest {

class StringList {
 public:
  struct Node {
    char* text;  // owned, NUL-terminated
    Node* next;  // nullptr after the tail
  };

  StringList() = default;
  ~StringList() { Clear(); }
  StringList(const StringList&) = delete;
  StringList& operator=(const StringList&) = delete;

  // Links a copy of text after the tail. False when out of memory.
  bool Append(const char* text);
  // Links a copy of text before the head. False when out of memory.
  bool InsertFront(const char* text);
  // Frees every text and node.
  void Clear();

  uint32_t count() const { return count_; }
  const Node* head() const { return head_; }
  const Node* tail() const { return tail_; }

 private:
  static Node* MakeNode(const char* text);

  uint32_t count_ = 0;
  Node* head_ = nullptr;
  Node* tail_ = nullptr;
};

}  // namespace kest
