// Putting a new copy of a file in place: at once, or at the next restart
// when the file is in use.
//
// A replacement is always written in full beside its target first, under a
// temporary name in the target's own folder, and checked; only then does it
// take the target's place, in one step, so that a failure on the way (a
// full disk, a corrupt entry, a crash) leaves the old file as it was.
//
//   family        at once (ReplaceFileNow)          at the next restart
//   Windows NT    move with replace-existing        pending move, replace-existing
//                                                   and delay-until-reboot (5)
//   Windows 95    rename the target aside, rename   "rename" section of WININIT.INI
//                 the replacement to its name,      in the Windows folder:
//                 delete the old copy
//                                                   <short target>=<short replacement>
#pragma once
#include <cstdint>

#include "base/text_limits.h"

namespace kest {

// Queues the move of replacement (an existing file) over target (an
// existing file) for the next restart, on the family the system reports.
// Returns true when it was queued, with the status reset. Otherwise reports
// exit-only, "File:" replacement, and returns false:
//   kCodeRestartCopyFailed  the version query, a short path or the
//                           pending move failed
//   kCodeSystemError        the platform is neither family
// On the Windows 95 family the profile writer's own result is not looked
// at: the short paths proved both files there, and the system gives no
// reason when the write fails.
bool QueueReplaceAtRestart(const char* replacement, const char* target);

// Asks the system to delete path when it next starts: a line "NUL=<short
// path>" added to the rename section of WININIT.INI on the Windows 95 family
// (earlier lines kept, deletions included), a pending move to nothing on
// Windows NT. Reports nothing; a deletion that cannot be queued is left.
void QueueDeletionAtRestart(const char* path);

// Moves replacement over target now. platform: kPlatformWindows95, which
// has no replacing move, first renames the target aside, to the name of
// aside (a temporary file of the caller's beside the target, deleted to
// free its name; null: one with the prefix "old" is made here), then moves
// the replacement in and deletes the old copy; any other value uses the
// replacing move and leaves aside alone. Returns 0, or the
// system's error number when the target could not be replaced (in use,
// access denied, the replacement held by another program); the target then
// still holds its old file and the replacement is still there. A target
// already gone is no failure.
uint32_t ReplaceFileNow(const char* replacement, const char* target, uint32_t platform,
                        const char* aside = nullptr);

// Makes a temporary file beside target (prefix "old") whose name the old
// file takes while the new one moves in on the Windows 95 family, and
// writes its path into aside. False when none can be made.
bool MakeAsideFile(const char* target, char (&aside)[kPathChars]);

// Deletes a temporary file of the installer's; one that another program
// holds open is queued for deletion at the next restart instead, so that
// none stays behind.
void RemoveTemporaryFile(const char* path);

}  // namespace kest
