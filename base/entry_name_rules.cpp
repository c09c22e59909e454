#include "base/entry_name_rules.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>

namespace kest {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9, without regard to case, compared
// with the part up to its first '.' and without the blanks before it:
// Windows opens the device for "nul.txt" and "con .txt" too.
bool IsDeviceName(const char* part, size_t length) {
  size_t stem = 0;
  while (stem < length && part[stem] != '.') ++stem;
  while (stem > 0 && part[stem - 1] == ' ') --stem;
  char upper[5];
  if (stem < 3 || stem > 4) return false;
  for (size_t i = 0; i < stem; ++i) upper[i] = Upper(part[i]);
  upper[stem] = '\0';
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* device : kDevices) {
    if (strcmp(upper, device) == 0) return true;
  }
  return stem == 4 && (strncmp(upper, "COM", 3) == 0 || strncmp(upper, "LPT", 3) == 0) &&
         upper[3] >= '1' && upper[3] <= '9';
}

EntryNameFault CheckPart(const char* part, size_t length) {
  if (length == 0) return EntryNameFault::kEmptyPart;
  if ((length == 1 && part[0] == '.') || (length == 2 && part[0] == '.' && part[1] == '.')) {
    return EntryNameFault::kDotPart;
  }
  if (part[length - 1] == '.' || part[length - 1] == ' ') {
    return EntryNameFault::kTrailingDotOrBlank;
  }
  if (IsDeviceName(part, length)) return EntryNameFault::kDeviceName;
  return EntryNameFault::kNone;
}

// The rules on a path below a folder.
EntryNameFault FindPathFault(const char* name) {
  if (name[0] == '\0') return EntryNameFault::kEmpty;
  if (IsSeparator(name[0])) return EntryNameFault::kLeadingSeparator;
  for (const char* p = name; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == ':') return EntryNameFault::kColon;
    if (c < 0x20 || c == 0x7F || strchr("<>\"|?*", c) != nullptr) {
      return EntryNameFault::kForbiddenChar;
    }
  }
  const char* part = name;
  for (const char* p = name;; ++p) {
    if (*p != '\0' && !IsSeparator(*p)) continue;
    const EntryNameFault fault = CheckPart(part, static_cast<size_t>(p - part));
    if (fault != EntryNameFault::kNone) return fault;
    if (*p == '\0') return EntryNameFault::kNone;
    part = p + 1;
  }
}

}  // namespace

const char* SkipFolderToken(const char* name) {
  for (const char* token : {kSystemToken, kWindowsToken, kScribaToken}) {
    size_t i = 0;
    while (token[i] != '\0' && Upper(name[i]) == Upper(token[i])) ++i;
    if (token[i] != '\0') continue;
    return IsSeparator(name[i]) ? name + i + 1 : name + i;
  }
  return name;
}

EntryNameFault FindEntryNameFault(const char* name) { return FindPathFault(SkipFolderToken(name)); }

EntryNameFault FindObsoleteLineFault(const char* line) {
  const EntryNameFault fault = FindPathFault(line);
  if (fault != EntryNameFault::kNone) return fault;
  return strchr(line, '/') != nullptr ? EntryNameFault::kSlash : EntryNameFault::kNone;
}

const char* DescribeEntryNameFault(EntryNameFault fault) {
  switch (fault) {
    case EntryNameFault::kNone: return "";
    case EntryNameFault::kEmpty: return "empty name";
    case EntryNameFault::kLeadingSeparator: return "starts with a separator (an absolute path)";
    case EntryNameFault::kColon: return "contains ':' (a drive or stream name)";
    case EntryNameFault::kForbiddenChar:
      return "contains a character Windows does not allow in file names";
    case EntryNameFault::kEmptyPart: return "empty folder name (doubled or trailing separator)";
    case EntryNameFault::kDotPart: return "a '.' or '..' part would leave the folder";
    case EntryNameFault::kTrailingDotOrBlank:
      return "a part ends in a dot or a blank, which Windows drops";
    case EntryNameFault::kDeviceName: return "a part is a Windows device name";
    case EntryNameFault::kSlash: return "contains '/' (obsolete files are separated by '\\')";
  }
  return "";
}

}  // namespace kest
