#include "install/component_text_win32.h"

#include <windows.h>

namespace kest {

bool MeasureComponentText(const wchar_t* text, size_t max_length, size_t* length) {
  // The probe stops at the first terminator or after max_length + 1 units,
  // so a readable text without a terminator is a long text, not a fault.
  const size_t window = max_length + 1;
  if (text == nullptr || IsBadStringPtrW(text, window)) return false;
  size_t n = 0;
  while (n < window && text[n] != L'\0') ++n;
  if (n > max_length) return false;
  *length = n;
  return true;
}

}  // namespace kest
