#include "packaging/archive_writer.h"

#include <cstring>

#include "packaging/header_builder.h"
#include "base/install_codes.h"

namespace kest {
namespace {

// Fixed values of every header written here.
constexpr uint8_t kArchiverVersion = 4;
constexpr uint8_t kMinimumVersion = 1;
constexpr uint8_t kHostMsDos = 0;
constexpr uint8_t kFlagPathSeparator = 0x10;  // "/" in names stands for the separator
constexpr uint8_t kReserved = 2;
constexpr uint8_t kFileTypeBinary = 0;
constexpr uint8_t kFileTypeMain = 2;
constexpr uint16_t kAttributeArchive = 0x20;

EntryFields CommonFields(uint8_t file_type, uint32_t dos_time) {
  EntryFields f;
  f.archiver_version = kArchiverVersion;
  f.minimum_version = kMinimumVersion;
  f.host_os = kHostMsDos;
  f.flags = kFlagPathSeparator;
  f.file_type = file_type;
  f.reserved = kReserved;
  f.dos_time = dos_time;
  return f;
}

// Copies name into out with "/" between parts; returns its length, or 0
// when it is empty or longer than kMaxEntryName. *last_part receives the
// offset of the part after the last separator.
uint32_t StoredName(const char* name, char* out, uint16_t* last_part) {
  uint32_t size = 0;
  *last_part = 0;
  for (; name[size] != 0; ++size) {
    if (size == kMaxEntryName) return 0;
    char c = name[size] == '\\' ? '/' : name[size];
    out[size] = c;
    if (c == '/') *last_part = static_cast<uint16_t>(size + 1);
  }
  return size;
}

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

uint32_t ArchiveWriter::Fail(uint32_t code) {
  if (error_ == 0) error_ = code;
  return code;
}

uint32_t ArchiveWriter::Write(const void* data, uint32_t size) {
  if (size == 0) return 0;
  if (size > 0xFFFFFFFFu - length_) return Fail(kWriterTooLarge);
  uint32_t code = sink_.Write(data, size);
  if (code != 0) return Fail(code);
  length_ += size;
  return 0;
}

uint32_t ArchiveWriter::Begin(const char* archive_name, uint32_t dos_time) {
  if (error_ != 0) return error_;
  if (stage_ != 0) return Fail(kWriterBadOrder);
  char name[kMaxEntryName];
  uint16_t last_part = 0;
  uint32_t name_size = StoredName(archive_name, name, &last_part);
  if (name_size == 0) return Fail(kCodeInvalidFileName);
  uint8_t header[kHeaderOverhead + kMaxEntryName];
  uint32_t size = BuildHeader(CommonFields(kFileTypeMain, dos_time), name, name_size, crc_, header);
  // The extension's value field: 4 bytes before its CRC and the final 0.
  main_value_offset_ = length_ + size - 2 - 4 - 4;
  uint32_t code = Write(header, size);
  if (code == 0) stage_ = 1;
  return code;
}

uint32_t ArchiveWriter::AddEntry(const EntryInfo& info, const uint8_t* data, uint32_t size,
                                 uint32_t method, WrittenEntry* written) {
  if (error_ != 0) return error_;
  if (stage_ != 1) return Fail(kWriterBadOrder);
  if (method > kMethodFastest) return Fail(kWriterBadMethod);
  char name[kMaxEntryName];
  uint16_t last_part = 0;
  uint32_t name_size = StoredName(info.name, name, &last_part);
  if (name_size == 0) return Fail(kCodeInvalidFileName);

  const uint8_t* stream = data;
  uint32_t stream_size = size;
  if (method != kMethodStored) {
    switch (encoder_.Encode(data, size, method, size)) {
      case EncodeResult::kPacked:
        stream = encoder_.packed();
        stream_size = encoder_.packed_size();
        break;
      case EncodeResult::kNotSmaller:
        method = kMethodStored;
        break;
      default:
        return Fail(kCodeOutOfMemory);
    }
  }

  EntryFields fields = CommonFields(kFileTypeBinary, info.dos_time);
  fields.method = static_cast<uint8_t>(method);
  fields.packed_size = stream_size;
  fields.original_size = size;
  crc_.Reset();
  crc_.Update(data, size);
  fields.data_crc = crc_.Value();
  fields.file_spec_position = last_part;
  fields.access_mode = kAttributeArchive;
  std::memcpy(fields.version, info.version, sizeof(fields.version));
  fields.file_time = info.file_time;
  uint8_t header[kHeaderOverhead + kMaxEntryName];
  uint32_t header_size = BuildHeader(fields, name, name_size, crc_, header);
  uint32_t code = Write(header, header_size);
  if (code == 0) code = Write(stream, stream_size);
  if (code == 0 && written != nullptr) {
    *written = {method, stream_size, size, fields.data_crc};
  }
  return code;
}

uint32_t ArchiveWriter::Finish() {
  if (error_ != 0) return error_;
  if (stage_ != 1) return Fail(kWriterBadOrder);
  static const uint8_t kEndMarker[4] = {0x60, 0xEA, 0, 0};
  uint32_t code = Write(kEndMarker, sizeof(kEndMarker));
  if (code == 0) stage_ = 2;
  return code;
}

ArchiveLengthPatch ArchiveWriter::LengthPatch() const {
  ArchiveLengthPatch patch = {};
  patch.offset = main_value_offset_;
  // The extension as Begin wrote it, with the value set.
  uint8_t extension[kQel1ExtensionSize] = {'Q', 'e', 'l', '1'};
  PutLe32(extension + 20, length_);
  PutLe32(patch.bytes, length_);
  PutLe32(patch.bytes + 4, Crc32Of(extension, kQel1ExtensionSize));
  return patch;
}

uint32_t SetArchiveLength(uint8_t* archive, uint32_t size, uint32_t length) {
  // id, basic size, then the B bytes, header CRC and the extension size.
  if (size < 4 || archive[0] != 0x60 || archive[1] != 0xEA) return kWriterBadArchive;
  uint32_t basic_size = archive[2] | (uint32_t{archive[3]} << 8);
  uint32_t extension_at = 4 + basic_size + 4 + 2;
  if (basic_size == 0 || size < extension_at + kQel1ExtensionSize + 4) return kWriterBadArchive;
  uint32_t extension_size = archive[extension_at - 2] | (uint32_t{archive[extension_at - 1]} << 8);
  uint8_t* extension = archive + extension_at;
  if (extension_size != kQel1ExtensionSize || std::memcmp(extension, "Qel1", 4) != 0) {
    return kWriterBadArchive;
  }
  PutLe32(extension + 20, length);
  PutLe32(extension + kQel1ExtensionSize, Crc32Of(extension, kQel1ExtensionSize));
  return 0;
}

}  // namespace kest
