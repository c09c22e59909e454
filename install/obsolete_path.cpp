#include "install/obsolete_path.h"

#include "base/ansi_chars.h"
#include "base/path_text.h"

namespace kest {

bool MakeObsoletePath(const char* folder, const char* entry, char (&path)[kPathChars]) {
  if (!JoinPath(path, sizeof(path), folder, entry)) return false;
  LowerAnsiText(path);
  return true;
}

}  // namespace kest
