// Windows NT rights check.
#pragma once

namespace kest {

// True when the process token lists the built-in Administrators group
// (S-1-5-32-544) among its groups. Any failure (no token, a group list that
// does not fit 1024 bytes) counts as not an administrator. The group
// attributes are not examined. Called only on Windows NT.
bool IsAdministrator();

}  // namespace kest
