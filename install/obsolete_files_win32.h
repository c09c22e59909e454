// Files that earlier releases of the pack installed and this one removes
// before it copies its own: the "[ObsoleteFiles]" entries of the component
// manifest, each a path below the destination folder.
#pragma once

#include "install/installer_context_win32.h"
#include "manifest/string_list.h"

namespace kest {

// For each entry in list order: the path destination + "\" (unless the
// folder ends in one) + entry, lower-cased. A file that is not there is
// passed over without a log line or a message. A self-registering one is
// unregistered first (UnregisterLibrary, obsolete-file form, with its log
// lines); then the file is deleted. A failed deletion is reported as
// 0x8040F017 ("Continue" only, the path as "File:" detail) and cleared.
// Reported the same way and left alone, without a look at the disk: an
// entry that breaks the obsolete-line rules (base/entry_name_rules.h: it
// could name a file outside the destination) or whose path would not fit a
// path buffer (a cut path could name another file), with the entry as the
// detail; and, with the path as the detail, one in or below a folder of the
// destination that is a link (linked_folders_win32.h). No folder token
// applies: "_win\x" is a file below the destination's "_win" folder. Nothing is done without a list. Always true: obsolete files
// never stop an installation.
bool RemoveObsoleteFiles(const char* destination, const StringList* obsolete_files,
                         InstallerContext& context);

}  // namespace kest
