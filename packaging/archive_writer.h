// Writes a package archive: the ARJ main header, one header plus packed
// data per entry, and the end marker, every header carrying one 24-byte
// "Qel1" extension. The output depends only on the calls made: no clock,
// no random padding.
//
// Header, as written (little-endian):
//   0   2  0xEA60
//   2   2  basic header size B = 30 + name + NUL + comment (empty) + NUL
//   4   30 fixed part (first-header size 30, versions, host, flags, method,
//          file type, reserved, DOS time, packed and original size, CRC-32
//          of the data, file-spec position, access mode, host data)
//   34  .. name, NUL, comment, NUL
//   4+B 4  CRC-32 of the B bytes from offset 4
//   8+B 2  24: one extension follows
//   .   24 "Qel1", four u16 version words, u64 Windows file time, u32 value
//   .   4  CRC-32 of those 24 bytes
//   .   2  0: no further extension
// Entry data (packed size bytes) follows its header; the end marker is the
// four bytes 60 EA 00 00.
//
// Host system 0 (MS-DOS) is written because the header's time is an MS-DOS
// local time and the access mode a DOS attribute word; with host 2 (Unix)
// other archivers read the time as seconds since 1970. Entry names use "/"
// between folders, with the flag that says "/" stands for the separator.
#pragma once
#include <cstdint>

#include "archive/crc32.h"
#include "packaging/entry_encoder.h"
#include "archive/reader_codes.h"
#include "base/byte_io.h"

namespace kest {

// Longest entry or archive name, in bytes without the terminator.
constexpr uint32_t kMaxEntryName = 259;

struct EntryInfo {
  const char* name;       // relative path, parts separated by "\" or "/"
  uint32_t dos_time;      // MS-DOS date (high 16 bits) and time (low 16 bits), local
  uint64_t file_time;     // Windows file time (100 ns since 1601), UTC
  uint16_t version[4];    // file version words; all 0 when the file has none
};

// What AddEntry wrote.
struct WrittenEntry {
  uint32_t method;        // the method asked for, or 0 when stored instead
  uint32_t packed_size;
  uint32_t original_size;
  uint32_t crc;           // CRC-32 of the original data
};

// The bytes to put at archive offset `offset` once the archive length is
// known: the main header's Qel1 value and that extension's CRC.
struct ArchiveLengthPatch {
  uint32_t offset;
  uint8_t bytes[8];
};

class ArchiveWriter {
 public:
  // Writes to sink, which must outlive the writer.
  explicit ArchiveWriter(ByteSink& sink) : sink_(sink) {}

  // Each returns 0 or the error: a sink's system error code,
  // kCodeOutOfMemory, kCodeInvalidFileName (empty name or longer than
  // kMaxEntryName), kWriterBadMethod, kWriterTooLarge, or kWriterBadOrder
  // (a call out of Begin, AddEntry..., Finish order). After an error the archive is
  // incomplete and later calls fail with the same code.

  // The main header; its Qel1 value (the archive length) is written as 0.
  uint32_t Begin(const char* archive_name, uint32_t dos_time);
  // One entry with method 0 (stored) or 1..3; a packed stream that would
  // not be smaller than the data is replaced by the stored data.
  uint32_t AddEntry(const EntryInfo& info, const uint8_t* data, uint32_t size, uint32_t method,
                    WrittenEntry* written = nullptr);
  // The end marker.
  uint32_t Finish();

  // Method 1's slower setting for the smallest output
  // (EntryEncoder::set_smallest), for the entries added after the call.
  void set_smallest(bool on) { encoder_.set_smallest(on); }

  // Bytes written so far; after Finish, the archive length.
  uint32_t length() const { return length_; }
  // After Finish: where and what to write so that the main header holds
  // the archive length.
  ArchiveLengthPatch LengthPatch() const;

 private:
  uint32_t Write(const void* data, uint32_t size);
  uint32_t Fail(uint32_t code);

  ByteSink& sink_;
  EntryEncoder encoder_;
  Crc32 crc_;
  uint32_t length_ = 0;
  uint32_t main_value_offset_ = 0;
  int stage_ = 0;  // 0 before Begin, 1 adding entries, 2 finished
  uint32_t error_ = 0;
};

// Writer codes share the reader's values where the meaning is the same.
constexpr uint32_t kWriterBadMethod = kReaderBadMethod;  // method above 3
constexpr uint32_t kWriterBadOrder = 0x4020;    // call out of order
constexpr uint32_t kWriterTooLarge = 0x4021;    // the archive would pass 4 GiB
constexpr uint32_t kWriterBadArchive = kReaderBadHeader;  // SetArchiveLength: no such main header

// Sets the archive length in archive[0..size), an archive whose main header
// has a 24-byte Qel1 extension, and refreshes that extension's CRC. Returns
// 0, or kWriterBadArchive when the bytes do not start with such a header.
uint32_t SetArchiveLength(uint8_t* archive, uint32_t size, uint32_t length);

}  // namespace kest
