// The first step of a run: on Windows NT only an administrator may install.
#pragma once

#include "base/system_version.h"

namespace kest {

// Decides and reports the rights check. `version` is what the system's
// extended version query gave, or null when the query failed (the system
// is then taken as not Windows NT). Only on Windows NT (platform 2) is
// `is_administrator` asked; when it says no, the refusal 0x8040F015 is
// reported (exit-only, no detail, shown even before the command line is
// read) and the result is false: the run ends with that code. True lets
// the run go on.
bool CheckRights(const SystemVersion* version, bool (*is_administrator)());

}  // namespace kest
