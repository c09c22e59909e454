// Links in the way of the installation: folders that are reparse points
// (junctions, mount points, symbolic links) and send whatever is written
// or deleted in them elsewhere, where someone else chose.
//
// The installer refuses to work through one: the destination folder itself,
// and every folder from the folder an entry or obsolete file belongs in
// down to its file. The folders above the destination are the user's
// choice and may be mounted volumes; they are not looked at.
#pragma once
#include "base/text_limits.h"
#include "install/text_set.h"

namespace kest {

// True when path (a trailing backslash allowed) exists and its attributes
// carry the reparse-point mark (never on the Windows 95 family, which has
// none).
bool IsReparsePoint(const char* path);

// Looks at the folder of path and the levels - 1 folders above it, nearest
// first (path "c:\d\a\b\x.txt" with levels 3: c:\d\a\b, c:\d\a, c:\d).
// True, with the first linked folder (no trailing backslash) in found, when
// one is a reparse point; folders that do not exist are passed over.
// checked, when given, holds folders already found plain and takes those
// found now.
bool FindLinkedFolder(const char* path, int levels, char (&found)[kPathChars],
                      TextSet* checked = nullptr);

// The folder levels a relative path below its folder spans: its own folder
// and one for each separator in it ("a\b\x.txt": 3).
int FolderLevels(const char* relative_path);

// The copy pass's look before an entry touches the disk. Each refusal is
// reported exit-only and ends the pass:
//   kCodeInvalidFileName   the name, after its folder token, breaks the
//                          entry-name rules; detail the entry's name
//   kCodeFolderAccessDenied a folder from the entry's own folder (the
//                          destination for a plain name) down to the
//                          target is a link; detail that folder
class EntryGuard {
 public:
  bool CheckName(const char* name);
  bool CheckTarget(const char* name, const char* target);
  // Folders found plain are looked at again from here on: code the pass
  // does not control may have put a link in their place.
  void ForgetFolders() { plain_folders_.Clear(); }

 private:
  TextSet plain_folders_;
};

}  // namespace kest
