// Self-registration: the libraries and controls of the pack register
// themselves through their own entry points, looked up by name, each
// __stdcall and returning a 32-bit status whose negative values mean
// failure:
//
//   registration                      unregistration
//   DllInstallInit(context)           DllInstallInit(context)
//   DllRegisterServer()               DllUnregisterServer()
//   DllInstallShutdown()              DllInstallShutdown()
//
// Every one is optional. A component is loaded only by its full path (a name
// relative to the current directory is made full against it first), with
// the altered search path so that the libraries it needs come from its own
// folder; the DLL search order can never put another file in its place. The
// library is unloaded before the next file is looked at, whatever its entry
// points returned. The delete-at-zero flag, which a component may set in the
// context object for its own shared files, is cleared after each library's
// calls. What an entry point does inside, or a component that crashes or
// never returns, is beyond the installer's control.
#pragma once
#include <cstdint>

#include "install/held_files_win32.h"
#include "install/installer_context_win32.h"
#include "install/progress.h"
#include "manifest/string_list.h"

namespace kest {

// True when the path ends in ".dll" or ".ocx" (compared exactly: the file
// copy lower-cases every target path, so ".DLL" never counts) and the
// string table of the first translation in its version resource holds a
// value "OLESelfRegister", whatever it holds. A missing file, or one
// without version resource or translation, does not count. The file is
// never loaded to find out, and a file whose bytes cannot hold the name
// (install/version_key_scan.h) is answered without the version library.
bool IsSelfRegistering(const char* path);

// The registration pass, after the file copy. Nothing at all with the
// no-registration bit (/N) in options. Otherwise, with the context bit
// (/NP) the context gets option kContextOptionNp; then for each name of
// installed_files in order: "Configuring <name>" on the status line, and
// for a self-registering file the registration sequence with its log
// lines. A library that cannot be loaded, and a negative DllRegisterServer,
// are reported as 0x8040F005 ("Ignore" only, the detail the name) and stay
// pending; the negative DllRegisterServer also sets the registration-failed
// bit in options. The results of DllInstallInit and DllInstallShutdown are
// not looked at. Always true: a component's failure never ends the
// installation, and the list is only read.
// held: the libraries the copy holds open (or null); each is let go once
// its registration is over.
bool RegisterInstalledFiles(uint32_t& options, const StringList& installed_files,
                            InstallerContext& context, Progress& progress,
                            HeldFiles* held = nullptr);

// How UnregisterLibrary is used: before an obsolete file is deleted, or
// before a file of the package replaces it.
enum class UnregisterForm { kObsoleteFile, kReplacement };

// The unregistration sequence for path. A library that cannot be loaded is
// left alone, unreported. A negative result of any entry point is reported
// as 0x8040F005 and cleared at once. In the replacement form, when the file
// is in use and the replace-now flag is clear after DllInstallInit (the old
// copy will be replaced at the next restart), DllUnregisterServer is not
// called. True when the library was loaded and its unregistration step was
// taken (DllUnregisterServer called, or missing): the old copy may then be
// registered nowhere until its replacement is.
bool UnregisterLibrary(const char* path, InstallerContext& context, UnregisterForm form,
                       bool in_use);

}  // namespace kest
