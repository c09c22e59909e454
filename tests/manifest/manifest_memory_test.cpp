#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/package_reader.h"
#include "base/host_status_platform.h"
#include "base/install_codes.h"
#include "installer/install_record.h"
#include "base/install_status.h"
#include "installer/manifest_reader.h"
#include "manifest/manifest_text.h"
#include "manifest/string_list.h"
#include "tests/manifest/failing_allocation.h"
#include "tests/manifest/manifest_test_support.h"

namespace kest {
namespace {

class AllocationFailure : public testing::Test {
 protected:
  ~AllocationFailure() override { StopFailingAllocations(); }
};

TEST_F(AllocationFailure, StringListAddsNothing) {
  StringList list;
  ASSERT_TRUE(list.Append("first"));
  FailAllocations(sizeof("second"), 1);  // the copy of the text
  EXPECT_FALSE(list.Append("second"));
  FailAllocations(sizeof(StringList::Node), 1);
  EXPECT_FALSE(list.InsertFront("third"));
  EXPECT_EQ(list.count(), 1u);
  EXPECT_STREQ(list.head()->text, "first");
  EXPECT_EQ(list.head(), list.tail());
  EXPECT_EQ(list.head()->next, nullptr);
}

// Every allocation the walk makes, failed once: without a retry the manifest
// is abandoned and nothing is handed out (the sanitizer checks for leaks);
// with one retry the result is the same as without a failure.
TEST_F(AllocationFailure, EveryAllocationOfTheWalk) {
  const std::string obsolete = "chart\\an-obsolete-file-name-of-40-chars";  // 39 + NUL
  const std::string component = "[Component1]\r\nName=n\r\n[ObsoleteFiles]\r\n" + obsolete + "\r\n";
  const std::string dependency = "[Dependencies]\r\nDefault=C:\\D\\\r\n[Extra]\r\nFile1=f\r\n";
  ASSERT_EQ(obsolete.size() + 1, 40u);
  struct Case {
    const char* name;
    bool component;
    size_t size;
  } cases[] = {
      {"component working copy", true, component.size() + 1},
      {"component record", true, sizeof(ComponentRecord)},
      {"obsolete-files list", true, sizeof(StringList)},
      {"obsolete entry text", true, obsolete.size() + 1},
      {"dependency working copy", false, dependency.size() + 1},
      {"dependency record", false, sizeof(DependencyRecord)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int retries : {0, 1}) {
      CollectingEvents events;
      events.retries_left = retries;
      int failed_before = FailedAllocations();
      FailAllocations(c.size, 1);
      ManifestRead result;
      std::string records, files;
      if (c.component) {
        ComponentManifest m;
        result = ParseComponentManifestText(component.data(),
                                            static_cast<uint32_t>(component.size()), events, &m);
        for (const ComponentRecord* r = m.components.get(); r != nullptr; r = r->next)
          records += Render(*r);
        for (const std::string& f : Texts(m.obsolete_files.get())) files += f;
        EXPECT_EQ(m.text == nullptr, retries == 0);
      } else {
        DependencyManifest m;
        result = ParseDependencyManifestText(dependency.data(),
                                             static_cast<uint32_t>(dependency.size()), events, &m);
        for (const DependencyRecord* r = m.dependencies.get(); r != nullptr; r = r->next) {
          records += Render(*r);
        }
        EXPECT_EQ(m.has_dependencies, retries == 1);
      }
      EXPECT_EQ(FailedAllocations() - failed_before, 1);
      EXPECT_EQ(events.allocation_failures, 1);
      if (retries == 0) {
        EXPECT_EQ(result, ManifestRead::kOutOfMemory);
        EXPECT_EQ(records, "");
        EXPECT_EQ(files, "");
      } else {
        EXPECT_EQ(result, ManifestRead::kRead);
        EXPECT_EQ(records, c.component
                               ? "header<[Component1]> name<n>"
                               : "header<[Dependencies]> default<C:\\D\\>header<[Extra]> file1<f>");
        EXPECT_EQ(files, c.component ? obsolete : "");
      }
    }
  }
}

// The readers' out-of-memory rule: 0x8040F008 with Try Again; Try Again
// repeats the allocation, any other answer (none in a silent run) leaves
// the entry current, stores nothing and keeps the code pending.
TEST_F(AllocationFailure, ReadersReportAndRetry) {
  const std::string component = "[Component1]\r\nProduct=P\r\n";
  const std::string dependency = "[Dependencies]\r\nDefault=C:\\D\\\r\n";
  struct Case {
    const char* name;
    bool component;
    size_t size;
    uint32_t ui_level;
    uint32_t choice;
    bool read;
  } cases[] = {
      {"working copy, Try Again", true, component.size() + 1, 3, kChoiceRetry, true},
      {"working copy, Exit Install", true, component.size() + 1, 3, kChoiceFirst, false},
      {"working copy, silent", true, component.size() + 1, 0, kChoiceNone, false},
      {"component record, Exit Install", true, sizeof(ComponentRecord), 3, kChoiceFirst, false},
      {"dependency working copy, Try Again", false, dependency.size() + 1, 3, kChoiceRetry, true},
      {"dependency record, Exit Install", false, sizeof(DependencyRecord), 3, kChoiceFirst, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingStatusPlatform platform;
    Status().ui_level = c.ui_level;
    platform.choices = {c.choice};
    InstallRecord record;
    std::vector<uint8_t> archive =
        BuildArchive({{"CPACK.INI", component}, {"CPACK.INF", dependency}});
    OpenArchive(archive, &record);
    if (!c.component) ASSERT_TRUE(ReadComponentManifest(&record));
    const std::string before = record.reader->GetEntryName();

    const int failed_before = FailedAllocations();
    FailAllocations(c.size, 1);
    bool read = c.component ? ReadComponentManifest(&record) : ReadDependencyManifest(&record);
    EXPECT_EQ(read, c.read);
    EXPECT_EQ(FailedAllocations() - failed_before, 1);
    ASSERT_EQ(platform.shown.size(), c.ui_level == 3 ? 1u : 0u);
    if (!platform.shown.empty()) {
      EXPECT_EQ(platform.shown[0].code, kCodeOutOfMemory);
      EXPECT_EQ(platform.shown[0].buttons, kButtonsRetry);
    }
    EXPECT_EQ(Status().install_code, c.read ? 0u : kCodeOutOfMemory);
    EXPECT_EQ(record.reader->GetEntryName() != before, c.read);
    if (c.component) {
      EXPECT_EQ(record.components != nullptr, c.read);
      EXPECT_EQ(record.component_text != nullptr, c.read);
    } else {
      EXPECT_EQ(record.dependencies != nullptr, c.read);
      EXPECT_STREQ(record.destination, c.read ? "C:\\D\\" : kDefaultDestination);
    }
    StopFailingAllocations();
  }
}

}  // namespace
}  // namespace kest
