// The system's shared-library reference counts, kept for components that
// ask through the installer context object (AddSharedDllRef and
// ReleaseSharedDllRef). The installer counts nothing by itself.
//
//   HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDlls
//     value name: the file's path in the ANSI code page, exactly as the
//                 component gave it (no change of case, no short or
//                 canonical form)
//     value data: the count, REG_DWORD (4 bytes)
//
// The key is opened, never created. A value of another type or size counts
// as no count. A file with no count starts from 0 when it exists; a path
// with neither count nor file is refused, so no count is made up for a file
// that is not there. A count that reaches 0 is written as 0, not removed.
// Nothing is reported or logged: the component sees only the result.
#pragma once
#include <cstdint>

namespace kest {

// The longest path accepted, in UTF-16 units. Its ANSI form must also fit
// kPathChars bytes with the terminator, so 260 units, and fewer in a
// double-byte code page, are refused when the conversion does not fit.
constexpr uint32_t kSharedDllPathUnits = 260;

// Raises the count by one. True when the count was written. Refused: an
// unreadable, empty or over-long path, a key that cannot be opened, no
// count and no file (or a folder), a count already at its maximum, a
// failed write.
bool AddSharedDllRef(const wchar_t* path);

// Lowers the count by one. True when the count was written, or when there
// was nothing to lower (no count for an existing file, or a count of 0),
// in which case nothing is written. When delete_at_zero is set and the
// count has just reached 0, the file's deletion is queued for the next
// restart (WININIT.INI on the Windows 95 family, a pending move to nothing
// on Windows NT); that request's own result is not looked at.
bool ReleaseSharedDllRef(const wchar_t* path, bool delete_at_zero);

}  // namespace kest
