// A Windows machine's disk as the build machine sees it (a mounted drive,
// a Wine prefix's drive_c), for kestpack plan: the installer's own path
// and replace rules run on it unchanged, and nothing on it is ever written.
//
// The rules work on the installer's paths. Those are mapped to files of
// this machine as follows, the first part of the path deciding:
//
//   installer path          file here
//   X:\rest                 <drive>/rest       the destination folder and
//                                              everything below it
//   <windows>\rest          <windows>/rest     the Windows folder
//   <system>\rest           <system>/rest      the system folder
//   <host>\rest             <host>/rest        the host product's folder
//
// The three placeholders are what the resolver is told these folders are
// (they never reach a real file name). Windows finds names whatever their
// letter case, so each part of rest is looked up the same way: the part as
// written when it exists, otherwise the first entry of the folder (in byte
// order) that equals it with A-Z and a-z equal; from the first part found
// in neither form on, rest is kept as written.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "install/folder_system.h"
#include "install/replace_decision.h"

namespace kest {

constexpr char kPlanWindowsFolder[] = "<windows>";
constexpr char kPlanSystemFolder[] = "<system>";
constexpr char kPlanHostFolder[] = "<host>";

class TargetMachine : public FolderSystem, public DiskFileFacts {
 public:
  // Folders of this machine. destination: the installer's destination
  // folder, a full Windows path ("C:\Acme Widgets"), which the copy's
  // plain names are resolved below.
  TargetMachine(std::string drive, std::string windows, std::string system, std::string host,
                std::string destination)
      : drive_(std::move(drive)), windows_(std::move(windows)), system_(std::move(system)),
        host_(std::move(host)), destination_(std::move(destination)) {}

  // The file of this machine that an installer path names.
  std::string HostPath(const std::string& installer_path) const;
  // A folder of this machine found the way HostPath finds the parts of a
  // path, below base.
  static std::string FindBelow(const std::string& base, const std::string& relative);

  bool Exists(const std::string& installer_path) const;
  // Windows' read-only attribute: no write permission for anyone.
  bool IsReadOnly(const std::string& installer_path) const;

  // What the installer will have done to a file by the time a later rule
  // looks at it: removed (an obsolete file), or written by an earlier
  // entry of the pack with that entry's version and time.
  void MarkRemoved(const std::string& installer_path);
  void MarkWritten(const std::string& installer_path, const EntryStamp& entry);

  // FolderSystem: the three folders are the placeholders; the current
  // folder is the destination. Nothing is created or removed: the write
  // test of a folder succeeds when this machine's folder allows writing.
  bool GetSystemFolder(char (&out)[kPathChars]) override;
  bool GetWindowsFolder(char (&out)[kPathChars]) override;
  bool GetCurrentFolder(char (&out)[kPathChars]) override;
  bool GetAttributes(const char* path, uint32_t* attributes) override;
  uint32_t CreateFolder(const char* path) override;
  uint32_t RemoveFolder(const char* path) override;
  uint32_t CreateTempFile(const char* folder, const char* prefix,
                          char (&out)[kPathChars]) override;
  uint32_t RemoveFile(const char* path) override;

  // DiskFileFacts: the version resource read by kestpack's PE reader, and
  // the modification time as a Windows file time.
  FileVersion GetFileVersion(const char* path) override;
  bool GetLastWriteTime(const char* path, uint64_t* time) override;

 private:
  std::string drive_, windows_, system_, host_, destination_;
  std::set<std::string> removed_;              // by HostPath
  std::map<std::string, EntryStamp> written_;  // by HostPath
};

}  // namespace kest
