// The archive offset slot: 20 bytes in the installer's initialised data that
// hold where the archive starts in the installer's own file. The packaging
// step finds the slot by its markers and writes the offset; the installer
// reads only the number.
//
//   offset  size  field
//        0     8  "Size-> " and a NUL
//        8     4  archive offset A, u32 little-endian, from the start of the file
//       12     8  " <-Size" and a NUL
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

struct ArchiveOffsetSlot {
  char head[8];
  uint32_t offset;
  char tail[8];
};
static_assert(sizeof(ArchiveOffsetSlot) == 20, "slot layout");
static_assert(offsetof(ArchiveOffsetSlot, offset) == 8, "slot layout");

constexpr char kSlotHead[8] = "Size-> ";
constexpr char kSlotTail[8] = " <-Size";
constexpr size_t kSlotBytes = sizeof(ArchiveOffsetSlot);
constexpr size_t kSlotOffsetField = offsetof(ArchiveOffsetSlot, offset);

// The position of the first slot in image[0..size) at or after start, or
// size when there is none. A slot is the two markers with any four bytes
// between them.
size_t FindArchiveOffsetSlot(const uint8_t* image, size_t size, size_t start = 0);

// The same search for any slot of slot_bytes bytes that begins with the
// 8-byte marker head and ends with the 8-byte marker tail.
size_t FindMarkedSlot(const uint8_t* image, size_t size, size_t start, const char (&head)[8],
                      const char (&tail)[8], size_t slot_bytes);

}  // namespace kest
