// The installer's command line.
//
//   kestinst [switches] [folder | "folder with blanks"]
//
// Tokens are separated by runs of blanks, tabs and commas. A token that
// starts with '-', '/' or '+' is a switch: '/' and '+' set the letter's
// option bits, '-' clears them. Any other token is the destination folder.
//
//   D   delete prerequisite installers after running them   0x8000
//   F   keep the destination folder (no registry lookup)      0x10
//   I   context text: I:value, I=value, Ivalue, or I value
//   L   write install.log into the destination folder        0x20
//   N   no self-registration (N alone)                       0x1000
//   NP  set the context object's option 1 (P upper case)     0x40
//   R   accepted, no effect
//   U   full user interface ('-U': silent); U0 silent
#pragma once
#include <cstdint>

namespace kest {

// Parses text in place (the quoted folder is cut out, tokens are split) and
// writes *options (also when it fails: the bits of the switches before the
// bad one are kept), destination and context_text (kPathChars buffers).
// Returns 0, or kCodeBadCommandLine for an unknown switch, a lone
// double-quote character, or an /I value longer than the context text holds.
uint32_t ParseCommandLine(char* text, uint32_t* options, char* destination, char* context_text);

}  // namespace kest
