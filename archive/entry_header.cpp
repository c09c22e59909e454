#include "archive/entry_header.h"

#include <cstring>
#include <new>

#include "archive/reader_codes.h"
#include "base/install_codes.h"

namespace kest {
namespace {

// id, B and the 30 named bytes of the fixed part.
constexpr uint32_t kHeadBytes = 4 + kLeastFirstHeaderSize;
// After name and comment: header CRC and the first extension size.
constexpr uint32_t kTailBytes = 6;
// A Qel1 extension with its CRC and the next extension size.
constexpr uint32_t kQel1Record = kQel1ExtensionSize + 6;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }

// Reads size bytes, zero-filling whatever the end of the data leaves out.
uint32_t ReadZeroFilled(ByteSource& source, void* buffer, uint32_t size) {
  uint32_t got = 0;
  uint32_t error = ReadFully(source, buffer, size, &got);
  if (error == 0 && got < size) memset(static_cast<uint8_t*>(buffer) + got, 0, size - got);
  return error;
}

// A new copy of size bytes at text; null when memory runs out.
std::unique_ptr<char[]> Duplicate(const char* text, size_t size) {
  std::unique_ptr<char[]> copy(new (std::nothrow) char[size]);
  if (copy) memcpy(copy.get(), text, size);
  return copy;
}

void ParseFixedPart(const uint8_t* h, EntryHeader* e) {
  e->id = Le16(h);
  e->basic_size = Le16(h + 2);
  const uint8_t* f = h + 4;
  e->first_size = f[0];
  e->archiver_version = f[1];
  e->minimum_version = f[2];
  e->host_os = f[3];
  e->flags = f[4];
  e->method = f[5];
  e->file_type = f[6];
  e->reserved = f[7];
  e->dos_time = Le32(f + 8);
  e->packed_size = Le32(f + 12);
  e->original_size = Le32(f + 16);
  e->data_crc = Le32(f + 20);
  e->file_spec_position = Le16(f + 24);
  e->access_mode = Le16(f + 26);
  e->host_data = Le16(f + 28);
}

void ParseQel1(const uint8_t* x, EntryHeader* e) {
  if (memcmp(x, "Qel1", 4) == 0) {
    for (int i = 0; i < 4; ++i) e->version[i] = Le16(x + 4 + 2 * i);
    e->file_time = Le32(x + 12) | static_cast<uint64_t>(Le32(x + 16)) << 32;
  } else {
    memset(e->version, 0, sizeof(e->version));
    e->file_time = 0;
  }
  memcpy(e->magic, x, 4);
  e->value = Le32(x + 20);
}

// Walks the extension chain that starts with size `size`.
uint32_t ReadExtensions(ByteSource& source, uint32_t size, EntryHeader* e) {
  uint8_t scratch[256];
  while (size != 0) {
    if (size == kQel1ExtensionSize) {
      if (ReadZeroFilled(source, scratch, kQel1Record) != 0) return kReaderReadError;
      ParseQel1(scratch, e);
      size = Le16(scratch + kQel1ExtensionSize + 4);
      continue;
    }
    // Skipped: the data and its CRC, then the next size.
    for (uint32_t left = size + 4; left > 0;) {
      uint32_t piece = left < sizeof(scratch) ? left : sizeof(scratch);
      if (ReadZeroFilled(source, scratch, piece) != 0) return kReaderReadError;
      left -= piece;
    }
    if (ReadZeroFilled(source, scratch, 2) != 0) return kReaderReadError;
    size = Le16(scratch);
  }
  return 0;
}

uint32_t ReadHeader(ByteSource& source, Crc32& crc, EntryHeader* e, EndMarker end) {
  uint8_t head[kHeadBytes];
  uint32_t got = 0;
  if (ReadFully(source, head, kHeadBytes, &got) != 0) return kReaderReadError;
  if (got < 4 || Le16(head) != kArjHeaderId) return kReaderBadHeader;
  // The header's 34 bytes are read whole, the end marker's too, unless the
  // marker may end the data.
  if (Le16(head + 2) == 0 && (got == kHeadBytes || end == EndMarker::kMayEndData)) {
    e->id = kEndMarkerId;
    return 0;
  }
  if (got < kHeadBytes) return kReaderBadHeader;
  ParseFixedPart(head, e);
  const uint32_t fixed = e->first_size;
  if (fixed < kLeastFirstHeaderSize || e->basic_size < fixed + 2) return kReaderBadHeader;

  uint8_t fixed_rest[256 - kLeastFirstHeaderSize];
  const uint32_t rest = fixed - kLeastFirstHeaderSize;
  if (ReadZeroFilled(source, fixed_rest, rest) != 0) return kReaderReadError;

  const uint32_t text_size = e->basic_size - fixed;
  char* block = new (std::nothrow) char[text_size + kTailBytes];
  if (block == nullptr) return kCodeOutOfMemory;
  e->text.reset(block);
  e->text_size = text_size;
  if (ReadZeroFilled(source, block, text_size + kTailBytes) != 0) return kReaderReadError;

  const char* name_end = static_cast<const char*>(memchr(block, 0, text_size));
  if (name_end == nullptr) return kReaderBadHeader;
  const char* comment = name_end + 1;
  const char* comment_end =
      static_cast<const char*>(memchr(comment, 0, text_size - (comment - block)));
  if (comment_end == nullptr) return kReaderBadHeader;

  // The stored CRC follows the comment's terminator, and the first
  // extension size the CRC: where B ends when the texts fill it, else
  // inside the block (bytes left after the comment are taken for the CRC,
  // which then fails). Both lie inside the block's text_size + 6 bytes.
  // The CRC covers the B - F bytes of name and comment all the same.
  const uint8_t* tail = reinterpret_cast<const uint8_t*>(comment_end + 1);
  e->header_crc = Le32(tail);
  crc.Reset();
  crc.Update(head + 4, kLeastFirstHeaderSize);
  crc.Update(fixed_rest, rest);
  crc.Update(block, text_size);
  if (crc.Value() != e->header_crc) return kReaderBadCrc;

  for (char* p = block; *p != '\0'; ++p) {
    if (*p == '/') *p = '\\';
    else if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
  }
  uint32_t error = ReadExtensions(source, Le16(tail + 4), e);
  if (error != 0) return error;
  e->id = kArjHeaderId;
  return 0;
}

}  // namespace

