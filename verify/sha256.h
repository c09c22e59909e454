// SHA-256 message digest (FIPS 180-4), streaming: feed the data in pieces
// of any size with Update, then take the 32-byte digest with Final.
//
// Two engines give the same digest: the portable rounds, and the x86
// processor's SHA instructions, used where the processor has them and the
// system saves the vector registers they work in (ProcessorShaUsable). With
// them the second signature's digest of a whole package costs a fraction of
// the first signature's MD5; without them, about twice that MD5.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

class Md5;

constexpr size_t kSha256DigestBytes = 32;
constexpr size_t kSha256BlockBytes = 64;

class Sha256 {
 public:
  // The processor's instructions where they are usable.
  Sha256() : Sha256(ProcessorShaUsable()) {}
  // The processor's instructions only if use_processor and they are usable.
  explicit Sha256(bool use_processor)
      : use_processor_(use_processor && ProcessorShaUsable()) {
    Reset();
  }
  // True when this processor has the SHA instructions (with SSSE3 and SSE
  // 4.1, which the engine also uses) and the system saves the vector
  // registers across task switches. Asked of the processor once.
  static bool ProcessorShaUsable();
  bool uses_processor() const { return use_processor_; }
  // The same bytes into md5 and sha256: the same as md5.Update and
  // sha256.Update, in one pass over the data where sha256 uses the
  // processor's instructions.
  friend void UpdateMd5AndSha256(Md5& md5, Sha256& sha256, const void* data, size_t size);
  void Reset();
  void Update(const void* data, size_t size);
  // Pads the message, writes the digest and leaves the object reset.
  void Final(uint8_t (&digest)[kSha256DigestBytes]);

 private:
  void Transform(const uint8_t* blocks, size_t count);

  bool use_processor_;
  uint32_t state_[8];
  uint64_t length_;                     // bytes fed so far
  uint8_t buffer_[kSha256BlockBytes];   // the incomplete block, length_ % 64 bytes
};

void UpdateMd5AndSha256(Md5& md5, Sha256& sha256, const void* data, size_t size);

}  // namespace kest
