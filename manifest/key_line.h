// Key lines of the manifests: "Key<anything>=value".
//
// The key is the first name of the manifest's key table that begins the
// line, letters A-Z and a-z equal (so "Sourcefile=x" is Source). Whatever
// stands between the name and the first '=' is skipped unchecked. The value
// runs from after the '=' to the line's end and must not be empty (blanks
// only is not empty). Each key then applies its own rules:
//
//   key                       leading blanks   ':' split            limit
//   Name Product Version      skipped          -                    -
//     Copyright
//   Registry                  kept (both)      key path : value     -
//   Default                   skipped          -                    259
//   OverwriteAlways           skipped          -                    -
//   File1..4                  kept             -                    259
//   Version1..4               kept             -                    -
//   Source                    skipped (both)   file : arguments     259 (file)
//   Platform                  skipped          -                    -
//
// Trailing blanks are cut from the value or, when it is split, from the
// part before the ':' only. "limit" is the longest text, in bytes, that a
// key naming a path may hold: such texts end up in 260-byte path buffers,
// and a longer one is refused rather than silently cut.
//
// A rejected line is left exactly as it was, so it can be shown. A line
// that is taken is cut in place and the record points into it; a key given
// twice keeps the later value.
#pragma once

#include "manifest/manifest_records.h"

namespace kest {

enum class KeyLineFault {
  kNone,          // a field was set
  kUnknownKey,    // no key name begins the line
  kNoEquals,      // no '=' after the key name
  kEmptyValue,    // nothing after the '='
  kValueTooLong,  // a path value of 260 bytes or more
};

// A short English description of fault, for tools.
const char* DescribeKeyLineFault(KeyLineFault fault);

// line: from its first non-blank character, NUL-terminated, writable.
KeyLineFault ParseComponentKeyLine(char* line, ComponentRecord* record);
KeyLineFault ParseDependencyKeyLine(char* line, DependencyRecord* record);

}  // namespace kest
