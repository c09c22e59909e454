#include "bench/install_corpus.h"

#include <stdio.h>
#include <sys/stat.h>
#include <utime.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace kest {
namespace bench {
namespace {

// Every file's modification time: 2026-12-01 12:00:00 UTC, so that
// kestpack builds the same package from the same corpus.
constexpr time_t kFileTime = 1796126400;

// xorshift64: the same stream on every machine.
class Random {
 public:
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<uint32_t>(state_ >> 16);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }
  // A size between low and high bytes, most of them near low.
  uint32_t Size(uint32_t low, uint32_t high) {
    const uint32_t span = high - low;
    return low + static_cast<uint32_t>(uint64_t(span) * Below(1000) * Below(1000) / 1000000);
  }

 private:
  uint64_t state_ = 0x2026121000000017ull;
};

enum class Kind { kPage, kText, kHeader, kSource, kPicture, kPacked, kTable, kLibrary };

const char* const kWords[] = {
    "the",      "grid",     "column",   "row",       "cell",     "chart",    "series",
    "axis",     "value",    "of",       "and",       "to",       "a",        "is",
    "control",  "property", "method",   "event",     "returns",  "when",     "set",
    "width",    "height",   "color",    "font",      "text",     "data",     "source",
    "bound",    "index",    "selected", "range",     "format",   "number",   "date",
    "header",   "footer",   "print",    "preview",   "page",     "scroll",   "bar",
    "in",       "for",      "with",     "component", "library",  "version",  "default",
    "user",     "click",    "key",      "mouse",     "window",   "handle",   "style",
    "border",   "sort",     "filter",   "group",     "total",    "legend",   "label",
    "line",     "point",    "area",     "pie",       "scale",    "minimum",  "maximum",
    "example",  "see",      "also",     "note",      "this",     "that",     "it",
    "can",      "not",      "be",       "an",        "if",       "or",       "on"};
constexpr uint32_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

// Words picked with a skew towards the start of the table, as in prose.
const char* Word(Random& random) {
  return kWords[random.Below(kWordCount) * random.Below(kWordCount) / kWordCount];
}

void AppendSentence(Random& random, std::string& out) {
  const uint32_t words = 4 + random.Below(14);
  for (uint32_t k = 0; k < words; ++k) {
    if (k > 0) out += ' ';
    out += Word(random);
  }
  out += random.Below(6) == 0 ? ",\r\n" : ".\r\n";
}

std::string MakeText(Kind kind, uint32_t size, Random& random) {
  std::string out;
  out.reserve(size + 256);
  if (kind == Kind::kPage) out += "<html><head><title>Morvane Components</title></head><body>\r\n";
  uint32_t counter = random.Below(5000);
  while (out.size() < size) {
    switch (kind) {
      case Kind::kPage:
        out += "<p>";
        AppendSentence(random, out);
        AppendSentence(random, out);
        out += "</p>\r\n";
        break;
      case Kind::kHeader: {
        char line[160];
        snprintf(line, sizeof(line), "#define MORV_%s_%s_%u 0x%04X\r\nint MorvGrid%u(HGRID grid, int %s);\r\n",
                 Word(random), Word(random), counter, random.Below(65536), counter, Word(random));
        out += line;
        ++counter;
        break;
      }
      case Kind::kSource: {
        char line[160];
        snprintf(line, sizeof(line), "  grid.%s(%u, \"%s %s\");  // %s\r\n", Word(random),
                 random.Below(100), Word(random), Word(random), Word(random));
        out += line;
        break;
      }
      default:
        AppendSentence(random, out);
        break;
    }
  }
  out.resize(size);
  return out;
}

// Binary data of three kinds: a picture (a gradient with noise in its low
// bits, which packs partly), bytes that do not pack (already compressed
// media), and records of counters, flags and random fields.
std::string MakeBinary(Kind kind, uint32_t size, Random& random) {
  std::string out;
  out.reserve(size);
  switch (kind) {
    case Kind::kPicture: {
      out += "BM";
      const uint32_t width = 256 + random.Below(512);
      for (uint32_t y = 0; out.size() < size; ++y) {
        for (uint32_t x = 0; x < width && out.size() < size; ++x) {
          out += static_cast<char>((x + y) / 3 + (random.Next() & 7));
          out += static_cast<char>(y / 2 + (random.Next() & 3));
          out += static_cast<char>(x / 4 + (random.Next() & 15));
        }
      }
      break;
    }
    case Kind::kPacked:
      while (out.size() < size) out += static_cast<char>(random.Next());
      break;
    default:
      for (uint32_t id = 0; out.size() < size; ++id) {
        const uint32_t fields[4] = {id, random.Below(16), random.Next(), 1000 + random.Below(200)};
        out.append(reinterpret_cast<const char*>(fields), sizeof(fields));
      }
      break;
  }
  out.resize(size);
  return out;
}

struct FolderPlan {
  std::string path;  // relative, '/' between parts
  Kind kinds[2];     // files alternate between the two
  uint32_t files;
  const char* extensions[2];
  uint32_t low, high;  // size range in bytes (library files: their library's size)
};

std::vector<FolderPlan> Plan() {
  std::vector<FolderPlan> plan;
  auto add = [&plan](const std::string& path, Kind a, Kind b, uint32_t files, const char* ea,
                     const char* eb, uint32_t low, uint32_t high) {
    plan.push_back({path, {a, b}, files, {ea, eb}, low, high});
  };
  add("", Kind::kText, Kind::kText, 3, ".txt", ".txt", 2000, 40000);
  add("bin", Kind::kLibrary, Kind::kTable, 45, ".dll", ".dat", 0, 200000);
  for (int k = 1; k <= 12; ++k) {
    char name[32];
    snprintf(name, sizeof(name), "bin/plugins/%02d", k);
    add(name, Kind::kLibrary, Kind::kText, 8, ".dll", ".ini", 0, 3000);
  }
  add("lib/x86", Kind::kLibrary, Kind::kLibrary, 20, ".dll", ".dll", 0, 0);
  add("lib/x64", Kind::kLibrary, Kind::kLibrary, 20, ".dll", ".dll", 0, 0);
  for (const char* language : {"en", "de", "fr", "es", "it", "ja"})
    add(std::string("help/") + language, Kind::kPage, Kind::kPicture, 45, ".htm", ".bmp", 2000, 40000);
  for (const char* area : {"grid", "chart", "print", "data", "format", "events", "styles", "export",
                           "import", "layout", "themes", "scripting"})
    add(std::string("docs/api/") + area, Kind::kPage, Kind::kText, 30, ".htm", ".txt", 1000, 90000);
  for (const char* part : {"grid", "chart", "print", "data", "core", "ui", "io", "util"})
    add(std::string("include/morvane/") + part, Kind::kHeader, Kind::kHeader, 25, ".h", ".h", 800, 24000);
  for (const char* language : {"cpp", "basic", "pascal"}) {
    for (int k = 1; k <= 8; ++k) {
      char name[48];
      snprintf(name, sizeof(name), "samples/%s/project%d", language, k);
      add(name, Kind::kSource, Kind::kTable, 8, ".src", ".res", 500, 16000);
    }
  }
  for (const char* set : {"toolbar", "icons", "charts", "grids", "themes", "splash"})
    add(std::string("resources/images/") + set, Kind::kPicture, Kind::kPacked, 25, ".bmp", ".png", 4000, 300000);
  add("data/tables", Kind::kTable, Kind::kTable, 40, ".tbl", ".tbl", 10000, 400000);
  add("data/maps", Kind::kTable, Kind::kPacked, 20, ".map", ".cmp", 100000, 1500000);
  return plan;
}

// The large corpus: kLargeFolders folders of ten files below twenty areas,
// about 15 KB a file, in the same kinds as the small one; libraries are
// half the files of one area, a share of its bytes near the small one's. The folders are
// taken area by area in turn (areas[0]/00, areas[1]/00, ..., areas[0]/01,
// ...), so that its first thousand files are already a mix of every kind:
// a cut of the first files is a smaller pack of the same make-up.
constexpr uint32_t kLargeFolders = 2000;
constexpr uint32_t kLargeFilesPerFolder = 10;

std::vector<FolderPlan> PlanLarge() {
  struct Area {
    const char* name;
    Kind a, b;
    const char* ea;
    const char* eb;
    uint32_t low, high;
  };
  static const Area kAreas[] = {
      {"bin", Kind::kLibrary, Kind::kTable, ".dll", ".dat", 1000, 40000},
      {"plugins", Kind::kText, Kind::kTable, ".ini", ".dat", 200, 6000},
      {"help", Kind::kPage, Kind::kPicture, ".htm", ".bmp", 1000, 30000},
      {"docs", Kind::kPage, Kind::kText, ".htm", ".txt", 1000, 40000},
      {"api", Kind::kPage, Kind::kPage, ".htm", ".htm", 1000, 30000},
      {"include", Kind::kHeader, Kind::kHeader, ".h", ".h", 500, 20000},
      {"samples", Kind::kSource, Kind::kTable, ".src", ".res", 500, 16000},
      {"examples", Kind::kSource, Kind::kText, ".src", ".txt", 500, 12000},
      {"images", Kind::kPicture, Kind::kPacked, ".bmp", ".png", 2000, 80000},
      {"icons", Kind::kPicture, Kind::kPicture, ".bmp", ".bmp", 500, 8000},
      {"themes", Kind::kText, Kind::kPicture, ".ini", ".bmp", 1000, 60000},
      {"data", Kind::kTable, Kind::kTable, ".tbl", ".tbl", 4000, 60000},
      {"maps", Kind::kTable, Kind::kPacked, ".map", ".cmp", 8000, 120000},
      {"tables", Kind::kTable, Kind::kText, ".tbl", ".txt", 1000, 30000},
      {"locale", Kind::kText, Kind::kText, ".txt", ".txt", 300, 8000},
      {"templates", Kind::kPage, Kind::kSource, ".htm", ".src", 500, 20000},
      {"scripts", Kind::kSource, Kind::kSource, ".src", ".src", 300, 10000},
      {"fonts", Kind::kPacked, Kind::kTable, ".fnt", ".dat", 4000, 50000},
      {"sounds", Kind::kPacked, Kind::kPacked, ".wav", ".wav", 4000, 60000},
      {"tools", Kind::kSource, Kind::kHeader, ".src", ".h", 500, 12000},
  };
  constexpr uint32_t kAreaCount = sizeof(kAreas) / sizeof(kAreas[0]);
  std::vector<FolderPlan> plan;
  for (uint32_t f = 0; f < kLargeFolders; ++f) {
    const Area& area = kAreas[f % kAreaCount];
    char path[64];
    snprintf(path, sizeof(path), "%s/%03u", area.name, f / kAreaCount);
    plan.push_back({path, {area.a, area.b}, kLargeFilesPerFolder, {area.ea, area.eb}, area.low,
                    area.high});
  }
  return plan;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) {
    perror(path.c_str());
    return false;
  }
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (fclose(file) != 0 || !ok) {
    fprintf(stderr, "install_bench: cannot write %s\n", path.c_str());
    return false;
  }
  const struct utimbuf times = {kFileTime, kFileTime};
  return utime(path.c_str(), &times) == 0;
}

