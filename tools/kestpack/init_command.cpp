// kestpack init: commented templates of the two manifests, as a start for
// a vendor's own. kestpack build takes them as they are.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/kestpack/commands.h"
#include "tools/kestpack/host_files.h"

namespace kest {
namespace {

// CR LF endings, as the files are meant to be read on Windows too; the
// installer takes any line ending.
const char kComponentTemplate[] =
    "[Component1]\r\n"
    "; The component manifest (kestpack build --components). The installer\r\n"
    "; takes this file as such only when it begins with \"[Component\": keep\r\n"
    "; that first line first, with nothing before it. Lines that begin with\r\n"
    "; ';' are comments; key names are not case-sensitive.\r\n"
    ";\r\n"
    "; The welcome page shows the first component's Product.\r\n"
    "Name=Your Company\r\n"
    "Product=Your Product\r\n"
    "Version=1.0\r\n"
    "Copyright=Copyright (C) Your Company\r\n"
    ";\r\n"
    "; Files an earlier release installed and this one deletes before it\r\n"
    "; copies its own: one path a line, below the destination folder, with\r\n"
    "; '\\' between folders. Take the ';' off the header and the lines.\r\n"
    ";[ObsoleteFiles]\r\n"
    ";old\\readme.txt\r\n";

const char kDependencyTemplate[] =
    "[Dependencies]\r\n"
    "; The dependency manifest (kestpack build --dependencies). It must begin\r\n"
    "; with \"[Dependencies]\", nothing before it.\r\n"
    ";\r\n"
    "; The folder the installer proposes, and a silent run installs into,\r\n"
    "; when neither its command line nor an earlier installation names one.\r\n"
    "Default=C:\\Your Product\\\r\n"
    ";\r\n"
    "; Where an earlier installation keeps its folder: a key under\r\n"
    "; HKEY_LOCAL_MACHINE, ':', a value name. An upgrade installs there.\r\n"
    ";Registry=Software\\Your Company\\Your Product:InstallPath\r\n"
    ";\r\n"
    "; A prerequisite: its installer runs before anything is copied when a\r\n"
    "; file it provides is missing or older than the version given (File1\r\n"
    "; and Version1 up to File4 and Version4; a name may begin with the\r\n"
    "; folder tokens _win, _winsys or _scriba). Source names the installer,\r\n"
    "; a file beside this one; \"file:arguments\" passes arguments, without\r\n"
    "; them it gets this installer's own /u0 \"folder\". Platform, when\r\n"
    "; given, limits it to WIN_95, WIN_NT_35 or WIN_NT_40 (4.0 and later).\r\n"
    ";[Runtime]\r\n"
    ";File1=_winsys\\yourrt.dll\r\n"
    ";Version1=2.0\r\n"
    ";Source=yourrt.exe\r\n"
    ";Platform=WIN_NT_40\r\n";

// Creates path with text; never over an existing file. False with *error.
bool WriteNewFile(const std::string& path, const char* text, std::string* error) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = path + ": " + (errno == EEXIST ? "exists already; not overwritten"
                                            : DescribeSystemError(errno));
    return false;
  }
  const size_t size = strlen(text);
  const bool ok = write(fd, text, size) == ssize_t(size);
  const int code = errno;
  if (close(fd) != 0 || !ok) {
    unlink(path.c_str());
    *error = path + ": " + DescribeSystemError(ok ? errno : code);
    return false;
  }
  return true;
}

int RunInit(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!BeginCommand(kInitCommand, args, &parsed, &status)) return status;
  const std::string& folder = parsed.operands[0];
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    PrintError(folder + ": " + DescribeSystemError(errno));
    return kExitBadInput;
  }
  const std::string component = folder + "/CPACK.INI";
  const std::string dependency = folder + "/CPACK.INF";
  std::string error;
  // Both or neither: a template beside a vendor's own manifest would mislead.
  struct stat st;
  for (const std::string& path : {component, dependency}) {
    if (lstat(path.c_str(), &st) == 0) {
      PrintError(path + ": exists already; nothing written");
      return kExitBadInput;
    }
  }
  if (!WriteNewFile(component, kComponentTemplate, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  if (!WriteNewFile(dependency, kDependencyTemplate, &error)) {
    unlink(component.c_str());
    PrintError(error);
    return kExitBadInput;
  }
  printf("wrote %s and %s\n", component.c_str(), dependency.c_str());
  return kExitOk;
}

}  // namespace

const Subcommand kInitCommand = {
    "init",
    "FOLDER",
    {},
    "Writes commented templates of the two manifests, FOLDER/CPACK.INI (the\n"
    "component manifest) and FOLDER/CPACK.INF (the dependency manifest), for\n"
    "kestpack build --components and --dependencies. FOLDER is created when\n"
    "missing; an existing CPACK.INI or CPACK.INF is never overwritten (nothing\n"
    "is written then). The comments say what each key does; kestpack build\n"
    "takes the templates as they are.\n",
    nullptr,
    RunInit};

}  // namespace kest
