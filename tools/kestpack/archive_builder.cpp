#include "tools/kestpack/archive_builder.h"

#include <cstdio>
#include <cstring>

#include "base/install_codes.h"
#include "packaging/archive_writer.h"
#include "packaging/header_builder.h"
#include "packaging/vector_sink.h"
#include "tools/kestpack/file_times.h"
#include "tools/kestpack/host_files.h"
#include "tools/kestpack/pe_image.h"

namespace kest {
namespace {

std::string WriterError(uint32_t code) {
  char text[64];
  if (code == kCodeOutOfMemory) return "out of memory";
  snprintf(text, sizeof text, "archive writer error 0x%X", code);
  return code == kWriterTooLarge ? "the archive would exceed 4 GiB" : text;
}

}  // namespace

bool BuildArchive(const std::vector<ArchiveInput>& inputs, uint64_t limit,
                  std::vector<uint8_t>* archive, const BuildProgress& progress,
                  std::string* error) {
  archive->clear();
  VectorSink sink(archive);
  ArchiveWriter writer(sink);
  const ArchiveInput* latest = nullptr;
  for (const ArchiveInput& in : inputs) {
    if (!latest || in.mtime_seconds > latest->mtime_seconds ||
        (in.mtime_seconds == latest->mtime_seconds &&
         in.mtime_nanoseconds > latest->mtime_nanoseconds)) {
      latest = &in;
    }
  }
  uint32_t code = writer.Begin(
      kArchiveName, latest ? UnixToLocalDosTime(latest->mtime_seconds, latest->mtime_nanoseconds)
                           : UnixToLocalDosTime(0, 0));
  std::vector<uint8_t> data;
  for (size_t i = 0; code == 0 && i < inputs.size(); ++i) {
    const ArchiveInput& in = inputs[i];
    if (!ReadWholeFile(in.path, &data, error)) return false;
    EntryInfo info = {};
    info.name = in.name.c_str();
    info.dos_time = UnixToLocalDosTime(in.mtime_seconds, in.mtime_nanoseconds);
    info.file_time = UnixToFileTime(in.mtime_seconds, in.mtime_nanoseconds);
    ReadFileVersion(data.data(), data.size(), info.version);
    WrittenEntry written = {};
    writer.set_smallest(in.smallest);
    code = writer.AddEntry(info, data.data(), uint32_t(data.size()), in.method, &written);
    if (code != 0) {
      *error = in.path + ": " + WriterError(code);
      return false;
    }
    if (archive->size() > limit) {
      *error = in.path + ": " + WriterError(kWriterTooLarge);
      return false;
    }
    if (progress) progress(i, {written.method, written.original_size, written.packed_size});
  }
  if (code == 0) code = writer.Finish();
  if (code == 0) code = SetArchiveLength(archive->data(), uint32_t(archive->size()), writer.length());
  if (code != 0) {
    *error = WriterError(code);
    return false;
  }
  return true;
}

uint64_t StoredArchiveBytes(const std::vector<ArchiveInput>& inputs) {
  const uint64_t kEndMarkerBytes = 4;
  uint64_t total = kHeaderOverhead + strlen(kArchiveName) + kEndMarkerBytes;
  for (const ArchiveInput& in : inputs) total += kHeaderOverhead + in.name.size() + in.size;
  return total;
}

}  // namespace kest
