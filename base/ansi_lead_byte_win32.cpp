#include <windows.h>

#include "base/ansi_chars.h"

namespace kest {

bool IsAnsiLeadByte(char c) { return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE; }

}  // namespace kest
