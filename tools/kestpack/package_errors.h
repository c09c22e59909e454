// Plain-language texts for a package reader's error word and for the
// reasons a signature check fails.
#pragma once
#include <cstdint>
#include <string>

#include "verify/signature_check.h"

namespace kest {

// Names every known code ORed into word, e.g. "header CRC mismatch (0x400B)".
std::string DescribeReaderError(uint32_t word);
std::string DescribeVerdict(SignatureVerdict verdict);

}  // namespace kest
