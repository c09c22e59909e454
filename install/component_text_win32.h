// UTF-16 texts that components hand to the installer context object.
// A component may pass anything: a null or dangling pointer, or a text
// without a terminator. Nothing is read before the range is known to be
// readable, and nothing past max_length + 1 units.
#pragma once
#include <cstddef>

namespace kest {

// The length of text in units, without its terminator, into *length. False
// when the text cannot be read or is longer than max_length units.
bool MeasureComponentText(const wchar_t* text, size_t max_length, size_t* length);

}  // namespace kest
