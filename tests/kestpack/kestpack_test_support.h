// Fixtures for kestpack's end-to-end tests: a small pack made by code, runs
// of the kestpack binary, and the pieces of a built installer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tests/archive/archive_test_support.h"

namespace kest {
namespace test {

struct SampleFile {
  std::string name;  // relative path, '/' between folders
  Bytes data;
  int64_t mtime;     // seconds since 1970, UTC
};

// The sample pack: manifests and a folder with text, random data, an empty
// file, nested folders, a folder token and a DLL with a version resource.
std::vector<SampleFile> SamplePackFiles();

// Writes the manifests (CPACK.INI, CPACK.INF) and the folder "pack" under
// root, every file with its modification time.
void WritePack(const std::string& root, const std::vector<SampleFile>& files);
void SetMtime(const std::string& path, int64_t seconds);

// Runs the kestpack binary with args (a shell-quoted string); returns its
// exit status, stdout and stderr together in *output.
int Kestpack(const std::string& args, std::string* output = nullptr);

// "build" arguments for the pack written under root: the tiny stub, whose
// key slot is unfilled, and the test key pair.
std::string BuildArgs(const std::string& root, const std::string& out, bool archive_only);

// A bare archive written by the archive writer: each entry stored under
// its name exactly as given (the writer checks nothing a hostile archive
// would not break either).
Bytes StoredArchive(const std::vector<std::pair<std::string, Bytes>>& entries);

std::string Fixture(const std::string& name);

// Writes the tiny stub to path with the key of der_path in its public-key
// slot, as a stub built with -DKEST_PUBLIC_KEY carries it.
bool WriteStubWithKey(const std::string& path, const std::string& der_path);
std::string SourcePath(const std::string& relative);

// The layout of a built installer file.
struct InstallerParts {
  uint32_t archive_offset = 0;  // from the slot
  uint32_t archive_length = 0;  // from the main header's Qel1 value
};
bool SplitInstaller(const Bytes& file, InstallerParts* parts);

}  // namespace test
}  // namespace kest
