// A ByteSink that appends everything written to a byte vector (the vector
// is not owned; it must outlive the sink). For the packaging tool and
// tests, which build archives in memory.
#pragma once
#include <cstdint>
#include <vector>

#include "base/byte_io.h"

namespace kest {

class VectorSink : public ByteSink {
 public:
  explicit VectorSink(std::vector<uint8_t>* bytes) : bytes_(bytes) {}
  uint32_t Write(const void* data, uint32_t size) override {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes_->insert(bytes_->end(), p, p + size);
    return 0;
  }

 private:
  std::vector<uint8_t>* bytes_;
};

}  // namespace kest
