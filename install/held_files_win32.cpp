#include "install/held_files_win32.h"

#include <cstring>
#include <new>

namespace kest {

HeldFiles::~HeldFiles() {
  while (head_ != nullptr) {
    Node* node = head_;
    head_ = node->next;
    CloseHandle(node->file);
    delete[] node->path;
    delete node;
  }
}

bool HeldFiles::Add(const char* path, HANDLE file) {
  const size_t size = strlen(path) + 1;
  char* copy = new (std::nothrow) char[size];
  Node* node = copy != nullptr ? new (std::nothrow) Node{copy, file, head_} : nullptr;
  if (node == nullptr) {
    delete[] copy;
    CloseHandle(file);
    return false;
  }
  memcpy(copy, path, size);
  head_ = node;
  return true;
}

bool HeldFiles::Holds(const char* path) const {
  for (const Node* node = head_; node != nullptr; node = node->next) {
    if (strcmp(node->path, path) == 0) return true;
  }
  return false;
}

void HeldFiles::Release(const char* path) {
  for (Node** link = &head_; *link != nullptr;) {
    Node* node = *link;
    if (strcmp(node->path, path) != 0) {
      link = &node->next;
      continue;
    }
    *link = node->next;
    CloseHandle(node->file);
    delete[] node->path;
    delete node;
  }
}

}  // namespace kest
