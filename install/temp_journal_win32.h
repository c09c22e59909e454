// TempJournal: the temporary files the copy pass has made, kept on disk,
// so that a run that dies on the way (killed, a power cut) leaves nothing
// the next run does not clear away.
//
// The file "install.jnl" in the destination folder holds one line per
// temporary file, appended before the file exists (CreateTemporary), so
// that no moment of the run leaves a file of the installer's unnamed:
//   T <path>   a temporary file that must not outlive the run
//   K <path>   the same file, since queued to replace its target at the
//              restart: it stays for the restart
// A pass deletes the journal when it ends, its temporary files by then
// moved, queued or deleted. A pass that finds one at its start deletes
// every T file without a K line (queueing the deletion for the restart
// when another program holds it), then the journal.
//
// The journal serves the installer's own files only: a line whose path
// does not end in ".tmp" is passed over. Writing it is best effort: a
// journal that cannot be written costs only the clearing after a crash.
#pragma once

#include <cstdint>

#include "archive/win32_file.h"
#include "base/text_limits.h"

namespace kest {

class TempJournal {
 public:
  // folder: where the journal lives (the destination folder).
  explicit TempJournal(const char* folder);
  // Deletes the journal.
  ~TempJournal();
  TempJournal(const TempJournal&) = delete;
  TempJournal& operator=(const TempJournal&) = delete;

  // Clears what a run that died left behind.
  void Recover();
  // Makes a new empty file in folder, named as the system names its
  // temporary files (the first three characters of prefix, hexadecimal
  // digits, ".tmp"), and notes it before it is made. Returns 0 with the
  // path in out, or the system's error number with out empty; a folder
  // longer than kPathChars - 14 characters fails with 206 (name too long).
  uint32_t CreateTemporary(const char* folder, const char* prefix, char (&out)[kPathChars]);
  void NoteTemporary(const char* path) { Append('T', path); }
  void NoteKept(const char* path) { Append('K', path); }

 private:
  void Append(char tag, const char* path);

  char path_[kPathChars] = {};  // empty: no journal
  Win32File file_;
};

}  // namespace kest
