// FreshPaths: a target is known to be missing only below a folder the pass
// created, never where the pass made something, never for a name the
// system could read as another (short names, trailing dots, devices,
// streams), and never again once the pass stopped knowing.
#include "install/fresh_paths.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/manifest/failing_allocation.h"

namespace kest {
namespace {

TEST(FreshPaths, KnowsOnlyWhatLiesBelowFoldersItCreated) {
  FreshPaths fresh;
  EXPECT_FALSE(fresh.KnownMissing("c:\\app\\new\\a.dll"));  // nothing created yet
  fresh.NoteFolder("c:\\app\\new\\");
  fresh.NoteFolder("c:\\app\\new\\deep\\");
  fresh.NoteFile("c:\\app\\new\\a.dll");
  fresh.NoteFile("c:\\app\\new\\b.txt");
  struct Case {
    const char* path;
    bool missing;
  };
  const Case cases[] = {
      {"c:\\app\\new\\c.dll", true},
      {"c:\\app\\new\\deep\\more\\d.txt", true},  // its folder is not there either
      {"C:\\APP\\New\\C.DLL", true},              // letters compare without case
      {"c:\\app\\new\\a.dll", false},             // written by the pass
      {"C:\\App\\New\\A.dll", false},
      {"c:\\app\\new\\deep", false},              // a folder of that name
      {"c:\\app\\new\\a.dll\\x", true},           // below a file: no such path
      {"c:\\app\\old.txt", false},                // the pass did not create c:\app
      {"c:\\app\\new", false},
      {"d:\\app\\new\\c.dll", false},
      {"c:\\app\\new\\tes1f2.tmp", false},        // a folder test's file may remain
      {"c:\\app\\new\\a~1.dll", false},           // a short name of a.dll?
      {"c:\\app\\new\\a.dll.", false},            // the system drops trailing dots
      {"c:\\app\\new\\a.dll ", false},            // and spaces
      {"c:\\app\\new\\nul", false},               // devices are everywhere
      {"c:\\app\\new\\com1.txt", false},
      {"c:\\app\\new\\con .log", false},
      {"c:\\app\\new\\a.dll:stream", false},
      {"c:\\app\\new\\..\\new\\a.dll", false},
      {"c:\\app\\new\\\\c.dll", false},
      {"c:\\app\\new/a.dll", false},
      {"c:\\app\\new\\\xE9t\xE9.txt", false},     // folded by rules of its own
      {"new\\c.dll", false},                      // relative to some folder
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(fresh.KnownMissing(c.path), c.missing) << c.path;
}

TEST(FreshPaths, StopsKnowingOnAnythingItCannotFollow) {
  struct Case {
    const char* what;
    void (*spoil)(FreshPaths&);
  };
  const Case cases[] = {
      {"distrusted", [](FreshPaths& f) { f.Distrust(); }},
      {"a file that may alias another", [](FreshPaths& f) { f.NoteFile("c:\\app\\new\\c.dll."); }},
      {"a relative file", [](FreshPaths& f) { f.NoteFile("new\\c.dll"); }},
      {"a folder that may alias another", [](FreshPaths& f) { f.NoteFolder("c:\\app\\new\\x~1\\"); }},
      {"a path that fits no buffer",
       [](FreshPaths& f) { f.NoteFile(("c:\\app\\new\\" + std::string(300, 'x')).c_str()); }},
  };
  for (const Case& c : cases) {
    FreshPaths fresh;
    fresh.NoteFolder("c:\\app\\new\\");
    ASSERT_TRUE(fresh.KnownMissing("c:\\app\\new\\c.dll"));
    c.spoil(fresh);
    fresh.NoteFolder("c:\\app\\other\\");
    EXPECT_FALSE(fresh.KnownMissing("c:\\app\\new\\c.dll")) << c.what;
    EXPECT_FALSE(fresh.KnownMissing("c:\\app\\other\\c.dll")) << c.what;
  }
}

TEST(FreshPaths, AFailedAllocationEndsTheKnowing) {
  FreshPaths fresh;
  fresh.NoteFolder("c:\\app\\new\\");
  // The copy of the written name: unrecorded, it could be anywhere.
  FailAllocations(sizeof("c:\\app\\new\\a.dll"), 1);
  fresh.NoteFile("c:\\app\\new\\a.dll");
  StopFailingAllocations();
  EXPECT_FALSE(fresh.KnownMissing("c:\\app\\new\\a.dll"));
  EXPECT_FALSE(fresh.KnownMissing("c:\\app\\new\\c.dll"));
}

}  // namespace
}  // namespace kest
