// One ARJ header as the package reader reads it: the main header of the
// archive or the header of one entry, with its extension chain.
//
// Layout (little-endian; offsets from the start of the header):
//   0     2    header id 0xEA60
//   2     2    basic header size B; 0 marks the end of the archive
//   4     F    fixed part, F = its first byte (the first-header size, at
//              least 30; bytes past the 30 below are covered by the header
//              CRC and otherwise ignored):
//                4 F, 5 archiver version, 6 minimum version, 7 host OS,
//                8 flags, 9 method, 10 file type, 11 reserved,
//                12 MS-DOS date (high 16 bits) and time (low 16 bits), local,
//                16 packed size, 20 original size, 24 CRC-32 of the data,
//                28 file-spec position, 30 access mode, 32 host data
//   4+F   B-F  entry name, NUL, comment, NUL
//   4+B   4    CRC-32 of the B bytes from offset 4 (read right after the
//              comment's terminator, which is 4+B when the texts fill B)
//   8+B   2    size E of the first extended header; 0: none
// Each extended header is E bytes, a 4-byte CRC (never checked) and the
// 2-byte size of the next one (0 ends the chain). Packed data follows the
// chain directly.
//
// Qel1 extension, an extended header of exactly 24 bytes:
//   0  4  magic "Qel1"
//   4  8  file version: four u16 words, major, minor, build, revision
//   12 8  Windows file time (100 ns units since 1601), UTC
//   20 4  u32 value: the archive length in the main header
// With another magic the version words and the file time read as zero; the
// value is still taken. The last 24-byte extension of a header counts;
// extensions of other sizes are skipped.
#pragma once
#include <cstdint>
#include <memory>

#include "archive/crc32.h"
#include "base/byte_io.h"

namespace kest {

constexpr uint16_t kArjHeaderId = 0xEA60;
constexpr uint16_t kEndMarkerId = 0xFFFF;    // stored in EntryHeader::id for the end marker
constexpr uint32_t kLeastFirstHeaderSize = 30;
constexpr uint32_t kQel1ExtensionSize = 24;

// The header's numbers, as read (copyable).
struct EntryFields {
  uint16_t id = 0;          // 0xEA60; kEndMarkerId for the end marker; 0 after a failed read
  uint16_t basic_size = 0;  // B
  uint8_t first_size = 0;   // F
  uint8_t archiver_version = 0;
  uint8_t minimum_version = 0;
  uint8_t host_os = 0;
  uint8_t flags = 0;
  uint8_t method = 0;       // 0 stored, 1 to 3 compressed
  uint8_t file_type = 0;    // 0 binary, 1 text, 2 main header
  uint8_t reserved = 0;
  uint32_t dos_time = 0;
  uint32_t packed_size = 0;
  uint32_t original_size = 0;
  uint32_t data_crc = 0;
  uint16_t file_spec_position = 0;
  uint16_t access_mode = 0;
  uint16_t host_data = 0;
  uint32_t header_crc = 0;  // as stored

  // The Qel1 extension (all zero when the header has no 24-byte extension).
  uint8_t magic[4] = {};
  uint16_t version[4] = {};
  uint64_t file_time = 0;
  uint32_t value = 0;
};

// One header record: its numbers and the texts it owns. Move-only.
struct EntryHeader : EntryFields {
  EntryHeader() = default;
  EntryHeader(EntryHeader&&) = default;
  EntryHeader& operator=(EntryHeader&&) = default;

  // The name: the output path after SetName, else the stored name with "/"
  // turned into "\" and A-Z lower-cased; "" when there is none.
  const char* name() const;
  const char* comment() const;
  // Replaces the name by a copy of path. False when the copy cannot be
  // allocated; the name is then unchanged.
  bool SetName(const char* path);
  // Makes *copy an equal record (for a main header that is also the first
  // entry). False when memory runs out; *copy is then unchanged.
  bool CopyTo(EntryHeader* copy) const;

  // Name and comment as read: text_size (B - F) bytes, both NUL-terminated
  // inside.
  std::unique_ptr<char[]> text;
  uint32_t text_size = 0;
  std::unique_ptr<char[]> output_name;  // set by SetName
};

// Whether the end marker may be the last bytes of the data. In a package
// the trailer follows the archive, so the 34 bytes of a header read are
// there behind the marker too, and fewer are a short read; an archive on
// its own, as every ARJ archiver writes it, ends with the marker's 4 bytes.
enum class EndMarker { kFollowed, kMayEndData };

// Reads one header at the source's position into *header (reset first).
// Returns 0, or:
//   kReaderReadError   a read failed (the source's code is not kept)
//   kReaderBadHeader   id is not 0xEA60, fewer than the 34 bytes of a
//                      header (for the end marker too, unless `end` lets it
//                      end the data), F < 30, B < F + 2, or name/comment
//                      not NUL-terminated in B - F
//   kReaderBadCrc      the header CRC, stored right after the comment's
//                      terminator, does not match (so does a header whose
//                      B leaves bytes after the comment)
//   kCodeOutOfMemory   the name block could not be allocated
// The end marker (id 0xEA60, B = 0) is success with id kEndMarkerId. On
// failure id is 0. crc is scratch.
uint32_t ReadEntryHeader(ByteSource& source, Crc32& crc, EntryHeader* header,
                         EndMarker end = EndMarker::kFollowed);

// Reads until size bytes or the end of the data; *got tells how many.
// Returns 0 or the source's system error code.
uint32_t ReadFully(ByteSource& source, void* buffer, uint32_t size, uint32_t* got);

}  // namespace kest
