// The install benchmark's corpus: a component pack as a vendor ships one,
// made the same way on every run (a fixed seed, fixed file times):
//
//   bin, bin\plugins\NN, lib\x86, lib\x64   libraries: copies of real DLLs
//                                           with version resources, under
//                                           many names
//   help\LANG, docs\api\AREA                pages and text (packs well)
//   include\morvane\PART, samples\...       headers and sample sources
//   resources\images\SET                    pictures: noisy gradients that
//                                           pack partly, and bytes that do
//                                           not pack at all
//   data\tables, data\maps                  binary records, partly packable
//
// Every name is lower case (the installer lower-cases its target paths, so
// a byte-for-byte comparison of the installed trees needs no case folding)
// and plain ASCII.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kest {
namespace bench {

struct Corpus {
  std::vector<std::string> files;    // relative paths, '/' between folders
  uint32_t folders = 0;              // below the root, the root not counted
  uint64_t text_bytes = 0, binary_bytes = 0, library_bytes = 0;
};

// The large corpus's whole size: 20,000 files in 2,000 folders of ten
// (below twenty areas), about 320 MB.
constexpr uint32_t kLargeCorpusFiles = 20000;

// Writes the corpus below root (which must exist and be empty), copying
// libraries[k] for the library files in turn: with large_files 0 the small
// one, otherwise the first large_files files (at most kLargeCorpusFiles) of
// the large one, folder by folder. False, with a message on stderr, when a
// library cannot be read or a file cannot be written.
bool MakeCorpus(const std::string& root, const std::vector<std::string>& libraries,
                uint32_t large_files, Corpus* corpus);

}  // namespace bench
}  // namespace kest
