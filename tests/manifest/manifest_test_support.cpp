#include "tests/manifest/manifest_test_support.h"

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
const char* const kObsoleteNames[] = {"help.hlp", "help.cnt", "intro.bmp", "tips.hlp", "index.gid",
                                      "sample.bmp"};

}  // namespace

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
  for (const StringList::Node* n = list->head(); n != nullptr; n = n->next) texts.push_back(n->text);
  return texts;
}

}  // namespace kest
