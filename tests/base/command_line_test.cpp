#include "base/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/install_codes.h"
#include "base/install_options.h"
#include "base/text_limits.h"

namespace kest {
namespace {

struct Parsed {
  uint32_t result;
  uint32_t options;
  std::string destination;
  std::string context;
};

Parsed Parse(std::string line) {
  std::string text = line;
  char destination[kPathChars];
  char context[kPathChars] = "before";
  strcpy(destination, kDefaultDestination);
  uint32_t options = 0xDEAD;
  uint32_t result = ParseCommandLine(&text[0], &options, destination, context);
  return {result, options, destination, context};
}

constexpr uint32_t kBad = kCodeBadCommandLine;
constexpr uint32_t kUi = kUiLevelFull;
constexpr uint32_t kGiven = kStateFolderGiven;
const std::string kDefault = kDefaultDestination;

struct Case {
  const char* line;
  uint32_t result;
  uint32_t options;
  std::string destination;
  std::string context;
};

TEST(ParseCommandLine, Table) {
  const Case cases[] = {
      {"", 0, kUi, kDefault, "before"},
      {"   \t, ", 0, kUi, kDefault, "before"},
      // UI level
      {"/U0", 0, 0, kDefault, "before"},
      {"-U", 0, 0, kDefault, "before"},
      {"+U0", 0, 0, kDefault, "before"},
      {"/U", 0, kUi, kDefault, "before"},
      {"+U", 0, kUi, kDefault, "before"},
      {"-U /u", 0, kUi, kDefault, "before"},
      {"/U1", kBad, kUi, kDefault, "before"},
      // separators and several switches
      {"/L,/F", 0, kUi | kOptionLogBit | kOptionKeepFolder, kDefault, "before"},
      {"/l\t/f", 0, kUi | kOptionLogBit | kOptionKeepFolder, kDefault, "before"},
      {"/Lxyz /Fabc", 0, kUi | kOptionLogBit | kOptionKeepFolder, kDefault, "before"},
      // folders
      {"c:\\a c:\\b", 0, kUi | kGiven, "c:\\b", "before"},
      {"\"c:\\my dir\" /L", 0, kUi | kGiven | kOptionLogBit, "c:\\my dir", "before"},
      {"/L \"c:\\my dir\"", 0, kUi | kGiven | kOptionLogBit, "c:\\my dir", "before"},
      {"\"x\"", 0, kUi | kGiven, "\"x\"", "before"},
      {"\"c:\\x", kBad, kUi, kDefault, "before"},
      {"/L c:\\x\"", kBad, kUi, kDefault, "before"},
      // context text
      {"/I:abc", 0, kUi, kDefault, "abc"},
      {"/I=abc", 0, kUi, kDefault, "abc"},
      {"/Iabc", 0, kUi, kDefault, "abc"},
      {"/I abc", 0, kUi, kDefault, "abc"},
      {"-I abc", 0, kUi, kDefault, "abc"},
      {"/I::abc", 0, kUi, kDefault, ":abc"},
      {"/I: abc", 0, kUi | kGiven, "abc", ""},
      {"/I= /L", 0, kUi | kOptionLogBit, kDefault, ""},
      {"/I", 0, kUi, kDefault, "before"},
      {"/I /L", 0, kUi, kDefault, "/L"},
      // N and NP
      {"/N", 0, kUi | kOptionNoRegistration, kDefault, "before"},
      {"/NP", 0, kUi | kOptionContextBit, kDefault, "before"},
      {"/nP", 0, kUi | kOptionContextBit, kDefault, "before"},
      {"/NPxyz", 0, kUi | kOptionContextBit, kDefault, "before"},
      {"/np", kBad, kUi, kDefault, "before"},
      {"/Nx", kBad, kUi, kDefault, "before"},
      // R, unknown letters, lone switch characters
      {"/R", 0, kUi, kDefault, "before"},
      {"/Rxyz", 0, kUi, kDefault, "before"},
      {"/Q", kBad, kUi, kDefault, "before"},
      {"/", kBad, kUi, kDefault, "before"},
      {"- /L", kBad, kUi, kDefault, "before"},
      // set and clear
      {"+D", 0, kUi | kOptionDeletePrereqs, kDefault, "before"},
      {"/D", 0, kUi | kOptionDeletePrereqs, kDefault, "before"},
      {"/D -D", 0, kUi, kDefault, "before"},
      {"/L -L /F", 0, kUi | kOptionKeepFolder, kDefault, "before"},
      // bits of valid switches before an invalid one are kept; none after it
      {"/L /F /Q /D", kBad, kUi | kOptionLogBit | kOptionKeepFolder, kDefault, "before"},
      {"/U0 /Q", kBad, 0, kDefault, "before"},
      {"/Q /U0", kBad, kUi, kDefault, "before"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Parsed p = Parse(c.line);
    EXPECT_EQ(p.result, c.result);
    EXPECT_EQ(p.options, c.options);
    EXPECT_EQ(p.destination, c.destination);
    EXPECT_EQ(p.context, c.context);
  }
}

TEST(ParseCommandLine, FolderLengthLimits) {
  // 259 characters fit the folder buffer with its terminator.
  std::string fits(kPathChars - 1, 'a');
  Parsed p = Parse("\"" + fits + "\" /L");
  EXPECT_EQ(p.result, 0u);
  EXPECT_EQ(p.destination, fits);
  EXPECT_EQ(p.options, kUi | kGiven | kOptionLogBit);
  p = Parse("/L " + fits);
  EXPECT_EQ(p.result, 0u);
  EXPECT_EQ(p.destination, fits);

  // A longer folder token is cut to the buffer (the install sequence then
  // refuses the folder for its length). A quoted part that long is not
  // taken as a quoted folder: it stays in the text, and its token, quote
  // characters included, is cut the same way.
  const std::string too_long(kPathChars, 'b');
  const struct {
    std::string line;
    std::string destination;
    uint32_t options;
  } longer[] = {
      {"/L " + too_long + " /F", std::string(kPathChars - 1, 'b'),
       kUi | kGiven | kOptionLogBit | kOptionKeepFolder},
      {"\"" + too_long + "\"", "\"" + std::string(kPathChars - 2, 'b'), kUi | kGiven},
  };
  for (const auto& c : longer) {
    SCOPED_TRACE(c.line.substr(0, 8));
    p = Parse(c.line);
    EXPECT_EQ(p.result, 0u);
    EXPECT_EQ(p.destination, c.destination);
    EXPECT_EQ(p.options, c.options);
  }
}

TEST(ParseCommandLine, OverlongContextTextIsRefused) {
  std::string fits(kPathChars - 1, 'c');
  Parsed p = Parse("/I:" + fits);
  EXPECT_EQ(p.result, 0u);
  EXPECT_EQ(p.context, fits);

  p = Parse("/L /I " + std::string(kPathChars, 'c'));
  EXPECT_EQ(p.result, kBad);
  EXPECT_EQ(p.options, kUi | kOptionLogBit);
}

}  // namespace
}  // namespace kest
