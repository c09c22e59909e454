// The options word of an install run (option bits set by the command line,
// state bits set as the run goes on) and the destination a run starts with.
// The run keeps both in its record; the command-line parser and the
// reporting rules read and write them.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kest {

constexpr uint32_t kOptionUiLevelMask = 0x3;       // 3 wizard, 0 silent
constexpr uint32_t kUiLevelFull = 3;
constexpr uint32_t kUiLevelSilent = 0;
constexpr uint32_t kOptionKeepFolder = 0x10;       // /F
constexpr uint32_t kOptionLogBit = 0x20;           // /L
constexpr uint32_t kOptionContextBit = 0x40;       // /NP
constexpr uint32_t kStateFolderPage = 0x100;       // folder page, not confirm page
constexpr uint32_t kStateInstalled = 0x200;
constexpr uint32_t kStateRestartNeeded = 0x400;
constexpr uint32_t kOptionNoRegistration = 0x1000; // /N
constexpr uint32_t kStateFolderGiven = 0x2000;     // destination from the command line
constexpr uint32_t kOptionDeletePrereqs = 0x8000;  // /D
constexpr uint32_t kStateRegistrationFailed = 0x10000;

constexpr char kDefaultDestination[] = "c:\\Morvane Components\\";

// The longest destination folder a run installs into, in characters: a
// longer one is refused, by the folder page or by a silent run.
constexpr size_t kLongestDestinationChars = 210;

}  // namespace kest
