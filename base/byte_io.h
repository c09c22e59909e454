// The two small interfaces through which portable code reads and writes
// bytes. The installer backs them with Win32 file handles, the host build
// with POSIX files or memory.
//
// Every operation returns 0 on success or a system error code: a Win32
// error number in the installer; on the host an errno value, except that a
// full disk is reported as 112 (ERROR_DISK_FULL) so that portable code can
// recognise it the same way on both.
#pragma once
#include <cstdint>

namespace kest {

constexpr uint32_t kSystemDiskFull = 112;        // ERROR_DISK_FULL
constexpr uint32_t kSystemHandleDiskFull = 39;   // ERROR_HANDLE_DISK_FULL

// Positions and sizes are 32-bit, so a file read through a ByteSource, an
// installer with its package included, has at most this many bytes.
constexpr uint64_t kLargestSourceBytes = 0xFFFFFFFF;

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to size bytes from the current position into buffer and stores
  // the number read in *read. Fewer bytes than asked (even 0) at the end of
  // the data is success.
  virtual uint32_t Read(void* buffer, uint32_t size, uint32_t* read) = 0;
  // Current position, in bytes from the start.
  virtual uint32_t Tell(uint32_t* position) = 0;
  // Moves to an absolute position.
  virtual uint32_t Seek(uint32_t position) = 0;
  // Total length in bytes.
  virtual uint32_t Size(uint32_t* size) = 0;
  // The next size bytes (size > 0) where they already are, for a source
  // that holds its bytes in memory: a pointer valid as long as the source,
  // with the position moved past them. Null, with nothing moved, when the
  // source cannot lend them (the caller then reads them into memory of its
  // own); every source may answer so.
  virtual const uint8_t* Lend(uint32_t size) {
    (void)size;
    return nullptr;
  }
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all size bytes, or fails with a system error code; after a
  // failure an unknown prefix of the bytes may have been written.
  virtual uint32_t Write(const void* data, uint32_t size) = 0;
};

}  // namespace kest
