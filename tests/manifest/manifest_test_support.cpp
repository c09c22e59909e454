#include "tests/manifest/manifest_test_support.h"

#include <gtest/gtest.h>

#include "packaging/archive_writer.h"
#include "archive/memory_source.h"
#include "archive/package_reader.h"
#include "packaging/vector_sink.h"

namespace kest {
namespace {

void Field(std::string* out, const char* name, const char* value) {
  if (value == nullptr) return;
  if (!out->empty()) *out += ' ';
  *out += name;
  *out += '<';
  *out += value;
  *out += '>';
}

const char* const kObsoleteFolders[] = {"chart", "grid", "speller", "viewer", "calendar"};
const char* const kObsoleteNames[] = {"help.hlp", "help.cnt",  "intro.bmp",
                                      "tips.hlp", "index.gid", "sample.bmp"};

// The manifest tests extract nothing; any attempt fails.
class NoFiles : public OutputFileSystem {
 public:
  uint32_t Create(const char*, std::unique_ptr<OutputFile>*) override { return 5; }
  uint32_t Delete(const char*) override { return 5; }
};

}  // namespace

std::vector<uint8_t> BuildArchive(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::vector<uint8_t> bytes;
  VectorSink sink(&bytes);
  ArchiveWriter writer(sink);
  EXPECT_EQ(writer.Begin("CPACK.ARJ", 0x22388502), 0u);
  for (const auto& entry : entries) {
    EntryInfo info{entry.first.c_str(), 0x22388269, 0x01BC0A3C4155F880ull, {0, 0, 0, 0}};
    const uint8_t* data = reinterpret_cast<const uint8_t*>(entry.second.data());
    EXPECT_EQ(writer.AddEntry(info, data, static_cast<uint32_t>(entry.second.size()), 0), 0u);
  }
  EXPECT_EQ(writer.Finish(), 0u);
  return bytes;
}

void OpenArchive(const std::vector<uint8_t>& archive, InstallRecord* record) {
  OpenArchive(new MemorySource(archive.data(), static_cast<uint32_t>(archive.size())), record);
}

void OpenArchive(ByteSource* source, InstallRecord* record) {
  static NoFiles files;
  record->reader.reset(new BareArchiveReader(source, true, files));
  ASSERT_TRUE(record->reader->Open()) << std::hex << record->reader->GetError();
}

std::vector<std::string> ShippedObsoleteFiles() {
  std::vector<std::string> files;
  for (const char* folder : kObsoleteFolders) {
    for (const char* name : kObsoleteNames) files.push_back(std::string(folder) + "\\" + name);
  }
  return files;
}

std::string ShippedComponentManifest() {
  std::string text =
      "[Component1]\r\n"
      "Name=Morvane Development\r\n"
      "Product=Morvane Components Starter Pack\r\n"
      "Version=1.1\r\n"
      "Copyright=None\r\n"
      "\r\n"
      "[ObsoleteFiles]\r\n";
  for (const std::string& file : ShippedObsoleteFiles()) text += file + "\r\n";
  return text;
}

std::string ShippedDependencyManifest() {
  return "[Dependencies]\r\n"
         "; Where an earlier release of the pack was installed\r\n"
         "Registry=Software\\Morvane\\Morvane Components\\1.0:LocalInstallPath\r\n"
         "Default=C:\\Morvane Components\\\r\n"
         ";OverwriteAlways = 1\r\n";
}

std::string Render(const ComponentRecord& r) {
  std::string out;
  Field(&out, "header", r.header);
  Field(&out, "name", r.name);
  Field(&out, "product", r.product);
  Field(&out, "version", r.version);
  Field(&out, "copyright", r.copyright);
  return out;
}

std::string Render(const DependencyRecord& r) {
  std::string out;
  Field(&out, "header", r.header);
  Field(&out, "key", r.registry_key);
  Field(&out, "default", r.default_folder);
  Field(&out, "overwrite", r.overwrite_always);
  Field(&out, "value", r.registry_value);
  Field(&out, "source", r.source_file);
  Field(&out, "args", r.source_args);
  Field(&out, "platform", r.platform);
  for (int i = 0; i < kRequiredFiles; ++i) {
    std::string n = std::to_string(i + 1);
    Field(&out, ("file" + n).c_str(), r.required[i].file);
    Field(&out, ("version" + n).c_str(), r.required[i].version);
  }
  return out;
}

std::vector<std::string> Texts(const StringList* list) {
  std::vector<std::string> texts;
  if (list == nullptr) return texts;
  for (const StringList::Node* n = list->head(); n != nullptr; n = n->next)
    texts.push_back(n->text);
  return texts;
}

}  // namespace kest