// Gives a copy of a library its own link time in the PE file header, as
// separately built libraries have: no two library files of the corpus are
// the same bytes (an installer that stores identical files once would
// otherwise gain from the copies what no real pack offers). The image
// stays valid; nothing else changes.
void StampLibrary(uint32_t copy, std::string* image) {
  uint32_t header = 0;
  if (image->size() < 0x40) return;
  memcpy(&header, image->data() + 0x3C, 4);
  if (header > image->size() - 12 || image->compare(header, 4, std::string("PE\0\0", 4)) != 0) return;
  const uint32_t stamp = static_cast<uint32_t>(kFileTime) - 86400 * 30 + copy * 977;
  memcpy(&(*image)[header + 8], &stamp, 4);  // IMAGE_FILE_HEADER.TimeDateStamp, little-endian
}

bool MakeFolders(const std::string& root, const std::string& relative, uint32_t* made) {
  std::string path = root;
  size_t start = 0;
  while (start < relative.size()) {
    size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    path += "/" + relative.substr(start, end - start);
    if (mkdir(path.c_str(), 0755) == 0) ++*made;
    else if (errno != EEXIST) {
      perror(path.c_str());
      return false;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace

bool MakeCorpus(const std::string& root, const std::vector<std::string>& libraries,
                uint32_t large_files, Corpus* corpus) {
  std::vector<std::string> library_bytes;
  for (const std::string& path : libraries) {
    std::ifstream file(path, std::ios::binary);
    library_bytes.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (!file.good() && !file.eof()) library_bytes.back().clear();
    if (library_bytes.back().empty()) {
      fprintf(stderr, "install_bench: cannot read the library %s\n", path.c_str());
      return false;
    }
  }
  if (library_bytes.empty()) {
    fprintf(stderr, "install_bench: no library for the corpus\n");
    return false;
  }
  Random random;
  uint32_t next_library = 0;
  for (const FolderPlan& folder : large_files == 0 ? Plan() : PlanLarge()) {
    if (large_files != 0 && corpus->files.size() >= large_files) break;
    if (!MakeFolders(root, folder.path, &corpus->folders)) return false;
    const std::string prefix = folder.path.empty() ? "" : folder.path + "/";
    const std::string stem = folder.path.substr(folder.path.rfind('/') + 1);
    for (uint32_t k = 0; k < folder.files; ++k) {
      if (large_files != 0 && corpus->files.size() >= large_files) break;
      const Kind kind = folder.kinds[k % 2];
      char leaf[64];
      snprintf(leaf, sizeof(leaf), "%s%03u%s", stem.empty() ? "readme" : stem.c_str(), k,
               folder.extensions[k % 2]);
      std::string bytes;
      if (kind == Kind::kLibrary) {
        bytes = library_bytes[next_library % library_bytes.size()];
        StampLibrary(next_library++, &bytes);
        corpus->library_bytes += bytes.size();
      } else if (kind == Kind::kPicture || kind == Kind::kPacked || kind == Kind::kTable) {
        bytes = MakeBinary(kind, random.Size(folder.low, folder.high), random);
        corpus->binary_bytes += bytes.size();
      } else {
        bytes = MakeText(kind, random.Size(folder.low, folder.high), random);
        corpus->text_bytes += bytes.size();
      }
      if (!WriteFile(root + "/" + prefix + leaf, bytes)) return false;
      corpus->files.push_back(prefix + leaf);
    }
  }
  return true;
}

}  // namespace bench
}  // namespace kest
