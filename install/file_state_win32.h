// Two questions the file copy asks about a disk file before it replaces it.
#pragma once

namespace kest {

// True only when path exists and another process holds it open so that
// exclusive access is refused (a sharing violation). A missing file, a
// denied access or any other failure of the exclusive open counts as not in
// use: the write that follows then meets that failure itself.
bool IsFileInUse(const char* path);

// True when the attributes of path can be read and include read-only.
bool IsReadOnly(const char* path);

}  // namespace kest
