/* Loads the library named on its command line by its bare name, as a
   careless program would: the DLL search order decides which file that is.
   Exit code 0 when a library was loaded. */
#include <windows.h>

int main(int argc, char **argv) {
  return argc == 2 && LoadLibraryA(argv[1]) != NULL ? 0 : 1;
}