const char* EntryHeader::name() const {
  if (output_name) return output_name.get();
  return text ? text.get() : "";
}

const char* EntryHeader::comment() const {
  return text ? text.get() + strlen(text.get()) + 1 : "";
}

bool EntryHeader::SetName(const char* path) {
  std::unique_ptr<char[]> copy = Duplicate(path, strlen(path) + 1);
  if (!copy) return false;
  output_name = std::move(copy);
  return true;
}

bool EntryHeader::CopyTo(EntryHeader* copy) const {
  std::unique_ptr<char[]> text_copy, name_copy;
  if (text && !(text_copy = Duplicate(text.get(), text_size))) return false;
  if (output_name &&
      !(name_copy = Duplicate(output_name.get(), strlen(output_name.get()) + 1)))
    return false;
  static_cast<EntryFields&>(*copy) = *this;
  copy->text = std::move(text_copy);
  copy->text_size = text_size;
  copy->output_name = std::move(name_copy);
  return true;
}

uint32_t ReadEntryHeader(ByteSource& source, Crc32& crc, EntryHeader* header, EndMarker end) {
  *header = EntryHeader();
  uint32_t error = ReadHeader(source, crc, header, end);
  if (error != 0) {
    // A rejected header keeps none of its text: its name and comment may
    // not even be terminated inside the block.
    *header = EntryHeader();
    header->id = 0;
  }
  return error;
}

uint32_t ReadFully(ByteSource& source, void* buffer, uint32_t size, uint32_t* got) {
  uint8_t* p = static_cast<uint8_t*>(buffer);
  *got = 0;
  while (*got < size) {
    uint32_t n = 0;
    uint32_t error = source.Read(p + *got, size - *got, &n);
    if (error != 0) return error;
    if (n == 0) break;
    *got += n;
  }
  return 0;
}

}  // namespace kest
