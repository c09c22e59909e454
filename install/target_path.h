// Target paths of package entries, and the folder tokens that send an
// entry to a well-known folder of the machine.
//
// An entry name is a package path, lower case with "\" separators. Its
// first characters may be a folder token, compared case-sensitively and in
// this order:
//
//   name begins with  goes to                          then appended
//   "_winsys"         the Windows system folder        the rest after the token
//   "_win"            the Windows folder               the rest after the token
//   "_scriba"         the host product's folder        the rest after the token
//                     (known and writable), or           and the character after it
//                     <base>\include otherwise         the rest after the token
//   (anything else)   <base>                           "\" and the whole name
//
// Tokens are plain prefixes: "_window.ini" begins with "_win". The base is
// the folder the caller names, or the current directory (the destination
// folder during the copy) when it names none.
//
// Every result fits a kPathChars buffer or is refused: a path that would
// need more is an error of its entry, never a cut or an overrun.
#pragma once
#include <cstdint>

#include "base/install_codes.h"
#include "base/text_limits.h"
#include "install/folder_system.h"

namespace kest {

class TargetResolver {
 public:
  // scriba_folder: the host product's folder, or null or empty when the
  // product is not installed; copied. A folder that does not fit counts as
  // not known.
  TargetResolver(FolderSystem& folders, const char* scriba_folder);
  TargetResolver(const TargetResolver&) = delete;
  TargetResolver& operator=(const TargetResolver&) = delete;

  // Writes the target path of the package name into out. base_folder: the
  // folder for plain names and the "include" folder; null or empty for the
  // current directory. *began_with_token (when given) says whether the name
  // began with a token.
  //
  // Returns success, or with out empty (nothing is logged; the caller reports):
  //   kCodeInvalidFolder  the path would be longer than kPathChars - 1
  //   kCodeSystemError    the system gives no system folder, Windows
  //                       folder or current directory, and the name needs it
  //
  // The system and Windows folders are asked for once and kept, and so is
  // the write test of the host product's folder: its answer holds for the
  // resolver's life.
  InstallCode ResolveTargetPath(const char* name, char (&out)[kPathChars],
                                const char* base_folder, bool* began_with_token = nullptr);

  // The copy pass's form: below the current directory, lower-cased with the
  // system's ANSI rules.
  InstallCode ResolveEntryTarget(const char* name, char (&out)[kPathChars]);

 private:
  // A kept folder of the system: asked for at the first need.
  struct KeptFolder {
    bool asked = false;
    bool known = false;
    char path[kPathChars] = {};
  };
  const char* Kept(KeptFolder& folder, bool (FolderSystem::*get)(char (&)[kPathChars]));
  bool ScribaUsable();

  FolderSystem& folders_;
  char scriba_[kPathChars] = {};
  int scriba_state_ = 0;  // 0 not tested yet, 1 usable, 2 not usable
  KeptFolder system_, windows_;
};

}  // namespace kest
