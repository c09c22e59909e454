#include "tools/kestpack/printable_text.h"

#include <gtest/gtest.h>

namespace kest {
namespace {

TEST(PrintableText, EscapesWhatCouldDriveOrFoolATerminal) {
  struct {
    std::string text;
    std::string shown;
  } const kCases[] = {
      {"help\\grid.txt", "help\\grid.txt"},
      {"\x1b[2Jx\r\n\t\x7f", "\\x1B[2Jx\\x0D\\x0A\\x09\\x7F"},
      {"caf\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x93\x81", "caf\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x93\x81"},
      {"caf\xE9.txt", "caf\\xE9.txt"},                         // Windows-1252, not UTF-8
      {"\xC2\x9B" "31m", "\\xC2\\x9B31m"},                     // the C1 control CSI
      {"a\xE2\x80\xAEtxt.exe", "a\\xE2\\x80\\xAEtxt.exe"},    // right-to-left override
      {"\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80", "\\xC0\\xAF\\xED\\xA0\\x80\\xF4\\x90\\x80\\x80"},
      {"cut \xE6\x97", "cut \\xE6\\x97"},
      {std::string("nul\0x", 5), "nul\\x00x"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Printable(c.text), c.shown) << c.shown;
}

}  // namespace
}  // namespace kest
