#include "archive/package_reader.h"

#include <cstring>
#include <new>

#include "archive/reader_codes.h"
#include "base/install_codes.h"

namespace kest {

PackageReader::PackageReader(ByteSource* source, bool owns_source, OutputFileSystem& files)
    : source_(source), owns_source_(owns_source), files_(files) {}

PackageReader::~PackageReader() {
  if (owns_source_) delete source_;
}

void PackageReader::Record(uint32_t code) {
  error_ |= code;
  if (code > kCodeDiskFull) usable_ = false;
  else entry_ok_ = false;
}

bool PackageReader::Open() {
  error_ = 0;
  entry_ok_ = true;
  usable_ = false;
  if (source_->Tell(&archive_start_) != 0) {
    Record(kReaderNoPosition);
    return false;
  }
  uint32_t error = ReadEntryHeader(*source_, crc_, &main_, end_marker_);
  if (error == 0 && main_.id == kEndMarkerId) error = kReaderBadHeader;
  if (error != 0) {
    Record(error);
    return false;
  }
  archive_length_ = main_.value;
  if (!ReadTrailer(*source_)) return false;

  if (main_.original_size == 0) {
    // A first entry header that cannot be read is no entry header: the
    // reader's own code gives way to "not an ARJ header".
    if (source_->Tell(&entry_start_) != 0 ||
        ReadEntryHeader(*source_, crc_, &entry_, end_marker_) != 0) {
      Record(kReaderBadHeader);
      return false;
    }
  } else {
    // A package whose first header is already an entry.
    entry_start_ = archive_start_;
    if (!main_.CopyTo(&entry_)) {
      Record(kCodeOutOfMemory);
      return false;
    }
  }
  if (entry_.id == kEndMarkerId) {
    Record(kReaderNoEntry);
    return false;
  }
  error = LoadEntryData();
  if (error != 0) {
    Record(error == kCodeOutOfMemory ? error : kReaderReadError);
    return false;
  }
  has_entry_ = true;
  usable_ = true;
  return true;
}

bool PackageReader::NextEntry() {
  if (!usable_) {
    Record(kReaderNoEntry);
    return false;
  }
  return ReadNextRecord();
}

bool PackageReader::ReadNextRecord() {
  has_entry_ = false;
  data_ = nullptr;
  if (!ReadEntry()) return false;
  if (entry_.id == kEndMarkerId) {
    Record(kReaderEndOfArchive);
    return false;
  }
  const uint32_t error = LoadEntryData();
  if (error != 0) {
    Record(error);
    return false;
  }
  has_entry_ = true;
  usable_ = true;
  return true;
}

bool PackageReader::ReturnToEntry(uint32_t start) {
  error_ = 0;
  entry_ok_ = true;
  usable_ = true;
  if (source_->Seek(start) != 0) {
    has_entry_ = false;
    data_ = nullptr;
    Record(kReaderReadError);
    usable_ = false;
    return false;
  }
  return ReadNextRecord();
}

bool PackageReader::ReadEntry() {
  uint32_t error = source_->Tell(&entry_start_);
  if (error == 0) error = ReadEntryHeader(*source_, crc_, &entry_, end_marker_);
  if (error != 0) Record(error);
  return error == 0;
}

uint32_t PackageReader::LoadEntryData() {
  const uint32_t size = entry_.packed_size;
  if (size > packed_size_limit_) return kCodeOutOfMemory;
  if (size > load_limit_) {
    // Passed over. Past the end of the source, the next header read finds
    // nothing there, as it would after data read short.
    data_ = nullptr;
    uint32_t at = 0, end = 0;
    uint32_t error = source_->Tell(&at);
    if (error == 0) error = source_->Size(&end);
    if (error != 0) return error;
    return source_->Seek(at <= end && size <= end - at ? at + size : end);
  }
  // A source in memory lends them: no allocation, no copy.
  if ((data_ = source_->Lend(size)) != nullptr) return 0;
  if (size > owned_size_ || !owned_) {
    // The smaller block goes first: never two at once.
    owned_.reset();
    owned_size_ = 0;
    owned_.reset(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
    if (!owned_) return kCodeOutOfMemory;
    owned_size_ = size;
  }
  uint32_t got = 0;
  const uint32_t error = ReadFully(*source_, owned_.get(), size, &got);
  if (error != 0) return error;
  data_ = owned_.get();
  // Data cut short by the end of the source reads as zeros; the entry then
  // fails its CRC when extracted.
  memset(owned_.get() + got, 0, size - got);
  return 0;
}

const uint8_t* PackageReader::GetEntryData() const { return has_entry_ ? data_ : nullptr; }

uint32_t PackageReader::GetEntryPackedSize() const { return has_entry_ ? entry_.packed_size : 0; }

const char* PackageReader::GetEntryName() const { return has_entry_ ? entry_.name() : ""; }

bool PackageReader::SetEntryName(const char* path) { return has_entry_ && entry_.SetName(path); }

bool PackageReader::GetEntryVersion(uint16_t version[4]) const {
  if (!has_entry_) return false;
  memcpy(version, entry_.version, sizeof(entry_.version));
  return (version[0] | version[1] | version[2] | version[3]) != 0;
}

uint64_t PackageReader::GetEntryFileTime() const { return has_entry_ ? entry_.file_time : 0; }

}  // namespace kest
