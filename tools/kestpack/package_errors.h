// Plain-language texts for a package reader's error word and for the
// reasons a signature check fails.
#pragma once
#include <cstdint>
#include <string>

#include "verify/signature_check.h"

namespace kest {

// Names the reader code in word, e.g. "CRC mismatch (0x400B)", or the
// system error code of a file operation in words ("disk full", "is a
// folder").
std::string DescribeReaderError(uint32_t word);
std::string DescribeVerdict(SignatureVerdict verdict);

}  // namespace kest
