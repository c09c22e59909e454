// HeldFiles: the self-registering libraries the file copy has written,
// each held open from its check until its registration is over, so that
// what the registration loads is exactly what the package held.
//
// A held file is open for reading with only read sharing: nobody, this
// process included, can write, rename or delete it, while it can still be
// read and loaded as a library (the loader asks for read access and shares
// reading). Every handle is closed at the latest when the object goes.
//
// It also knows the files the copy found to declare no self-registration,
// so that the registration pass does not read each of them a second time.
#pragma once
#include <windows.h>

#include "install/text_set.h"

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
  // True while a handle is kept under path.
  bool Holds(const char* path) const;

  // path was written and found to declare no self-registration. Forgotten
  // when memory runs out: the file is then checked again.
  void NotePlain(const char* path) { plain_.Insert(path); }
  // True when path was noted plain and no later write of it is held: the
  // registration pass passes over it. Should another program put a library
  // in its place meanwhile, that one is not loaded either.
  bool IsPlain(const char* path) const { return plain_.Contains(path) && !Holds(path); }

 private:
  struct Node {
    char* path;
    HANDLE file;
    Node* next;
  };
  Node* head_ = nullptr;
  TextSet plain_;
};

}  // namespace kest
