// Shared by the manifest tests: the manifests shipped with the pack, built
// line by line, and records rendered as one comparable line of text.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "installer/install_record.h"
#include "manifest/manifest_records.h"
#include "manifest/manifest_text.h"

namespace kest {

// The component manifest as shipped: one component, an empty line, and an
// "[ObsoleteFiles]" section of 30 help and picture files, CR LF endings.
std::string ShippedComponentManifest();
// The 30 obsolete-file lines of ShippedComponentManifest, in file order.
std::vector<std::string> ShippedObsoleteFiles();
// The dependency manifest as shipped: one dependency, two comments.
std::string ShippedDependencyManifest();

// "field<value> ..." for every present field in record order; absent fields
// are left out, so "<>" is a present empty value.
std::string Render(const ComponentRecord& record);
std::string Render(const DependencyRecord& record);
std::vector<std::string> Texts(const StringList* list);

// A package archive of stored entries (name, contents) in this order, as the
// writer kestpack uses makes it.
std::vector<uint8_t> BuildArchive(const std::vector<std::pair<std::string, std::string>>& entries);

// Gives record a reader over archive, positioned on its first entry. The
// archive must outlive the reader.
void OpenArchive(const std::vector<uint8_t>& archive, InstallRecord* record);
// The same over source, which the reader then owns.
void OpenArchive(ByteSource* source, InstallRecord* record);

// Collects what the walk meets; a failed allocation is retried while
// retries_left is above 0.
class CollectingEvents : public ManifestEvents {
 public:
  struct Rejection {
    uint32_t line_number;
    std::string line;
    KeyLineFault fault;
  };
  void KeyLineRejected(uint32_t line_number, const char* line, KeyLineFault fault) override {
    rejections.push_back({line_number, line, fault});
  }
  bool RetryAllocation() override {
    ++allocation_failures;
    return retries_left-- > 0;
  }
  std::vector<Rejection> rejections;
  int allocation_failures = 0;
  int retries_left = 0;
};

}  // namespace kest
