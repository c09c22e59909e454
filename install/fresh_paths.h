// FreshPaths: what the copy pass knows without asking the disk. A folder
// the pass created itself held nothing when it was made, so whatever is
// in it now, the pass put there; a target below such a folder that the
// pass has not made is missing, and the pass can spare the look at it
// (under Wine a failed look scans the whole folder, and it comes once per
// entry).
//
// Only plain absolute paths take part: a drive, then names of printable
// ASCII without wildcards, "~" (a short name may stand for a long one),
// stream colons, trailing dots or spaces (the system drops them) or
// device names. Any other path the pass makes, a failed allocation, or
// the pass running code it does not control (Distrust) ends the knowing:
// every answer is then "ask the disk".
#pragma once

#include "install/text_set.h"

namespace kest {

class FreshPaths {
 public:
  // A folder the pass created (a trailing backslash is allowed).
  void NoteFolder(const char* folder);
  // A file the pass wrote.
  void NoteFile(const char* path);
  // From now on nothing is known.
  void Distrust() { trusted_ = false; }

  // True only when path lies below a folder the pass created and the pass
  // made nothing at path itself: nothing can be there.
  bool KnownMissing(const char* path) const;

 private:
  void Note(const char* path, bool folder);

  TextSet made_;  // plain paths, without a trailing backslash
  bool trusted_ = true;
};

}  // namespace kest
