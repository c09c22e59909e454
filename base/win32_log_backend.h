// The install log's file on Windows: opened without sharing, with
// write-through so that every line is on the disk when LogLine returns.
// Never through a link: a name that is a link, a directory or a second
// name of another file is not opened for logging (the log then stays
// silent, as for any other failure to open it).
#pragma once
#include <windows.h>

#include "base/install_log.h"

namespace kest {

class Win32LogBackend : public LogBackend {
 public:
  ~Win32LogBackend() override { Close(); }
  bool Open(const char* path) override;
  bool IsOpen() const override { return file_ != INVALID_HANDLE_VALUE; }
  void Write(const char* data, size_t size) override;
  void Close() override;
  LogTime Now() override;
  const char* ProgramPath() override;

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  char program_path_[MAX_PATH] = {};
};

}  // namespace kest
