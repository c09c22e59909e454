#include "install/temp_journal_win32.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "archive/win32_file_source.h"
#include "base/path_text.h"
#include "install/restart_replacement_win32.h"
#include "install/text_set.h"

namespace kest {
namespace {

constexpr char kJournalName[] = "install.jnl";
// More than the lines of any pack's run; a larger file is not the
// installer's and is left unread.
constexpr DWORD kLargestJournal = 4 * 1024 * 1024;

bool EndsInTmp(const char* path, size_t length) {
  return length > 4 && lstrcmpiA(path + length - 4, ".tmp") == 0;
}

// Calls visit(tag, path) for each line "<tag> <path>" of text whose path
// names a temporary file and fits a path buffer.
template <class Visit>
void ForEachLine(const char* text, Visit visit) {
  for (const char* line = text; *line != '\0';) {
    const char* end = line;
    while (*end != '\0' && *end != '\r' && *end != '\n') ++end;
    const size_t length = static_cast<size_t>(end - line);
    char path[kPathChars];
    if (length > 2 && line[1] == ' ' && length - 2 < sizeof(path)) {
      memcpy(path, line + 2, length - 2);
      path[length - 2] = '\0';
      if (EndsInTmp(path, length - 2)) visit(line[0], path);
    }
    line = end;
    while (*line == '\r' || *line == '\n') ++line;
  }
}

}  // namespace

TempJournal::TempJournal(const char* folder) {
  // A folder too long for the name leaves path_ empty: no journal.
  if (!JoinPath(path_, sizeof(path_), folder, kJournalName)) path_[0] = '\0';
}

TempJournal::~TempJournal() {
  file_.Close();
  if (path_[0] != '\0') DeleteFileA(path_);
}

uint32_t TempJournal::CreateTemporary(const char* folder, const char* prefix,
                                      char (&out)[kPathChars]) {
  out[0] = '\0';
  if (lstrlenA(folder) > static_cast<int>(kPathChars) - 14) return ERROR_FILENAME_EXCED_RANGE;
  // The system's own choice of a free name makes the file in the same
  // call, before it could be noted. So each candidate is only formed
  // there, seen to be free, noted, and then made; a name taken meanwhile
  // moves on to the next number, as the system's choice does.
  const UINT start = GetTickCount();
  for (UINT step = 0; step < 0x10000; ++step) {
    const UINT unique = (start + step) & 0xFFFF;
    if (unique == 0) continue;
    if (GetTempFileNameA(folder, prefix, unique, out) == 0) break;
    if (GetFileAttributesA(out) != INVALID_FILE_ATTRIBUTES) continue;
    const DWORD absent = GetLastError();
    if (absent != ERROR_FILE_NOT_FOUND) {
      out[0] = '\0';
      return absent;
    }
    NoteTemporary(out);
    const HANDLE file = CreateFileA(out, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return 0;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
        error != ERROR_SHARING_VIOLATION) {
      out[0] = '\0';
      return error;
    }
  }
  out[0] = '\0';
  const DWORD error = GetLastError();
  return error != 0 ? error : ERROR_FILE_EXISTS;
}

void TempJournal::Append(char tag, const char* path) {
  if (path_[0] == '\0') return;
  if (!file_.valid()) {
    file_ = Win32File(CreateFileA(path_, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_.valid()) return;
    SetFilePointer(file_.get(), 0, nullptr, FILE_END);
  }
  char line[kPathChars + 4];
  const size_t length = strlen(path);
  if (length + 4 > sizeof(line)) return;
  line[0] = tag;
  line[1] = ' ';
  memcpy(line + 2, path, length);
  line[length + 2] = '\r';
  line[length + 3] = '\n';
  DWORD written = 0;
  WriteFile(file_.get(), line, static_cast<DWORD>(length + 4), &written, nullptr);
}

void TempJournal::Recover() {
  if (path_[0] == '\0') return;
  Win32File file;
  if (OpenFileForReading(path_, FILE_FLAG_SEQUENTIAL_SCAN, &file) != 0) return;
  const DWORD size = GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE || size > kLargestJournal) return;
  std::unique_ptr<char[]> text(new (std::nothrow) char[size + 1]);
  if (!text) return;
  DWORD got = 0;
  if (!ReadFile(file.get(), text.get(), size, &got, nullptr)) return;
  file.Close();
  text[got] = '\0';

  TextSet kept;
  ForEachLine(text.get(), [&](char tag, const char* path) {
    if (tag == 'K') kept.Insert(path);
  });
  // A file whose K line could not be kept for want of memory is deleted:
  // its replacement at the restart is lost, never the user's file.
  ForEachLine(text.get(), [&](char tag, const char* path) {
    if (tag == 'T' && !kept.Contains(path)) RemoveTemporaryFile(path);
  });
  DeleteFileA(path_);
}

}  // namespace kest
