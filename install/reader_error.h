// Reporting what stopped a package reader, for every step that reads the
// package (opening it, the manifests, the copy pass).
#pragma once
#include <cstdint>

namespace kest {

// Reports a package reader's error word: an install code as it is, anything
// else through MapSystemError. 0 and the reader's end of archive are not
// reported. A detail gets the File: label. Returns true when the user chose
// Try Again.
bool ReportReaderError(uint32_t error_word, const char* detail, uint32_t buttons);

}  // namespace kest
