// Entry names: the relative paths under which files travel in a package.
// The installer puts each one below a destination folder (or the folder a
// leading token such as _winsys names), so a name must not be able to leave
// that folder or name something other than a plain file on Windows.
#pragma once
#include <string>
#include <vector>

namespace kest {

// Checks a relative path whose parts are separated by '/' or '\' with the
// rules the installer applies again (base/entry_name_rules.h), after the
// folder token, and refuses names longer than 259 bytes; false with
// *reason set. A folder token alone ("_win") passes: it is the name of the
// pack's top folder that holds the token's files.
bool CheckEntryName(const std::string& name, std::string* reason);

// For a name kestpack puts into a package: CheckEntryName, and no byte
// above 0x7F. The installer creates its files through the ANSI calls, so
// such a byte means a different letter under each code page (the UTF-8 of
// "e acute" is two letters in Windows-1252), and its lower-casing differs
// too; only ASCII names arrive as they were packed.
bool CheckPackedName(const std::string& name, std::string* reason);

// The name as the installer compares it: '/' as '\', A..Z as a..z.
std::string FoldEntryName(const std::string& name);

// A file on its way into a package: its entry name and where it comes from.
struct NamedInput {
  std::string name;
  std::string path;
};

// False with *error naming both files when two names fold to the same
// entry name (the manifests included: a file called cpack.ini in the pack
// folder would meet the component manifest), since the installer would
// write one over the other.
bool CheckDistinctNames(const std::vector<NamedInput>& inputs, std::string* error);

}  // namespace kest
