// The names and the command line of a prerequisite install: another
// installer that a dependency names by its Source value, "file" or
// "file:arguments", the file below this installer's folder.
//
//   arguments   command line
//   given       <program> <arguments>
//   none        <program> /u0 "<destination>"[ /f][ /l]
//
// The second form is this installer's own syntax: a silent run into the
// same destination folder, with the keep-folder (/f) and log (/l) switches
// passed on when this run has them. <program> is the program's path as it
// is, or between double quotes when it holds a blank: a child that skips
// its own name up to the first blank outside quotes (this installer does)
// would otherwise take the rest of the path for a folder argument.
//
// Every text is built whole or refused; none is ever cut, so that a long
// name can never turn into another program's name.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/text_limits.h"

namespace kest {

// The command line's room, terminator included. The log lines that carry it
// ("Returned from prerequisite install: "...") keep it whole within a
// kTextBytes line after the timestamp.
constexpr size_t kCommandLineChars = 900;

// installer_folder (ending in "\") followed by source_file. False when it
// would not fit.
bool MakePrerequisitePath(const char* installer_folder, const char* source_file,
                          char (&out)[kPathChars]);

// The program to run: the path itself, or the path and ".exe" when the path
// holds no '.' anywhere (its folders included), in which case *rename is set
// and the file is to be renamed to that name first. False when the name
// with ".exe" would not fit.
bool MakeProgramPath(const char* path, char (&out)[kPathChars], bool* rename);

// The command line above; options is the run's options word (keep-folder
// and log bits). arguments null or empty selects the second form. False
// when it would not fit.
bool MakePrerequisiteCommandLine(const char* program, const char* arguments,
                                 const char* destination, uint32_t options,
                                 char (&out)[kCommandLineChars]);

}  // namespace kest
