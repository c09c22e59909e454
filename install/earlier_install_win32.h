// Where an earlier installation of the pack went: the first dependency's
// Registry value, "key path:value name" under HKEY_LOCAL_MACHINE, whose data
// is that installation's folder.
#pragma once

#include "base/text_limits.h"
#include "manifest/manifest_records.h"

namespace kest {

// Reads the value named by first's registry key path and value name into
// destination and returns true. The value's type is not looked at; its data
// must be a text that fits destination with its terminator (data without a
// terminator gets one). False, with destination untouched, when there is no
// record, the key path or value name is absent or empty, the key cannot be
// opened for reading, the value is missing, or its text is empty or too
// long: the folder is then not known, and nothing is cut.
bool ReadEarlierInstallFolder(const DependencyRecord* first, char (&destination)[kPathChars]);

}  // namespace kest
