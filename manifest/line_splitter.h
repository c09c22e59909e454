// Cuts a manifest's working copy into lines, in place.
//
// Lines end at every run of LF, CR, VT and FF bytes; a run counts as one
// end, so CR LF, LF and CR endings all work and empty lines disappear. The
// first byte of each run is overwritten with NUL. The first NUL of the text
// ends it. The position lives in the splitter itself: several splitters may
// walk several texts at the same time.
#pragma once
#include <cstdint>

namespace kest {

class LineSplitter {
 public:
  // text: NUL-terminated and writable; it must outlive the splitter.
  explicit LineSplitter(char* text) : next_(text) {}

  // The next non-empty line, NUL-terminated in place, or nullptr at the end.
  char* Next();

  // The 1-based line number, as an editor counts lines (LF, CR LF or a
  // lone CR end a line), of the line Next returned last.
  uint32_t line_number() const { return line_number_; }

 private:
  char* next_;
  char cut_ = '\0';  // the delimiter overwritten after the previous line
  uint32_t line_number_ = 1;
};

}  // namespace kest
