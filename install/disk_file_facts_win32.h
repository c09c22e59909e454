// DiskFileFactsWin32: the replace decision's view of a file on this
// machine: its version resource and its last-write time. Keeps one version
// block buffer for all the files it is asked about.
#pragma once
#include "install/replace_decision.h"
#include "install/version_resource_win32.h"

namespace kest {

class DiskFileFactsWin32 : public DiskFileFacts {
 public:
  FileVersion GetFileVersion(const char* path) override;
  bool GetLastWriteTime(const char* path, uint64_t* time) override;

 private:
  VersionResource resource_;
};

}  // namespace kest
