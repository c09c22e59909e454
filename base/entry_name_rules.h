// The rules a relative path inside a package must keep so that, joined to
// the folder it belongs in, it can only name a plain file below that
// folder: entry names (after their folder token) and obsolete-file lines.
// kestpack applies them when it builds a package; the installer applies
// them again before it touches the disk, since only the signature vouches
// for a package and a signed package may still hold any name.
//
// The text is read byte by byte, with '\' and '/' both separating parts.
// In a double-byte code page a trail byte can look like a separator; the
// rules then see more parts than Windows does, which can refuse such a
// name but never lets a refused one through (kestpack packs only ASCII).
#pragma once

namespace kest {

enum class EntryNameFault {
  kNone,
  kEmpty,              // no text at all (or a folder token alone)
  kLeadingSeparator,   // "\x", "/x": absolute, from the drive's root
  kColon,              // "c:x", "x:stream": a drive or an NTFS stream
  kForbiddenChar,      // a control character (0x01-0x1F, 0x7F) or < > " | ? *
  kEmptyPart,          // "a\\b", "a\": a doubled or trailing separator
  kDotPart,            // "." or "..": the same folder or the one above
  kTrailingDotOrBlank, // "x.", "x ": Windows drops them, so two names meet
  kDeviceName,         // CON, PRN, AUX, NUL, COM1-9, LPT1-9, any extension
  kSlash,              // '/' where only '\' may separate (obsolete lines)
};

// The folder tokens that send an entry to a well-known folder, each a
// prefix of the (lower-cased) entry name, tested in this order.
constexpr char kSystemToken[] = "_winsys";
constexpr char kWindowsToken[] = "_win";
constexpr char kScribaToken[] = "_scriba";

// The part of an entry name that names a path below its folder: after a
// folder token (letter case aside, as the installer lower-cases names) and
// one separator that follows it; the whole name when it has no token.
const char* SkipFolderToken(const char* name);

// The first rule that the entry name (NUL-terminated) breaks after its
// folder token, or kNone.
EntryNameFault FindEntryNameFault(const char* name);

// An obsolete-file line, to which no folder token applies: the same rules
// on the whole line, and no '/' (the line is joined to the destination
// folder as written, where '\' is the separator).
EntryNameFault FindObsoleteLineFault(const char* line);

// A short English text for the fault, for kestpack's messages.
const char* DescribeEntryNameFault(EntryNameFault fault);

}  // namespace kest
