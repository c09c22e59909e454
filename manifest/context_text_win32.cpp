#include "manifest/context_text_win32.h"

#include <windows.h>

namespace kest {

bool ConvertContextText(const char* text, wchar_t (&out)[kPathChars]) {
  // -1: the source runs to its NUL, which is converted too; a text that
  // needs more than kPathChars units makes the call fail.
  int units = MultiByteToWideChar(CP_ACP, 0, text, -1, out, static_cast<int>(kPathChars));
  if (units <= 0) {
    out[0] = L'\0';
    return false;
  }
  return true;
}

}  // namespace kest
