// HeldFiles: the self-registering libraries the file copy has written,
// each held open from its check until its registration is over, so that
// what the registration loads is exactly what the package held.
//
// A held file is open for reading with only read sharing: nobody, this
// process included, can write, rename or delete it, while it can still be
// read and loaded as a library (the loader asks for read access and shares
// reading). Every handle is closed at the latest when the object goes.
#pragma once
#include <windows.h>

namespace kest {

class HeldFiles {
 public:
  HeldFiles() = default;
  ~HeldFiles();
  HeldFiles(const HeldFiles&) = delete;
  HeldFiles& operator=(const HeldFiles&) = delete;

  // Keeps file (an open handle, now owned) under path. False when memory
  // runs out; the handle is then closed.
  bool Add(const char* path, HANDLE file);
  // Closes the handles kept under path.
  void Release(const char* path);

 private:
  struct Node {
    char* path;
    HANDLE file;
    Node* next;
  };
  Node* head_ = nullptr;
};

}  // namespace kest
