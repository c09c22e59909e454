// The system libraries beyond KERNEL32, USER32 and GDI32, loaded at run time
// by their full path in the system folder.
//
// An installer is typically started from a downloads folder, where anyone
// can drop a DLL. A static import, or LoadLibrary by bare name, takes the
// first file of that name in the DLL search order, which begins with the
// installer's own folder; a full path cannot be redirected that way. Windows
// 95 has no call to restrict the search order, so the path is the defence on
// every family. The image therefore imports from KERNEL32, USER32 and GDI32
// only (scripts/check-image.sh keeps it so).
//
// Each table is filled on first use and kept for the process; the libraries
// stay loaded. A table is returned whole or not at all: null means the
// library or one of its functions could not be had, and the caller reports
// that like the failure of the call it wanted to make.
#pragma once
#include <windows.h>
#include <commdlg.h>

namespace kest {

// Where the running Windows has the calls (Windows 8, and earlier systems
// with their security updates), limits the DLL search of the whole process
// to the system folder and takes the current directory out of it, so that
// libraries the system loads on its own behalf cannot be planted either.
// Looked up at run time: older systems start without them and rely on the
// full paths below. Called first thing at entry.
void RestrictDllSearch();

// Loads "<system folder>\<file_name>", with the libraries it needs searched
// from the system folder first; null when the path does not fit or the
// library cannot be loaded.
HMODULE LoadSystemLibrary(const char* file_name);

// advapi32: the registry calls.
struct RegistryApi {
  decltype(&RegOpenKeyExA) open_key;
  decltype(&RegCreateKeyExA) create_key;
  decltype(&RegCloseKey) close_key;
  decltype(&RegQueryValueExA) query_value;
  decltype(&RegSetValueExA) set_value;
  decltype(&RegDeleteValueA) delete_value;
  decltype(&RegEnumKeyExA) enum_key;
};
const RegistryApi* Registry();

// version.dll: version resources.
struct VersionApi {
  decltype(&GetFileVersionInfoSizeA) get_info_size;
  decltype(&GetFileVersionInfoA) get_info;
  decltype(&VerQueryValueA) query_value;
};
const VersionApi* Version();

// ole32: COM around the file installation.
struct ComApi {
  HRESULT(WINAPI* initialize)(LPVOID);
  void(WINAPI* uninitialize)();
};
const ComApi* Com();

// comdlg32: the file-open dialog, the folder picker on Windows NT.
struct CommonDialogApi {
  decltype(&GetOpenFileNameA) get_open_file_name;
};
const CommonDialogApi* CommonDialogs();

}  // namespace kest
