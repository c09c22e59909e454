// Values of the dependency manifest that the installer takes without a
// word but can never use, for kestpack build to refuse with their lines:
//   Platform  anything but the platform names "WIN_95", "WIN_NT_35" and
//             "WIN_NT_40" (exact: case counts) matches no system, so the
//             prerequisite would never run
//   Registry  without a key path or without ":value name": the earlier
//             installation's folder is read only from a named value of a
//             named key, so an upgrade would never find it
#pragma once
#include <string>
#include <vector>

namespace kest {

// One "line N: reason: text" per such key line of the dependency manifest
// text, in line order; the values are judged as the installer's own key
// reader cuts them.
std::vector<std::string> FindUnusableDependencyValues(const std::string& text);

}  // namespace kest
