// Plain-language texts for a package reader's error word and for the
// reasons a signature check fails.
#pragma once
#include <cstdint>
#include <string>

#include "verify/signature_check.h"

namespace kest {

// Names the word when it is one known reader or install code, e.g. "CRC
// mismatch (0x400B)", or the system error code of a file operation in
// words ("disk full", "is a folder"); any other word, such as several codes
// ORed together (which the bits cannot tell apart), as "error 0x...".
std::string DescribeReaderError(uint32_t word);
std::string DescribeVerdict(SignatureVerdict verdict);

}  // namespace kest
