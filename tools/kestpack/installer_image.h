// The installer's file around its archive:
//
//   0 .. A      the stub's image up to the end of its last section; the
//               archive offset slot in it holds A
//   A .. A+L    the archive; its main header's Qel1 value holds L
//   A+L .. end  the trailer: the 144-byte signature record over 0 .. A+L-1,
//               and optionally the 404-byte second record over 0 .. A+L-1
//               and the first record (verify/modern_record.h)
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kest {

// Cuts the stub at the end of its last section (anything after it, such as
// a debugging symbol table, is left out) and writes that offset into the
// stub's archive offset slot. Fails when the stub is not a PE image or has
// no slot, or more than one, before that offset.
bool PrepareInstallerImage(const std::vector<uint8_t>& stub, std::vector<uint8_t>* image,
                           std::string* error);

// How a file holds a package.
struct PackageLayout {
  bool installer;           // an installer image with an archive, else a bare archive
  uint32_t archive_offset;  // A; 0 for a bare archive
};

// Recognises an installer (a PE image whose slot points past the slot, at
// or before the end of the file) or a bare ARJ archive (starting with the
// header id 60 EA). head is the start of the file (at least its PE headers
// and image), file_size the whole file's size.
bool FindPackageLayout(const uint8_t* head, size_t head_size, uint64_t file_size,
                       PackageLayout* layout, std::string* error);

}  // namespace kest
