#include "install/fresh_paths.h"

#include <cstring>

#include "base/text_limits.h"

namespace kest {
namespace {

bool IsDeviceName(const char* name, size_t length) {
  while (length > 0 && name[length - 1] == ' ') --length;
  static const char* const kDevices[] = {"con", "prn", "aux", "nul", "clock$", "conin$", "conout$"};
  for (const char* device : kDevices) {
    if (strlen(device) == length && memcmp(name, device, length) == 0) return true;
  }
  return length == 4 && (memcmp(name, "com", 3) == 0 || memcmp(name, "lpt", 3) == 0) &&
         name[3] >= '0' && name[3] <= '9';
}

// One name of a plain path: name[0, length).
bool IsPlainName(const char* name, size_t length) {
  if (length == 0 || name[length - 1] == '.' || name[length - 1] == ' ') return false;
  size_t base_length = length;
  for (size_t k = 0; k < length; ++k) {
    const char c = name[k];
    if (c < ' ' || c > '~' || strchr("/:*?\"<>|~", c) != nullptr) return false;
    if (c == '.' && base_length == length) base_length = k;
  }
  return !IsDeviceName(name, base_length);
}

// "x:\name\name...", every name plain; path is already lower case.
bool IsPlainPath(const char* path) {
  if (path[0] < 'a' || path[0] > 'z' || path[1] != ':' || path[2] != '\\') return false;
  const char* name = path + 3;
  for (;;) {
    const char* end = strchr(name, '\\');
    const size_t length = end != nullptr ? static_cast<size_t>(end - name) : strlen(name);
    if (!IsPlainName(name, length)) return false;
    if (end == nullptr) return true;
    name = end + 1;
  }
}

// Copies path into out with ASCII letters lowered; false when it does not
// fit.
bool CopyLowered(const char* path, char (&out)[kPathChars]) {
  if (!CopyText(out, sizeof(out), path)) return false;
  for (char* p = out; *p != '\0'; ++p) {
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
  }
  return true;
}

bool EndsWith(const char* text, size_t length, const char* tail) {
  const size_t tail_length = strlen(tail);
  return length >= tail_length && memcmp(text + length - tail_length, tail, tail_length) == 0;
}

}  // namespace

void FreshPaths::NoteFolder(const char* folder) { Note(folder, true); }

void FreshPaths::NoteFile(const char* path) { Note(path, false); }

void FreshPaths::Note(const char* path, bool folder) {
  if (!trusted_) return;
  char plain[kPathChars];
  if (!CopyLowered(path, plain)) {
    trusted_ = false;
    return;
  }
  size_t length = strlen(plain);
  if (folder && length > 0 && plain[length - 1] == '\\') plain[--length] = '\0';
  if (!IsPlainPath(plain) || !made_.Insert(plain)) trusted_ = false;
}

bool FreshPaths::KnownMissing(const char* path) const {
  if (!trusted_ || made_.count() == 0) return false;
  char plain[kPathChars];
  if (!CopyLowered(path, plain) || !IsPlainPath(plain)) return false;
  const size_t length = strlen(plain);
  // The folder test's temporary file should be gone, but a failed delete
  // would leave it.
  if (EndsWith(plain, length, ".tmp") || made_.Contains(plain)) return false;
  for (size_t k = length; k > 3; --k) {
    if (plain[k - 1] != '\\') continue;
    plain[k - 1] = '\0';
    if (made_.Contains(plain)) return true;
  }
  return false;
}

}  // namespace kest
