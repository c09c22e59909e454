#include "tests/archive/reader_test_support.h"

#include <cstring>

#include "archive/crc32.h"

namespace kest {
namespace test {

void Put16(Bytes* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void Append(Bytes* out, const Bytes& more) { out->insert(out->end(), more.begin(), more.end()); }

Bytes Qel1(uint16_t major, uint16_t minor, uint16_t build, uint16_t revision, uint64_t file_time,
           uint32_t value, const char* magic) {
  Bytes x(magic, magic + 4);
  for (uint16_t word : {major, minor, build, revision}) Put16(&x, word);
  Put32(&x, static_cast<uint32_t>(file_time));
  Put32(&x, static_cast<uint32_t>(file_time >> 32));
  Put32(&x, value);
  return x;
}

Bytes TestHeader::Build() const {
  Bytes fixed = {first_size, archiver_version, minimum_version, host_os,
                 flags,      method,           file_type,       reserved};
  Put32(&fixed, dos_time);
  Put32(&fixed, packed_size);
  Put32(&fixed, original_size);
  Put32(&fixed, data_crc);
  Put16(&fixed, file_spec_position);
  Put16(&fixed, access_mode);
  Put16(&fixed, host_data);
  if (first_size > fixed.size()) fixed.resize(first_size, 0);

  Bytes basic = fixed;
  basic.insert(basic.end(), name.begin(), name.end());
  basic.push_back(0);
  basic.insert(basic.end(), comment.begin(), comment.end());
  basic.push_back(0);
  // A B smaller than the texts cuts them (and the CRC covers what is left).
  if (basic_size != 0 && basic_size < basic.size()) basic.resize(basic_size);
  const uint32_t b = basic_size != 0 ? basic_size : static_cast<uint32_t>(basic.size());

  Bytes out;
  Put16(&out, id);
  Put16(&out, b);
  Append(&out, basic);
  Put32(&out, set_header_crc ? header_crc : Crc32Of(basic.data(), basic.size()));
  for (const Bytes& x : extensions) {
    Put16(&out, static_cast<uint32_t>(x.size()));
    Append(&out, x);
    Put32(&out, Crc32Of(x.data(), x.size()));
  }
  Put16(&out, 0);
  return out;
}

Bytes EndMarker() { return {0x60, 0xEA, 0x00, 0x00}; }

TestEntry StoredEntry(const std::string& name, const Bytes& data) {
  TestEntry e;
  e.header.name = name;
  e.header.packed_size = e.header.original_size = static_cast<uint32_t>(data.size());
  e.header.data_crc = Crc32Of(data.data(), data.size());
  e.header.extensions = {Qel1(1, 2, 3, 4, 0x01BC0A3C4155F880, 0x51)};
  e.data = data;
  return e;
}

Bytes BuildArchive(const std::vector<TestEntry>& entries) {
  TestHeader main;
  main.name = "test.arj";
  main.file_type = 2;
  Bytes body;
  for (const TestEntry& e : entries) {
    Append(&body, e.header.Build());
    Append(&body, e.data);
  }
  Append(&body, EndMarker());
  main.extensions = {Qel1(0, 0, 0, 0, 0, 0)};
  const uint32_t length = static_cast<uint32_t>(main.Build().size() + body.size());
  main.extensions = {Qel1(0, 0, 0, 0, 0, length)};
  Bytes out = main.Build();
  Append(&out, body);
  return out;
}

std::vector<int> LengthsFor(size_t alphabet, const std::vector<int>& symbols,
                            const std::vector<int>& lengths) {
  std::vector<int> out(alphabet, 0);
  for (size_t k = 0; k < symbols.size(); ++k) out[symbols[k]] = lengths[k];
  return out;
}

void StreamBuilder::SmallLengths(const std::vector<int>& lengths, int zero_run_after,
                                 int zero_run) {
  Bits(5, static_cast<uint32_t>(lengths.size()));
  for (size_t i = 0; i < lengths.size(); ++i) {
    const int l = lengths[i];
    if (l < 7) {
      Bits(3, static_cast<uint32_t>(l));
    } else {
      Bits(3, 7);
      for (int k = 7; k < l; ++k) Bits(1, 1);
      Bits(1, 0);
    }
    if (static_cast<int>(i) + 1 == zero_run_after) {
      Bits(2, static_cast<uint32_t>(zero_run));
      i += zero_run;  // those lengths are the run's zeros
    }
  }
}

void StreamBuilder::PreTreeLengths(const std::vector<int>& lengths, int zero_run) {
  SmallLengths(lengths, 3, zero_run);
  pre_tree_.Set(lengths);
}

void StreamBuilder::PositionLengths(const std::vector<int>& lengths) {
  SmallLengths(lengths, -1, 0);
  positions_.Set(lengths);
}

void StreamBuilder::PreTreeSingle(uint32_t symbol) {
  Bits(5, 0);
  Bits(5, symbol);
  pre_tree_.Set({});
}

void StreamBuilder::PositionSingle(uint32_t symbol) {
  Bits(5, 0);
  Bits(5, symbol);
  positions_.Set({});
}

void StreamBuilder::StandardPreTree() {
  // Symbols 0 and 2 (one zero, long zero runs) 2 bits, 1 and 3 6 bits,
  // 4..18 5 bits: 2/4 + 2/64 + 15/32 fills the code space.
  std::vector<int> lengths(19, 5);
  lengths[0] = lengths[2] = 2;
  lengths[1] = lengths[3] = 6;
  PreTreeLengths(lengths);
}

void StreamBuilder::CharLengths(const std::vector<int>& lengths) {
  Bits(9, static_cast<uint32_t>(lengths.size()));
  for (size_t i = 0; i < lengths.size();) {
    if (lengths[i] != 0) {
      Symbol(pre_tree_, lengths[i] + 2);
      ++i;
      continue;
    }
    size_t run = 0;
    while (i + run < lengths.size() && lengths[i + run] == 0) ++run;
    if (run >= 20) {
      run = run > 531 ? 531 : run;
      Symbol(pre_tree_, 2);
      Bits(9, static_cast<uint32_t>(run - 20));
    } else if (run >= 3) {
      run = run > 18 ? 18 : run;
      Symbol(pre_tree_, 1);
      Bits(4, static_cast<uint32_t>(run - 3));
    } else {
      run = 1;
      Symbol(pre_tree_, 0);
    }
    i += run;
  }
  std::vector<int> all = lengths;
  all.resize(510, 0);
  chars_.Set(all);
}

void StreamBuilder::CharSingle(uint32_t symbol) {
  Bits(9, 0);
  Bits(9, symbol);
  chars_.Set({});
}

void StreamBuilder::Code::Set(const std::vector<int>& new_lengths) {
  lengths = new_lengths;
  codes.assign(lengths.size(), 0);
  // Canonical: shorter lengths first, then symbol order.
  uint32_t next = 0;
  for (int len = 1; len <= 16; ++len) {
    for (size_t s = 0; s < lengths.size(); ++s) {
      if (lengths[s] == len) codes[s] = next++;
    }
    next <<= 1;
  }
}

void StreamBuilder::Symbol(const Code& code, int symbol) {
  if (code.lengths.empty()) return;  // a one-symbol code takes no bits
  Bits(static_cast<uint32_t>(code.lengths[symbol]), code.codes[symbol]);
}

void StreamBuilder::Literal(uint8_t byte) { Symbol(chars_, byte); }

void StreamBuilder::Match(uint32_t length, uint32_t distance) {
  Symbol(chars_, static_cast<int>(length + 253));
  const uint32_t d = distance - 1;
  int p = 0;
  while ((d >> p) != 0) ++p;  // 2^(p-1) <= d < 2^p
  Symbol(positions_, p);
  if (p > 1) Bits(static_cast<uint32_t>(p - 1), d - (1u << (p - 1)));
}

Bytes StreamBuilder::Finish() {
  bits_.Flush();
  return Bytes(bits_.data(), bits_.data() + bits_.size());
}

uint32_t ChunkSink::Write(const void* data, uint32_t size) {
  if (chunks.size() == fail_at_chunk) return fail_code;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  bytes.insert(bytes.end(), p, p + size);
  chunks.push_back(size);
  return 0;
}

namespace {

class MemoryFile : public OutputFile {
 public:
  MemoryFile(MemoryFileSystem& fs, const std::string& path) : fs_(fs), path_(path) {}
  uint32_t Write(const void* data, uint32_t size) override {
    if (writes_++ == fs_.fail_write_at) return fs_.write_error;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    Bytes& bytes = fs_.files[path_].bytes;
    bytes.insert(bytes.end(), p, p + size);
    return 0;
  }
  uint32_t SetDosTime(uint32_t dos_time) override {
    fs_.files[path_].dos_time = dos_time;
    fs_.files[path_].time_set = true;
    return 0;
  }
  void Close() override { fs_.files[path_].closed = true; }

 private:
  MemoryFileSystem& fs_;
  std::string path_;
  int writes_ = 0;
};

}  // namespace

uint32_t MemoryFileSystem::Create(const char* path, std::unique_ptr<OutputFile>* file) {
  if (create_error != 0) return create_error;
  created.push_back(path);
  files[path] = File();
  file->reset(new MemoryFile(*this, path));
  return 0;
}

uint32_t MemoryFileSystem::Delete(const char* path) {
  deleted.push_back(path);
  return files.erase(path) == 1 ? 0 : 2;
}

uint32_t FaultySource::Read(void* buffer, uint32_t size, uint32_t* read) {
  *read = 0;
  if (position <= fail_read_at && fail_read_at - position < size) return read_error;
  const uint32_t left = position < bytes_.size() ? static_cast<uint32_t>(bytes_.size()) - position : 0;
  const uint32_t n = size < left ? size : left;
  if (n != 0) memcpy(buffer, bytes_.data() + position, n);
  position += n;
  *read = n;
  return 0;
}

uint32_t FaultySource::Tell(uint32_t* at) {
  if (tell_error != 0) return tell_error;
  *at = position;
  return 0;
}

uint32_t FaultySource::Seek(uint32_t at) {
  position = at;
  return 0;
}

uint32_t FaultySource::Size(uint32_t* size) {
  *size = static_cast<uint32_t>(bytes_.size());
  return 0;
}

}  // namespace test
}  // namespace kest
