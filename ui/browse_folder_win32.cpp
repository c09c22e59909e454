#include "ui/browse_folder_win32.h"

namespace kest {

// No picker yet: the folder comes back as it went in.
void BrowseForFolder(HWND owner, char* folder) {
  (void)owner;
  (void)folder;
}

}  // namespace kest
