#include "install/folder_security.h"

namespace kest {
namespace {

constexpr uint32_t kAllAccess = 0x001F01FF;
constexpr uint32_t kReadAndRun = 0x001200A9;
constexpr uint8_t kInheritFlags = 0x01 | 0x02;  // object and container inherit
constexpr uint16_t kSelfRelative = 0x8000;
constexpr uint16_t kDaclPresent = 0x0004;
constexpr uint16_t kDaclProtected = 0x1000;

class Writer {
 public:
  explicit Writer(uint8_t* out) : out_(out) {}
  void U8(uint8_t v) { out_[at_++] = v; }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  // An access-allowed ACE for S-1-5-<sub_authorities...>.
  void Ace(uint32_t mask, uint32_t first, uint32_t second, int count) {
    U8(0);  // ACCESS_ALLOWED_ACE_TYPE
    U8(kInheritFlags);
    U16(static_cast<uint16_t>(8 + 8 + 4 * count));
    U32(mask);
    U8(1);  // SID revision
    U8(static_cast<uint8_t>(count));
    for (int i = 0; i < 5; ++i) U8(0);
    U8(5);  // SECURITY_NT_AUTHORITY
    U32(first);
    if (count == 2) U32(second);
  }

 private:
  uint8_t* out_;
  size_t at_ = 0;
};

}  // namespace

FolderSecurity MakeFolderSecurity(bool protect) {
  FolderSecurity security = {};
  Writer w(security.bytes);
  w.U8(1);  // revision
  w.U8(0);
  w.U16(static_cast<uint16_t>(kSelfRelative | kDaclPresent | (protect ? kDaclProtected : 0)));
  w.U32(0);   // owner
  w.U32(0);   // group
  w.U32(0);   // SACL
  w.U32(20);  // DACL
  w.U8(2);    // ACL revision
  w.U8(0);
  w.U16(static_cast<uint16_t>(kFolderSecurityBytes - 20));
  w.U16(3);
  w.U16(0);
  w.Ace(kAllAccess, 32, 544, 2);  // Administrators
  w.Ace(kAllAccess, 18, 0, 1);    // SYSTEM
  w.Ace(kReadAndRun, 32, 545, 2);  // Users
  return security;
}

}  // namespace kest
