#include "install/prerequisite_command.h"

#include <cstring>

#include "base/install_options.h"

namespace kest {
namespace {

// Appends to a fixed buffer; once a text does not fit, nothing more is
// written and ok() stays false.
template <size_t N>
class Builder {
 public:
  explicit Builder(char (&out)[N]) : out_(out) { out_[0] = '\0'; }
  Builder& Add(const char* text) {
    size_t chars = strlen(text);
    if (!ok_ || length_ + chars >= N) {
      ok_ = false;
      return *this;
    }
    memcpy(out_ + length_, text, chars + 1);
    length_ += chars;
    return *this;
  }
  bool ok() const { return ok_; }

 private:
  char* out_;
  size_t length_ = 0;
  bool ok_ = true;
};

}  // namespace

bool MakePrerequisitePath(const char* installer_folder, const char* source_file,
                          char (&out)[kPathChars]) {
  return Builder<kPathChars>(out).Add(installer_folder).Add(source_file).ok();
}

bool MakeProgramPath(const char* path, char (&out)[kPathChars], bool* rename) {
  *rename = strchr(path, '.') == nullptr;
  Builder<kPathChars> program(out);
  program.Add(path);
  if (*rename) program.Add(".exe");
  return program.ok();
}

bool MakePrerequisiteCommandLine(const char* program, const char* arguments,
                                 const char* destination, uint32_t options,
                                 char (&out)[kCommandLineChars]) {
  Builder<kCommandLineChars> line(out);
  // A blank in the program's path would end the program's name for the
  // child's command-line parser, and the rest of the path would become an
  // argument: such a path goes between double quotes.
  const bool quoted = strchr(program, ' ') != nullptr;
  if (quoted) line.Add("\"");
  line.Add(program);
  if (quoted) line.Add("\"");
  if (arguments != nullptr && *arguments != '\0') return line.Add(" ").Add(arguments).ok();
  line.Add(" /u0 \"").Add(destination).Add("\"");
  if ((options & kOptionKeepFolder) != 0) line.Add(" /f");
  if ((options & kOptionLogBit) != 0) line.Add(" /l");
  return line.ok();
}

}  // namespace kest
