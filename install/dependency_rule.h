// Whether a dependency of the dependency manifest is present: each of its
// files (File1 .. File4) must have at least the version asked for it
// (Version1 .. Version4).
//
//   file text   version text   judged
//   absent      any            present (the pair asks for nothing)
//   given       absent         present
//   given       given          too old when the version asked for is
//                              greater than the file's; a missing file,
//                              one without version resource, or one whose
//                              path cannot be made counts as 0.0.0.0
//
// Paths are resolved like package entries (folder tokens included) with
// the destination folder as the base; without a destination folder no
// file is judged too old.
#pragma once

#include "install/replace_decision.h"
#include "install/target_path.h"
#include "manifest/manifest_records.h"

namespace kest {

// The rule for one pair. version is cut in place while it is read.
bool FileIsOlder(const char* file, char* version, const char* destination,
                 TargetResolver& resolver, DiskFileFacts& disk);

// The pairs of the dependency in order 1 to 4; true at the first pair found
// too old (the later ones are not looked at), whose index (0 to 3) goes to
// *older when given.
bool AnyRequiredFileOlder(DependencyRecord& dependency, const char* destination,
                          TargetResolver& resolver, DiskFileFacts& disk, int* older = nullptr);

}  // namespace kest
