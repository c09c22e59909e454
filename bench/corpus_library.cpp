// A library of the install benchmark's corpus: real code and a real
// version resource (corpus_library.rc), copied under many names into the
// pack. Built twice: small (C-like, no C++ runtime) and, with
// KEST_CORPUS_RUNTIME, with the C++ runtime linked in, the size of a
// typical component library.
#include <windows.h>

#ifdef KEST_CORPUS_RUNTIME
#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// Something for the linker to keep: a formatted table of sorted words.
extern "C" __declspec(dllexport) int CorpusTableText(char* out, int size) {
  std::vector<std::string> words = {"grid", "chart", "column", "row", "cell", "header"};
  std::sort(words.begin(), words.end());
  std::map<std::string, size_t> lengths;
  for (const std::string& w : words) lengths[w] = w.size();
  std::ostringstream text;
  for (const auto& entry : lengths) text << entry.first << '=' << entry.second << '\n';
  const std::string s = text.str();
  if (size <= 0) return static_cast<int>(s.size());
  const int n = std::min<int>(size - 1, static_cast<int>(s.size()));
  s.copy(out, n);
  out[n] = '\0';
  return n;
}
#endif

extern "C" __declspec(dllexport) int CorpusChecksum(const unsigned char* data, int size) {
  unsigned sum = 0;
  for (int k = 0; k < size; ++k) sum = sum * 31u + data[k];
  return static_cast<int>(sum);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
