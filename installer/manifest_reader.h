// The installer's two manifest readers. Called in this order right after the
// package is opened, while the reader's current entry is the first entry:
// each takes the current entry when its text carries the manifest's
// signature (manifest_text.h), and only then moves the reader on. An entry
// that is not taken stays current and is installed like any other file.
//
// Faults are reported through ReportError:
//   a key line that cannot be used  kCodeInvalidInstallFiles, exit-only,
//                                   detail: the line under the label
//                                   "Dependency:"; the line is skipped,
//                                   reading goes on
//   an allocation fails             kCodeOutOfMemory, retry allowed; Try
//                                   Again repeats it, any other choice
//                                   abandons the manifest: nothing is
//                                   stored, the reader is not moved, the
//                                   code stays pending
//   the move past a manifest fails  the reader's error word through
//   (not at the archive's end)      ReportReaderError, exit-only, no
//                                   detail; the manifest is kept, the code
//                                   stays pending and there is no current
//                                   entry
#pragma once

namespace kest {

struct InstallRecord;

// Needs record->reader. Stores the component list with the working copy and
// the obsolete-files list in the record; true when either was stored. A
// reported code stays pending.
bool ReadComponentManifest(InstallRecord* record);

// Needs record->reader. Stores the dependency list with the working copy and
// the has-dependencies flag; true when at least one dependency was stored.
// The first dependency's Default, when not empty, becomes the destination
// folder unless the command line gave one. Clears the pending code at the
// end of a successful read, unless the move past the manifest failed.
bool ReadDependencyManifest(InstallRecord* record);

}  // namespace kest
