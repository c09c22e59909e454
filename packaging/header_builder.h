// Builds one ARJ header with its single 24-byte "Qel1" extension into
// memory: the layout that entry_header.h reads, as drawn in
// archive_writer.h.
#pragma once
#include <cstdint>

#include "archive/crc32.h"
#include "archive/entry_header.h"

namespace kest {

// Bytes of a header around its name: id, size, fixed part, two NULs (name
// and empty comment), header CRC, extension size, extension, its CRC, 0.
constexpr uint32_t kHeaderOverhead =
    4 + kLeastFirstHeaderSize + 2 + 4 + 2 + kQel1ExtensionSize + 4 + 2;

// Writes the header for name (name_size bytes, no NUL inside) with an
// empty comment into out, which must hold kHeaderOverhead + name_size
// bytes. Takes the fixed part and the Qel1 fields from fields, except id,
// basic_size, first_size (30), header_crc and magic, which it derives.
// crc is the caller's scratch object. Returns the bytes written.
uint32_t BuildHeader(const EntryFields& fields, const char* name, uint32_t name_size, Crc32& crc,
                     uint8_t* out);

}  // namespace kest
