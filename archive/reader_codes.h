// The package reader's own failure codes. They are combined by bitwise OR
// into the reader's error word next to system error codes (from the file
// functions) and install codes (base/install_codes.h). They are not install
// codes: the error dialog shows them with its operating-system-error row.
#pragma once
#include <cstdint>

namespace kest {

constexpr uint32_t kReaderReadError = 0x4002;       // a header or packed data could not be read
constexpr uint32_t kReaderBadCrc = 0x400B;          // header CRC, or CRC of the written data
constexpr uint32_t kReaderBadHeader = 0x4012;       // id is not 0xEA60, malformed header, no main header
constexpr uint32_t kReaderNoEntry = 0x4013;         // no entry in the archive, or the reader is unusable
constexpr uint32_t kReaderBadMethod = 0x4015;       // compression method above 3
constexpr uint32_t kReaderBadTable = 0x4016;        // corrupt Huffman table or stream
constexpr uint32_t kReaderEndOfArchive = 0x4019;    // normal end of iteration; never reported
constexpr uint32_t kReaderBadState = 0x401A;        // decoder reached an unknown state
constexpr uint32_t kReaderNoWindow = 0x401B;        // no memory for the decoder's window
constexpr uint32_t kReaderNoPosition = 0x401C;      // the archive start position cannot be read
constexpr uint32_t kReaderShortTrailer = 0x401E;    // the trailer could not be read whole

}  // namespace kest
