#include "bench/copy_tree_win32.h"

#include <windows.h>

namespace kest {
namespace bench {

bool CopyTree(const std::string& from, const std::string& to) {
  if (!CreateDirectoryA(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((from + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string source = from + "\\" + name, target = to + "\\" + name;
    ok = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY
             ? CopyTree(source, target)
             : CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
  } while (ok && FindNextFileA(find, &found));
  FindClose(find);
  return ok;
}

}  // namespace bench
}  // namespace kest
