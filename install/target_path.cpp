#include "install/target_path.h"

#include <cstring>

#include "base/ansi_chars.h"
#include "base/entry_name_rules.h"
#include "base/install_codes.h"
#include "base/path_text.h"
#include "install/folder_creation.h"

namespace kest {
namespace {

constexpr size_t kSystemTokenChars = sizeof(kSystemToken) - 1;
constexpr size_t kWindowsTokenChars = sizeof(kWindowsToken) - 1;
constexpr size_t kScribaTokenChars = sizeof(kScribaToken) - 1;

bool BeginsWith(const char* text, const char* prefix, size_t prefix_chars) {
  return strncmp(text, prefix, prefix_chars) == 0;
}

// Builds a path in a kPathChars buffer. Text that does not fit is not
// written; fits() then stays false for good.
class PathBuilder {
 public:
  explicit PathBuilder(char (&out)[kPathChars]) : out_(out) { out_[0] = '\0'; }

  void Append(const char* text) {
    for (; *text != '\0'; ++text) Put(*text);
  }
  // A backslash unless the path already ends in one.
  void AppendSeparator() {
    if (!EndsInBackslash()) Put('\\');
  }
  // A folder's rest of name after a token: a "\" at the start of rest is
  // dropped when the folder already ends in one (a drive root).
  void AppendRest(const char* rest) {
    if (*rest == '\\' && EndsInBackslash()) ++rest;
    Append(rest);
  }
  bool fits() const { return fits_; }

 private:
  // By characters: the trail byte of a double-byte character is no separator.
  bool EndsInBackslash() const {
    return EndsInSeparator(out_);
  }
  void Put(char c) {
    if (!fits_ || length_ + 1 >= kPathChars) {
      fits_ = false;
      return;
    }
    out_[length_++] = c;
    out_[length_] = '\0';
  }

  char* out_;
  size_t length_ = 0;
  bool fits_ = true;
};

}  // namespace

TargetResolver::TargetResolver(FolderSystem& folders, const char* scriba_folder)
    : folders_(folders) {
  if (scriba_folder != nullptr && !CopyText(scriba_, sizeof(scriba_), scriba_folder)) {
    scriba_[0] = '\0';
  }
}

const char* TargetResolver::Kept(KeptFolder& folder,
                                 bool (FolderSystem::*get)(char (&)[kPathChars])) {
  if (!folder.asked) {
    folder.asked = true;
    folder.known = (folders_.*get)(folder.path) && folder.path[0] != '\0';
  }
  return folder.known ? folder.path : nullptr;
}

bool TargetResolver::ScribaUsable() {
  if (scriba_state_ == 0)
    scriba_state_ = scriba_[0] != '\0' && IsFolderWritable(folders_, scriba_) ? 1 : 2;
  return scriba_state_ == 1;
}

InstallCode TargetResolver::ResolveTargetPath(const char* name, char (&out)[kPathChars],
                                              const char* base_folder, bool* began_with_token) {
  PathBuilder path(out);
  bool missing = false;  // the system did not give the folder the name needs
  const bool scriba = BeginsWith(name, kScribaToken, kScribaTokenChars);
  bool token = true;
  if (BeginsWith(name, kSystemToken, kSystemTokenChars)) {
    if (const char* folder = Kept(system_, &FolderSystem::GetSystemFolder)) {
      path.Append(folder);
      path.AppendRest(name + kSystemTokenChars);
    } else {
      missing = true;
    }
  } else if (BeginsWith(name, kWindowsToken, kWindowsTokenChars)) {
    if (const char* folder = Kept(windows_, &FolderSystem::GetWindowsFolder)) {
      path.Append(folder);
      path.AppendRest(name + kWindowsTokenChars);
    } else {
      missing = true;
    }
  } else if (scriba && ScribaUsable()) {
    const char* rest = name + kScribaTokenChars;
    path.Append(scriba_);
    path.AppendSeparator();
    // The character after the token stands for its separator and is
    // skipped whatever it is; a bare token has none, and nothing is read
    // past its end.
    path.Append(*rest != '\0' ? rest + 1 : rest);
  } else {
    // Below the base: a plain name whole, a host product's file in the
    // "include" folder.
    token = scriba;
    char current[kPathChars];
    const char* base = base_folder;
    if (base == nullptr || base[0] == '\0') {
      base = folders_.GetCurrentFolder(current) && current[0] != '\0' ? current : nullptr;
    }
    if (base != nullptr) {
      path.Append(base);
      path.AppendSeparator();
      if (scriba) {
        path.Append("include");
        path.Append(name + kScribaTokenChars);
      } else {
        path.Append(name);
      }
    } else {
      missing = true;
    }
  }
  if (began_with_token != nullptr) *began_with_token = token;

  if (missing) {
    out[0] = '\0';
    return InstallCode(kCodeSystemError);
  }
  if (!path.fits()) {
    out[0] = '\0';
    return InstallCode(kCodeInvalidFolder);
  }
  return InstallCode();
}

InstallCode TargetResolver::ResolveEntryTarget(const char* name, char (&out)[kPathChars]) {
  const InstallCode code = ResolveTargetPath(name, out, nullptr);
  if (code.ok()) LowerAnsiText(out);
  return code;
}

}  // namespace kest
