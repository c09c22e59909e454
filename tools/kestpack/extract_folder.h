// The folder kestpack extract writes into, as the reader's file system.
//
// Whatever the folder holds already is untrusted: a symbolic link in it
// could lead a write anywhere. So the folder is opened once (it may itself
// be a link the user chose) and every path below it is walked from that
// handle one part at a time without following links: a link met on the
// way is an error, never followed. A file that exists is removed and
// created anew rather than written through, so a hard link to a file
// elsewhere keeps that file's contents.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/output_file.h"

namespace kest {

class ExtractFolder : public OutputFileSystem {
 public:
  ExtractFolder() = default;
  ~ExtractFolder() override;
  ExtractFolder(const ExtractFolder&) = delete;
  ExtractFolder& operator=(const ExtractFolder&) = delete;

  // Opens folder, creating it and its parents when missing. False with
  // *error ("folder: reason").
  bool Open(const std::string& folder, std::string* error);

  // The paths below are relative to the folder, parts separated by '/' or
  // '\'. Each operation returns 0 or an errno value and, on failure, sets
  // failure() to the path below the folder that failed and the reason.

  // Creates every folder of relative that does not exist yet.
  uint32_t MakeFolders(const std::string& relative);
  // Creates the file anew in its folder, which must exist.
  uint32_t Create(const char* path, std::unique_ptr<OutputFile>* file) override;
  uint32_t Delete(const char* path) override;

  // How the files made from now on read the time handed to their
  // SetDosTime: an MS-DOS local date and time (the default), or seconds
  // since 1970 UTC (the header time of archives made on Unix).
  void set_unix_times(bool unix_times) { unix_times_ = unix_times; }
  // The most the files made from now on may hold together; a write that
  // would pass it fails with EFBIG and sets output_limit_reached. None by
  // default.
  void set_output_limit(uint64_t bytes) { output_left_ = bytes; }
  bool output_limit_reached() const { return output_limit_reached_; }
  // For the files it makes: takes bytes from what the limit leaves; false
  // when they do not fit (nothing is taken).
  bool Spend(uint32_t bytes);
  // "folder/path: reason" for the last failed operation.
  const std::string& failure() const { return failure_; }

 private:
  // Opens the folder made of the first count parts (count < parts.size()
  // only skips the file's own name), walking from the folder's handle and
  // creating the missing ones when create. -1 on failure, with *code and
  // failure() set; parts holding "." or ".." are refused.
  int OpenFolder(const std::vector<std::string>& parts, size_t count, bool create,
                 uint32_t* code);
  uint32_t Fail(const std::string& relative, uint32_t code, const std::string& reason);

  int root_ = -1;
  std::string path_;
  bool unix_times_ = false;
  uint64_t output_left_ = UINT64_MAX;
  bool output_limit_reached_ = false;
  std::string failure_;
};

}  // namespace kest
