// The security descriptor of a destination folder the installer creates on
// Windows NT. Below a drive root a new folder would inherit the root's
// permissions, under which on current Windows any signed-in user may change
// what is created there; a later upgrade would then load files anyone
// could have replaced. The folder instead gets its own list, not inherited
// from its parent, and passes it on to everything created in it:
//
//   who                         may                      ACE mask
//   Administrators S-1-5-32-544 everything               FILE_ALL_ACCESS 0x001F01FF
//   SYSTEM         S-1-5-18     everything               FILE_ALL_ACCESS 0x001F01FF
//   Users          S-1-5-32-545 read, list and run       FILE_GENERIC_READ |
//                                                         FILE_GENERIC_EXECUTE 0x001200A9
//
// each an access-allowed ACE with the object- and container-inherit flags.
//
// The descriptor is self-relative, built byte by byte (little-endian), so
// that creating the folder with it needs only KERNEL32:
//
//   offset size
//   0      20   descriptor: revision 1, 0, control, owner 0, group 0,
//               SACL 0, DACL 20 (no owner or group: the creator's)
//   20     8    ACL: revision 2, 0, size 76, 3 ACEs, 0
//   28     24   ACE: type 0, flags 3, size 24, mask, SID S-1-5-32-544
//   52     20   ACE: type 0, flags 3, size 20, mask, SID S-1-5-18
//   72     24   ACE: type 0, flags 3, size 24, mask, SID S-1-5-32-545
//
// control: self-relative 0x8000 | DACL present 0x0004, and DACL protected
// 0x1000 (not inherited from the parent) on Windows 2000 and later; the
// earlier versions have no inheritance from the parent to block and do
// not know the bit.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

constexpr size_t kFolderSecurityBytes = 96;

struct FolderSecurity {
  alignas(4) uint8_t bytes[kFolderSecurityBytes];
};

// protect: set the DACL-protected bit.
FolderSecurity MakeFolderSecurity(bool protect);

}  // namespace kest
