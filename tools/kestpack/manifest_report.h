// The two manifests as the installer will read them, for kestpack: the
// faults it would report (build refuses them) and the records it builds
// (list shows them). Both come from the installer's own manifest reader.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kest {

enum class ManifestKind { kComponent, kDependency };

// One line per key line the installer would report and skip, or take but
// never use (manifest_values.h), "line N: reason: text", when it reads
// text as that manifest.
std::vector<std::string> FindManifestFaults(ManifestKind kind, const std::string& text);

// The records the installer builds from text, one field a line with its
// exact text in double quotes; absent fields are left out. Lines the
// installer would skip are listed after the records.
std::string DescribeManifest(ManifestKind kind, const std::string& text);

// Follows the installer over the first entries of a package: it takes the
// first entry as the component manifest when its text begins with
// "[Component", and then the entry it is on as the dependency manifest when
// its text begins with "[Dependencies]" (letter case aside, nothing before
// either). Offer every entry's packed bytes in archive order; null data
// stands for an entry too large to be read, which is then not examined.
class ManifestPicker {
 public:
  void Offer(const uint8_t* data, uint32_t size);
  int offered() const { return offered_; }
  // 1-based entry numbers; 0 when no entry was taken.
  int component_entry() const { return component_entry_; }
  int dependency_entry() const { return dependency_entry_; }
  const std::string& component_text() const { return component_text_; }
  const std::string& dependency_text() const { return dependency_text_; }
  // "component manifest: entry 1" and so on, each followed by
  // DescribeManifest; or a line saying which one the package lacks.
  std::string Describe() const;

 private:
  int offered_ = 0;
  int unread_entry_ = 0;  // the first entry offered without its data
  uint32_t unread_size_ = 0;
  int component_entry_ = 0;
  int dependency_entry_ = 0;
  std::string component_text_;
  std::string dependency_text_;
};

// For kestpack build, whose first two entries are these two files: prints
// on stderr each fault of the manifests as the installer will read them,
// "path: line N: reason: text", and each file the installer will not take
// as the manifest it is given as; warnings instead when keep. False when
// the build must stop: a file cannot be read, or there are faults and keep
// is false.
bool ReportManifestFaults(const std::string& component_path, const std::string& dependency_path,
                          bool keep);

}  // namespace kest
