#include "base/path_text.h"

#include <cstring>

#include "base/ansi_chars.h"

namespace kest {
namespace {

// The character after p, stepped with KERNEL32 alone: the system libraries
// are loaded by their full paths through this module, before any other.
const char* Next(const char* p) { return p + (IsAnsiLeadByte(*p) && p[1] != '\0' ? 2 : 1); }

// The last backslash in text, or nullptr.
const char* FindLastSeparator(const char* text) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; p = Next(p)) {
    if (*p == '\\') last = p;
  }
  return last;
}

}  // namespace

bool EndsInSeparator(const char* text) {
  const char* last = FindLastSeparator(text);
  return last != nullptr && last[1] == '\0';
}

char* LastSeparator(char* path) { return const_cast<char*>(FindLastSeparator(path)); }

bool CutToFolderPart(char* path) {
  char* last = LastSeparator(path);
  if (last == nullptr) return false;
  last[1] = '\0';
  return true;
}

bool AppendPathName(char* out, size_t size, const char* name) {
  const size_t length = strlen(out);
  const size_t separator = EndsInSeparator(out) ? 0 : 1;
  const size_t name_length = strlen(name);
  if (length + separator + name_length >= size) return false;
  if (separator != 0) out[length] = '\\';
  memcpy(out + length + separator, name, name_length + 1);
  return true;
}

bool JoinPath(char* out, size_t size, const char* folder, const char* name) {
  const size_t folder_length = strlen(folder);
  const size_t separator = EndsInSeparator(folder) ? 0 : 1;
  const size_t name_length = strlen(name);
  if (folder_length + separator + name_length >= size) return false;
  memmove(out, folder, folder_length);
  if (separator != 0) out[folder_length] = '\\';
  memcpy(out + folder_length + separator, name, name_length + 1);
  return true;
}

}  // namespace kest
