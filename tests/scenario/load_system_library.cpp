// Loads the system library named on its command line the way the installer
// does (the DLL search restricted first, then the library by its full path
// in the system folder). A console program that imports nothing beyond
// KERNEL32, so that no library of the system loads any other one for it
// before it starts. Exit code 0 when the library was loaded.
#include "base/system_api_win32.h"

int main(int argc, char** argv) {
  kest::RestrictDllSearch();
  return argc == 2 && kest::LoadSystemLibrary(argv[1]) != nullptr ? 0 : 1;
}
