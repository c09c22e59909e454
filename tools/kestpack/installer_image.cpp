#include "tools/kestpack/installer_image.h"

#include "tools/kestpack/pe_image.h"
#include "verify/archive_offset_slot.h"

namespace kest {
namespace {

uint32_t GetLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

bool PrepareInstallerImage(const std::vector<uint8_t>& stub, std::vector<uint8_t>* image,
                           std::string* error) {
  PeImage pe;
  const char* reason = nullptr;
  if (!pe.Parse(stub.data(), stub.size(), &reason)) {
    *error = reason;
    return false;
  }
  uint32_t end = pe.EndOfSections();
  size_t slot = FindArchiveOffsetSlot(stub.data(), end);
  if (slot == end) {
    *error = "no archive offset slot (\"Size-> \" .. \" <-Size\") in the image";
    return false;
  }
  if (FindArchiveOffsetSlot(stub.data(), end, slot + 1) != end) {
    *error = "more than one archive offset slot in the image";
    return false;
  }
  image->assign(stub.begin(), stub.begin() + end);
  uint8_t* field = image->data() + slot + kSlotOffsetField;
  for (int i = 0; i < 4; ++i) field[i] = uint8_t(end >> (8 * i));
  return true;
}

bool FindPackageLayout(const uint8_t* head, size_t head_size, uint64_t file_size,
                       PackageLayout* layout, std::string* error) {
  if (head_size >= 2 && head[0] == 0x60 && head[1] == 0xEA) {
    *layout = {false, 0};
    return true;
  }
  PeImage pe;
  const char* reason = nullptr;
  if (!pe.Parse(head, head_size, &reason)) {
    *error = std::string("neither an ARJ archive nor an installer: ") + reason;
    return false;
  }
  size_t end = pe.EndOfSections();
  size_t slot = FindArchiveOffsetSlot(head, end);
  if (slot == end) {
    *error = "an executable without an archive offset slot";
    return false;
  }
  uint32_t offset = GetLe32(head + slot + kSlotOffsetField);
  if (offset < slot + kSlotBytes || offset > file_size) {
    *error = "the archive offset slot holds " + std::to_string(offset) +
             ", which is not a position after the slot within the file";
    return false;
  }
  *layout = {true, offset};
  return true;
}

}  // namespace kest
