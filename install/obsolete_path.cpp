#include "install/obsolete_path.h"

#include <cstring>

#include "base/ansi_chars.h"

namespace kest {

bool MakeObsoletePath(const char* folder, const char* entry, char (&path)[kPathChars]) {
  size_t folder_chars = strlen(folder);
  const bool separator =
      folder_chars == 0 || *PrevAnsiChar(folder, folder + folder_chars) != '\\';
  size_t entry_chars = strlen(entry);
  if (folder_chars + (separator ? 1 : 0) + entry_chars >= kPathChars) return false;
  memcpy(path, folder, folder_chars);
  if (separator) path[folder_chars++] = '\\';
  memcpy(path + folder_chars, entry, entry_chars + 1);
  LowerAnsiText(path);
  return true;
}

}  // namespace kest
