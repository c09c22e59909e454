// Feeds arbitrary bytes to the entry decoder as packed data: the first
// 18 bits give the original size (up to 256 KiB, ten windows), the rest
// of the first three bytes is ignored and the rest is the stream. Every corrupt stream must end in a code,
// never in a read or write outside the decoder's arrays or window; and
// what reaches the sink must hold together: whole windows, then one
// shorter chunk, no more than one match past the original size, and a CRC
// register that covers exactly those bytes.
//
// Seeds: the packed data of entries made by Debian's arj
// (fuzz/seeds/decoder.sh).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/crc32.h"
#include "archive/entry_decoder.h"
#include "archive/reader_codes.h"

namespace {

constexpr uint32_t kLongestMatch = 256;

class CheckingSink : public kest::ByteSink {
 public:
  explicit CheckingSink(const kest::Crc32& crc) : crc_(crc) {}
  uint32_t Write(const void* data, uint32_t size) override {
    if (size == 0 || size > kest::kWindowSize || short_chunk_seen_) __builtin_trap();
    short_chunk_seen_ = size < kest::kWindowSize;
    reg_ = crc_.Advance(reg_, data, size);
    total_ += size;
    return 0;
  }
  uint64_t total() const { return total_; }
  uint32_t reg() const { return reg_; }

 private:
  const kest::Crc32& crc_;
  uint32_t reg_ = kest::Crc32::kStart;
  uint64_t total_ = 0;
  bool short_chunk_seen_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3 || size > (1u << 20)) return 0;
  const uint32_t original = data[0] | data[1] << 8 | (data[2] & 0x03) << 16;
  // A private copy, exactly as long as the stream, so that any read past
  // its end is seen.
  std::vector<uint8_t> packed(data + 3, data + size);
  kest::Crc32 crc;
  CheckingSink sink(crc);
  uint32_t reg = 0;
  const uint32_t code =
      kest::DecodeEntry(packed.data(), static_cast<uint32_t>(packed.size()), original, crc, &reg, sink);
  // A bad table, or data cut short (decoding ran too far past its bytes).
  if (code != 0 && code != kest::kReaderBadTable && code != kest::kReaderBadCrc) __builtin_trap();
  if (reg != sink.reg()) __builtin_trap();
  if (code == 0 && (sink.total() < original || sink.total() >= uint64_t(original) + kLongestMatch))
    __builtin_trap();
  return 0;
}
