// The install benchmark's floor, run under Wine like the installers:
//   plain_copy SOURCE TARGET
// copies the unpacked corpus with CopyFileA (bench/copy_tree_win32.h).
// Exit code 0 when every file was copied.
#include <cstdio>

#include "bench/copy_tree_win32.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: plain_copy SOURCE TARGET\n");
    return 2;
  }
  return kest::bench::CopyTree(argv[1], argv[2]) ? 0 : 1;
}
