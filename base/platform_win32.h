// The one query of the running system's version.
#pragma once

#include "base/system_version.h"

namespace kest {

// The platform identifier and major version the system reports, into
// *version. False when the query itself fails (*version is then zero).
bool QuerySystemVersion(SystemVersion* version);

}  // namespace kest
