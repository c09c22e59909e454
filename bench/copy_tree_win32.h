// The benchmarks' floor: a plain Win32 copy of a folder tree, CopyFileA of
// every file, each folder created on the way, nothing else.
#pragma once
#include <string>

namespace kest {
namespace bench {

// Copies everything below from into to (created when missing; files there
// are overwritten). False at the first folder that cannot be read or
// created or file that cannot be copied.
bool CopyTree(const std::string& from, const std::string& to);

}  // namespace bench
}  // namespace kest
