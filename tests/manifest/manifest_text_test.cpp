#include "manifest/manifest_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/manifest/manifest_test_support.h"

namespace kest {
namespace {

using Strings = std::vector<std::string>;

ComponentManifest ReadComponents(const std::string& text, CollectingEvents* events) {
  ComponentManifest m;
  EXPECT_EQ(
      ParseComponentManifestText(text.data(), static_cast<uint32_t>(text.size()), *events, &m),
      ManifestRead::kRead)
      << text;
  return m;
}

DependencyManifest ReadDependencies(const std::string& text, CollectingEvents* events) {
  DependencyManifest m;
  EXPECT_EQ(
      ParseDependencyManifestText(text.data(), static_cast<uint32_t>(text.size()), *events, &m),
      ManifestRead::kRead)
      << text;
  return m;
}

Strings RenderAll(const ComponentRecord* r) {
  Strings out;
  for (; r != nullptr; r = r->next) out.push_back(Render(*r));
  return out;
}

Strings RenderAll(const DependencyRecord* r) {
  Strings out;
  for (; r != nullptr; r = r->next) out.push_back(Render(*r));
  return out;
}

TEST(ManifestText, ShippedComponentManifest) {
  CollectingEvents events;
  ComponentManifest m = ReadComponents(ShippedComponentManifest(), &events);
  EXPECT_EQ(RenderAll(m.components.get()),
            Strings{"header<[Component1]> name<Morvane Development> "
                    "product<Morvane Components Starter Pack> version<1.1> copyright<None>"});
  ASSERT_NE(m.obsolete_files, nullptr);
  EXPECT_EQ(m.obsolete_files->count(), 30u);
  EXPECT_EQ(Texts(m.obsolete_files.get()), ShippedObsoleteFiles());
  EXPECT_STREQ(m.obsolete_files->tail()->text, "calendar\\sample.bmp");
  EXPECT_TRUE(events.rejections.empty());
}

TEST(ManifestText, ShippedDependencyManifest) {
  CollectingEvents events;
  DependencyManifest m = ReadDependencies(ShippedDependencyManifest(), &events);
  EXPECT_EQ(RenderAll(m.dependencies.get()),
            Strings{"header<[Dependencies]> key<Software\\Morvane\\Morvane Components\\1.0> "
                    "default<C:\\Morvane Components\\> value<LocalInstallPath>"});
  EXPECT_TRUE(m.has_dependencies);
  EXPECT_TRUE(events.rejections.empty());
}

TEST(ManifestText, Signatures) {
  struct Case {
    std::string text;
    bool component, dependency;
  } cases[] = {
      {"[Component1]\r\nName=x", true, false},
      {"[component1]", true, false},
      {"[COMPONENTS", true, false},
      {"[Component", true, false},  // exactly the 10 bytes
      {"[Componen", false, false},  // shorter than the signature
      {" [Component1]", false, false},
      {"\xEF\xBB\xBF[Component1]", false, false},
      {"[Dependencies]", false, true},
      {"[dEPENDENCIES]\r\n", false, true},
      {"[Dependencies", false, false},
      {"\t[Dependencies]", false, false},
      {"\xEF\xBB\xBF[Dependencies]", false, false},
      {std::string("[Comp\0nent1]", 12), false, false},
      {"", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    uint32_t size = static_cast<uint32_t>(c.text.size());
    EXPECT_EQ(IsComponentManifest(c.text.data(), size), c.component);
    EXPECT_EQ(IsDependencyManifest(c.text.data(), size), c.dependency);
    CollectingEvents events;
    ComponentManifest cm;
    DependencyManifest dm;
    EXPECT_EQ(ParseComponentManifestText(c.text.data(), size, events, &cm) == ManifestRead::kRead,
              c.component);
    EXPECT_EQ(ParseDependencyManifestText(c.text.data(), size, events, &dm) == ManifestRead::kRead,
              c.dependency);
  }
  // The size is the limit, not a NUL: a signature beyond the entry's end does
  // not count.
  EXPECT_FALSE(IsDependencyManifest("[Dependencies]", 13));
}

// One key line in a dependency manifest: the record it gives and the fault
// it is rejected with.
TEST(ManifestText, DependencyKeyLines) {
  const std::string path259(259, 'p');
  const std::string path260(260, 'p');
  struct Case {
    std::string line;
    std::string record;  // after "header<[Dependencies]> "
    KeyLineFault fault;
  } cases[] = {
      {"default = C:\\X\\  ", "default<C:\\X\\>", KeyLineFault::kNone},
      {"DEFAULT\t=\t C:\\X\\", "default<C:\\X\\>", KeyLineFault::kNone},
      {"Default=   ", "default<>", KeyLineFault::kNone},
      {"Registry=Software\\X:Path  ", "key<Software\\X> value<Path  >", KeyLineFault::kNone},
      {"Registry=Software\\X  :Path", "key<Software\\X> value<Path>", KeyLineFault::kNone},
      {"Registry= Software\\X: Path", "key< Software\\X> value< Path>", KeyLineFault::kNone},
      {"Registry=Software\\X  ", "key<Software\\X>", KeyLineFault::kNone},
      {"Registry=A:B:C", "key<A> value<B:C>", KeyLineFault::kNone},
      {"Registry=:", "key<> value<>", KeyLineFault::kNone},
      {"Source= SETUP.EXE ", "source<SETUP.EXE>", KeyLineFault::kNone},
      {"Source=  SETUP : -s -q ", "source<SETUP> args<-s -q >", KeyLineFault::kNone},
      {"Source=C:\\SETUP.EXE", "source<C> args<\\SETUP.EXE>", KeyLineFault::kNone},
      {"Sourcefile=x", "source<x>", KeyLineFault::kNone},
      {"File1= %W\\A.DLL ", "file1< %W\\A.DLL>", KeyLineFault::kNone},
      {"Version1= 4.0 ", "version1< 4.0>", KeyLineFault::kNone},
      {"file4=z", "file4<z>", KeyLineFault::kNone},
      {"Version4=9", "version4<9>", KeyLineFault::kNone},
      {"File10=a", "file1<a>", KeyLineFault::kNone},
      {"OverwriteAlways = 1", "overwrite<1>", KeyLineFault::kNone},
      {"Platform=  WIN_NT_40\t", "platform<WIN_NT_40>", KeyLineFault::kNone},
      {"Platform:x=WIN_95", "platform<WIN_95>", KeyLineFault::kNone},
      {"Default==x", "default<=x>", KeyLineFault::kNone},
      {"Default=" + path259, "default<" + path259 + ">", KeyLineFault::kNone},
      {"Default=" + path259 + "   ", "default<" + path259 + ">", KeyLineFault::kNone},
      {"Default=" + path260, "", KeyLineFault::kValueTooLong},
      {"File2=" + path260, "", KeyLineFault::kValueTooLong},
      {"Source=" + path260 + ":x", "", KeyLineFault::kValueTooLong},
      {"Source=s:" + path260, "source<s> args<" + path260 + ">", KeyLineFault::kNone},
      {"Registry=" + path260, "key<" + path260 + ">", KeyLineFault::kNone},
      {"Default=", "", KeyLineFault::kEmptyValue},
      {"Default", "", KeyLineFault::kNoEquals},
      {"Default C:\\X", "", KeyLineFault::kNoEquals},
      {"Colour=red", "", KeyLineFault::kUnknownKey},
      {"Name=x", "", KeyLineFault::kUnknownKey},  // a component key
      {"Defaul=x", "", KeyLineFault::kUnknownKey},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    CollectingEvents events;
    DependencyManifest m = ReadDependencies("[Dependencies]\r\n  " + c.line + "\r\n", &events);
    ASSERT_NE(m.dependencies, nullptr);
    std::string expected = "header<[Dependencies]>";
    if (!c.record.empty()) expected += " " + c.record;
    EXPECT_EQ(Render(*m.dependencies), expected);
    EXPECT_EQ(m.has_dependencies, c.fault == KeyLineFault::kNone);
    if (c.fault == KeyLineFault::kNone) {
      EXPECT_TRUE(events.rejections.empty());
    } else {
      ASSERT_EQ(events.rejections.size(), 1u);
      EXPECT_EQ(events.rejections[0].fault, c.fault);
      EXPECT_EQ(events.rejections[0].line, c.line);  // unchanged, without its indent
      EXPECT_EQ(events.rejections[0].line_number, 2u);
    }
  }
}

TEST(ManifestText, ComponentKeyLines) {
  struct Case {
    std::string line;
    std::string record;  // after "header<[Component1]> "
    KeyLineFault fault;
  } cases[] = {
      {"Name=  Morvane  Development \t", "name<Morvane  Development>", KeyLineFault::kNone},
      {"PRODUCT = P", "product<P>", KeyLineFault::kNone},
      {"Versions=2.0", "version<2.0>", KeyLineFault::kNone},
      {"copyright=(c) a=b; c/d", "copyright<(c) a=b; c/d>", KeyLineFault::kNone},
      {"Name=   ", "name<>", KeyLineFault::kNone},
      {"Name=a:b", "name<a:b>", KeyLineFault::kNone},
      {"Name=" + std::string(600, 'n'), "name<" + std::string(600, 'n') + ">", KeyLineFault::kNone},
      {"Name=", "", KeyLineFault::kEmptyValue},
      {"Name", "", KeyLineFault::kNoEquals},
      {"Colour=red", "", KeyLineFault::kUnknownKey},
      {"Default=C:\\", "", KeyLineFault::kUnknownKey},  // a dependency key
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    CollectingEvents events;
    ComponentManifest m = ReadComponents("[Component1]\n" + c.line, &events);
    ASSERT_NE(m.components, nullptr);
    std::string expected = "header<[Component1]>";
    if (!c.record.empty()) expected += " " + c.record;
    EXPECT_EQ(Render(*m.components), expected);
    EXPECT_EQ(events.rejections.size(), c.fault == KeyLineFault::kNone ? 0u : 1u);
    if (!events.rejections.empty()) {
      EXPECT_EQ(events.rejections[0].fault, c.fault);
    }
  }
}

TEST(ManifestText, RejectedLinesAreSkippedAndReadingGoesOn) {
  CollectingEvents events;
  ComponentManifest m = ReadComponents(
      "[Component1]\r\nName=\r\nName\r\n\r\nColour=red\r\nName=kept\r\nProduct=P\r\n", &events);
  EXPECT_EQ(RenderAll(m.components.get()), Strings{"header<[Component1]> name<kept> product<P>"});
  ASSERT_EQ(events.rejections.size(), 3u);
  EXPECT_EQ(events.rejections[0].line, "Name=");
  EXPECT_EQ(events.rejections[0].line_number, 2u);
  EXPECT_EQ(events.rejections[1].line, "Name");
  EXPECT_EQ(events.rejections[1].line_number, 3u);
  EXPECT_EQ(events.rejections[2].line, "Colour=red");
  EXPECT_EQ(events.rejections[2].line_number, 5u);
}

TEST(ManifestText, LinesCommentsAndSections) {
  struct Case {
    const char* name;
    std::string text;
    Strings records;
  } cases[] = {
      {"line ends of every kind",
       "[Component1]\rName=a\nProduct=b\r\n\r\n\n\vVersion=c\fCopyright=d\n\r",
       {"header<[Component1]> name<a> product<b> version<c> copyright<d>"}},
      {"comments: ';', '/', after a tab or blanks, ';' later is text",
       "[Component1]\r\n;Name=x\r\n\t;Name=y\r\n  /Name=z\r\n//Product=q\r\nName=a;b/c\r\n",
       {"header<[Component1]> name<a;b/c>"}},
      {"a later key goes to the later component; a key repeated keeps the last",
       "[Component1]\r\nName=a\r\n[Component2] extra\r\nName=b\r\nName=c\r\n",
       {"header<[Component1]> name<a>", "header<[Component2] extra> name<c>"}},
      {"headers keep their whole line, indented or not",
       "[Component1]\r\n   [x] ; y  \r\n[\r\n",
       {"header<[Component1]>", "header<[x] ; y  >", "header<[>"}},
      {"a NUL ends the text",
       std::string("[Component1]\r\nName=a\0\r\nProduct=b\r\n", 34),
       {"header<[Component1]> name<a>"}},
      {"no line end after the last line",
       "[Component1]\r\nName=a",
       {"header<[Component1]> name<a>"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CollectingEvents events;
    ComponentManifest m = ReadComponents(c.text, &events);
    EXPECT_EQ(RenderAll(m.components.get()), c.records);
    EXPECT_TRUE(events.rejections.empty());
    EXPECT_EQ(m.obsolete_files, nullptr);
  }
}

TEST(ManifestText, ObsoleteFilesSections) {
  struct Case {
    const char* name;
    std::string text;
    Strings records;
    bool has_list;
    Strings files;
  } cases[] = {
      {"entries kept whole from their first non-blank",
       "[Component1]\r\n[ObsoleteFiles]\r\n  a\\b.hlp  \r\nName=x\r\n\t c d=e \r\n;skipped\r\n",
       {"header<[Component1]>"},
       true,
       {"a\\b.hlp  ", "Name=x", "c d=e "}},
      {"a second section replaces the first",
       "[Component1]\r\n[ObsoleteFiles]\r\nold1\r\nold2\r\n[ObsoleteFiles]\r\nnew\r\n",
       {"header<[Component1]>"},
       true,
       {"new"}},
      {"a component header ends the section",
       "[Component1]\r\n[ObsoleteFiles]\r\nf1\r\n[Component2]\r\nName=n\r\n",
       {"header<[Component1]>", "header<[Component2]> name<n>"},
       true,
       {"f1"}},
      {"an empty section gives an empty list",
       "[Component1]\r\n[ObsoleteFiles]\r\n",
       {"header<[Component1]>"},
       true,
       {}},
      {"the section name compares exactly",
       "[Component1]\r\n[obsoletefiles]\r\nName=a\r\n[ObsoleteFiles] \r\nName=b\r\n"
       "[ObsoleteFiles]x\r\nName=c\r\n",
       {"header<[Component1]>", "header<[obsoletefiles]> name<a>",
        "header<[ObsoleteFiles] > name<b>", "header<[ObsoleteFiles]x> name<c>"},
       false,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CollectingEvents events;
    ComponentManifest m = ReadComponents(c.text, &events);
    EXPECT_EQ(RenderAll(m.components.get()), c.records);
    EXPECT_EQ(m.obsolete_files != nullptr, c.has_list);
    EXPECT_EQ(Texts(m.obsolete_files.get()), c.files);
    EXPECT_TRUE(events.rejections.empty());
  }
}

TEST(ManifestText, EveryDependencyHeaderStartsARecord) {
  CollectingEvents events;
  DependencyManifest m = ReadDependencies(
      "[Dependencies]\r\nDefault=C:\\A\\\r\n[Extra]\r\nFile1=x.dll\r\nVersion1=4.0\r\n"
      "Source=SETUP.EXE\r\nPlatform=WIN_95\r\n[Dependencies]\r\n",
      &events);
  EXPECT_EQ(
      RenderAll(m.dependencies.get()),
      (Strings{"header<[Dependencies]> default<C:\\A\\>",
               "header<[Extra]> source<SETUP.EXE> platform<WIN_95> file1<x.dll> version1<4.0>",
               "header<[Dependencies]>"}));
  EXPECT_TRUE(m.has_dependencies);
}

TEST(ManifestText, OnlyHeadersAndCommentsSetNoFlag) {
  CollectingEvents events;
  DependencyManifest m =
      ReadDependencies("[Dependencies]\r\n;Default=C:\\\r\nColour=red\r\n", &events);
  EXPECT_NE(m.dependencies, nullptr);
  EXPECT_FALSE(m.has_dependencies);
  EXPECT_EQ(events.rejections.size(), 1u);
}

}  // namespace
}  // namespace kest
