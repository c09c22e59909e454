// Builds one ARJ header with its single 24-byte "Qel1" extension into
// memory (the layout is drawn in archive_writer.h).
#pragma once
#include <cstdint>

#include "archive/crc32.h"

namespace kest {

// The fixed part's values (offset 4 to 33 of the header).
struct HeaderFields {
  uint8_t archiver_version;
  uint8_t minimum_version;
  uint8_t host_os;
  uint8_t flags;
  uint8_t method;
  uint8_t file_type;      // 0 binary, 2 main header
  uint8_t reserved;
  uint32_t dos_time;
  uint32_t packed_size;
  uint32_t original_size;
  uint32_t crc;           // CRC-32 of the original data
  uint16_t file_spec_position;  // offset of the last name part in the name
  uint16_t access_mode;
  uint16_t host_data;
};

struct Qel1Fields {
  uint16_t version[4];
  uint64_t file_time;
  uint32_t value;
};

constexpr uint32_t kHeaderId = 0xEA60;
constexpr uint32_t kFirstHeaderSize = 30;
constexpr uint32_t kQel1Size = 24;
// Bytes of a header around its name: id, size, fixed part, two NULs (name
// and empty comment), header CRC, extension size, extension, its CRC, 0.
constexpr uint32_t kHeaderOverhead = 4 + kFirstHeaderSize + 2 + 4 + 2 + kQel1Size + 4 + 2;
// Offset of the Qel1 value from the end of the name (its NUL excluded).
constexpr uint32_t kQel1ValueAfterName = 2 + 4 + 2 + 20;

// Writes the header for name (name_size bytes, no NUL inside) into out,
// which must hold kHeaderOverhead + name_size bytes; crc is the caller's
// scratch object. Returns the bytes written.
uint32_t BuildHeader(const HeaderFields& fields, const char* name, uint32_t name_size,
                     const Qel1Fields& qel1, Crc32& crc, uint8_t* out);

}  // namespace kest
