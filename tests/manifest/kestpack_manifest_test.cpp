// kestpack's view of the manifests: build refuses what the installer would
// report, and list shows the records as the installer builds them. Both
// subcommands run in this process on files the test writes.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/manifest/manifest_test_support.h"
#include "tools/kestpack/command_line.h"
#include "tools/kestpack/commands.h"
#include "tools/kestpack/manifest_report.h"

namespace kest {
namespace {

class KestpackManifests : public testing::Test {
 protected:
  KestpackManifests() {
    char pattern[] = "/tmp/kest-manifest-test-XXXXXX";
    dir_ = mkdtemp(pattern);
    mkdir(Path("pack").c_str(), 0755);
    Write("pack/readme.txt", "hello");
  }
  ~KestpackManifests() override {
    for (const char* name : {"CPACK.INI", "CPACK.INF", "pack/readme.txt", "out.arj"}) {
      unlink(Path(name).c_str());
    }
    rmdir(Path("pack").c_str());
    rmdir(dir_.c_str());
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void Write(const std::string& name, const std::string& text) const {
    FILE* f = fopen(Path(name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }
  // Runs a subcommand; its exit status, and what it printed.
  int Run(const Subcommand& command, const std::vector<std::string>& args, std::string* out,
          std::string* err) const {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = command.run(args);
    *out = testing::internal::GetCapturedStdout();
    *err = testing::internal::GetCapturedStderr();
    return status;
  }
  int Build(const std::string& component, const std::string& dependency, bool keep,
            std::string* err) {
    Write("CPACK.INI", component);
    Write("CPACK.INF", dependency);
    std::vector<std::string> args = {"-o",
                                     Path("out.arj"),
                                     "--archive-only",
                                     "--components",
                                     Path("CPACK.INI"),
                                     "--dependencies",
                                     Path("CPACK.INF"),
                                     Path("pack")};
    if (keep) args.insert(args.begin(), "--keep-manifest-faults");
    std::string out;
    return Run(kBuildCommand, args, &out, err);
  }

  std::string dir_;
};

TEST_F(KestpackManifests, ListShowsTheShippedManifestsAsTheInstallerReadsThem) {
  std::string err;
  ASSERT_EQ(Build(ShippedComponentManifest(), ShippedDependencyManifest(), false, &err), kExitOk)
      << err;
  EXPECT_EQ(err, "");

  std::string out;
  ASSERT_EQ(Run(kListCommand, {Path("out.arj")}, &out, &err), kExitOk) << err;
  std::string expected =
      "component manifest: entry 1\n"
      "  [Component1]\n"
      "    Name            \"Morvane Development\"\n"
      "    Product         \"Morvane Components Starter Pack\"\n"
      "    Version         \"1.1\"\n"
      "    Copyright       \"None\"\n"
      "  obsolete files: 30\n";
  for (const std::string& file : ShippedObsoleteFiles()) expected += "    \"" + file + "\"\n";
  expected +=
      "dependency manifest: entry 2\n"
      "  [Dependencies]\n"
      "    Registry        \"Software\\Morvane\\Morvane Components\\1.0\"\n"
      "    Registry value  \"LocalInstallPath\"\n"
      "    Default         \"C:\\Morvane Components\\\"\n";
  size_t at = out.find("component manifest:");
  ASSERT_NE(at, std::string::npos) << out;
  EXPECT_EQ(out.substr(at), expected);
}

TEST_F(KestpackManifests, BuildRefusesLinesTheInstallerWouldReport) {
  const std::string component = "[Component1]\r\nName=n\r\n";
  const std::string dependency = "[Dependencies]\r\nDefault=C:\\D\\\r\n";
  struct Case {
    const char* name;
    std::string component, dependency;
    bool keep;
    int status;
    std::vector<std::string> said;
  } cases[] = {
      {"clean", component, dependency, false, kExitOk, {}},
      {"unknown key and no '='",
       component,
       dependency + "Colour=red\r\n; c\r\nSource\r\n",
       false,
       kExitBadInput,
       {"CPACK.INF: line 3: unknown key: Colour=red",
        "CPACK.INF: line 5: no '=' after the key: Source", "--keep-manifest-faults"}},
      {"kept as warnings",
       "[Component1]\nName=\n",
       dependency,
       true,
       kExitOk,
       {"warning: " + Path("CPACK.INI") + ": line 2: empty value: Name="}},
      {"a folder too long for the installer",
       component,
       "[Dependencies]\nDefault=C:\\" + std::string(257, 'x') + "\n",
       false,
       kExitBadInput,
       {"line 2: path value longer than 259 characters"}},
      // The installer reports each of these and deletes nothing for it.
      {"obsolete files outside the destination",
       component + "[ObsoleteFiles]\r\nhelp\\old.hlp\r\n..\\victim.txt\r\nC:\\Windows\\win.ini\r\n"
                   "docs/old.txt\r\nhelp\\nul.hlp\r\n\\root.txt\r\n",
       dependency,
       false,
       kExitBadInput,
       {"CPACK.INI: line 5: obsolete file", "'.' or '..' part", ": ..\\victim.txt",
        "line 6: obsolete file", ": C:\\Windows\\win.ini", "line 7: obsolete file",
        "contains '/'", "line 8: obsolete file", "device name", "line 9: obsolete file",
        "starts with a separator"}},
      {"obsolete files kept as warnings",
       component + "[ObsoleteFiles]\r\n..\\victim.txt\r\n",
       dependency,
       true,
       kExitOk,
       {"warning: " + Path("CPACK.INI") + ": line 4: obsolete file"}},
      {"no signature: refused, the installer would go without both manifests",
       "\xEF\xBB\xBF" + component,
       dependency,
       false,
       kExitBadInput,
       {Path("CPACK.INI") + ": does not begin with \"[Component\"",
        Path("CPACK.INF") +
            ": will be installed as an ordinary file: the installer looks for it in "
            "the first entry"}},
      {"no signature, kept as warnings",
       "\xEF\xBB\xBF" + component,
       dependency,
       true,
       kExitOk,
       {"warning: " + Path("CPACK.INI") + ": does not begin with \"[Component\""}},
      {"the manifests swapped",
       dependency,
       component,
       false,
       kExitBadInput,
       {Path("CPACK.INF") + ": will be installed as an ordinary file: the installer takes " +
        Path("CPACK.INI") + " as the dependency manifest"}},
      {"values the installer takes but can never use",
       component,
       dependency +
           "Platform=Win64\r\nPlatform= WIN_NT_40 \r\nPlatform=win_95\r\n"
           "Registry=Software\\X\r\nRegistry=Software\\X:\r\nRegistry=Software\\X:Path\r\n"
           "Registry=:Path\r\n",
       false,
       kExitBadInput,
       {"CPACK.INF: line 3: not a platform name (WIN_95, WIN_NT_35 or WIN_NT_40, in capitals): "
        "Platform=Win64",
        "CPACK.INF: line 5: not a platform name (WIN_95, WIN_NT_35 or WIN_NT_40, in capitals): "
        "Platform=win_95",
        "CPACK.INF: line 6: not both a key path and a value name: write Registry=key "
        "path:value name: Registry=Software\\X",
        "CPACK.INF: line 7: not both", "CPACK.INF: line 9: not both"}},
      {"every platform name and a Registry with its value",
       component,
       "[Dependencies]\r\nRegistry=Software\\X:Path\r\n[A]\r\nPlatform=WIN_95\r\n"
       "[B]\r\nPlatform=WIN_NT_35\r\n[C]\r\nPlatform = WIN_NT_40\r\n",
       false,
       kExitOk,
       {}},
      {"a dependency manifest given as the component manifest is read as one",
       "[Dependencies]\nColour=red\n",
       dependency,
       false,
       kExitBadInput,
       {Path("CPACK.INI") + ": line 2: unknown key: Colour=red",
        "installer takes " + Path("CPACK.INI") + " as the dependency manifest"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unlink(Path("out.arj").c_str());
    std::string err;
    EXPECT_EQ(Build(c.component, c.dependency, c.keep, &err), c.status) << err;
    EXPECT_EQ(access(Path("out.arj").c_str(), F_OK) == 0, c.status == kExitOk);
    for (const std::string& text : c.said)
      EXPECT_NE(err.find(text), std::string::npos) << text << "\n" << err;
    if (c.said.empty()) EXPECT_EQ(err, "");
  }
}

TEST(ManifestPicker, FollowsTheReadersOverTheFirstEntries) {
  struct Case {
    std::vector<std::string> entries;
    int component, dependency;
  } cases[] = {
      {{"[Component1]", "[Dependencies]", "[Dependencies]"}, 1, 2},
      {{"[Dependencies]", "[Dependencies]"}, 0, 1},
      {{"x", "[Dependencies]"}, 0, 0},
      {{"[Component1]", "x", "[Dependencies]"}, 1, 0},
      {{"[Component1]"}, 1, 0},
      {{}, 0, 0},
  };
  for (const Case& c : cases) {
    ManifestPicker picker;
    for (const std::string& e : c.entries) {
      picker.Offer(reinterpret_cast<const uint8_t*>(e.data()), static_cast<uint32_t>(e.size()));
    }
    EXPECT_EQ(picker.component_entry(), c.component);
    EXPECT_EQ(picker.dependency_entry(), c.dependency);
  }
}

}  // namespace
}  // namespace kest
