// Character stepping and lower-casing in the system's ANSI code page.
//
// Text parsers (command line, manifests) step over whole characters so that
// a trail byte of a double-byte character is never taken for a separator.
// The Win32 build implements these with CharNextA, CharPrevA and CharLowerA;
// the host build, which only sees single-byte text, steps one byte at a time
// and lower-cases A to Z.
#pragma once

namespace kest {

// The character after p; p itself when p points at the terminating NUL.
char* NextAnsiChar(const char* p);
// The character before p, never before start; start when p == start.
char* PrevAnsiChar(const char* start, const char* p);
// True when c is the first byte of a double-byte character. Unlike the two
// above it needs only KERNEL32, for code that runs before any other system
// library may be loaded.
bool IsAnsiLeadByte(char c);
// Lower-cases text in place, as the system does for file names.
void LowerAnsiText(char* text);

}  // namespace kest
