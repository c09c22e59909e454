// Speed of the signature check every installer run starts with, against
// `openssl dgst -md5` on the same file. Prints MB/s for each and the ratio
// of our time to openssl's (the target: at most 1.2). Then the same check
// of the same package with the second (RSA-3072, SHA-256) record behind the
// first, by an installer holding the modern TEST key, and the ratio of its
// time to the check without it.
//
// Usage: signature_bench [WORK_FOLDER]
//        signature_bench --check PACKAGE ARCHIVE_OFFSET [modern]
//            (one check; exit 0 when it passes; "modern": the installer
//            holds the modern TEST key and requires the second record)
//
// The package: 64 KiB standing in for the installer image, an archive of a
// small manifest and about 37 MB of stored data, and the signature record,
// signed with the repository's test key (the key the host build has built
// in). Contenders, each a process of its own, so that both pay their start:
//   ours           this program with --check: the installer's reader on a
//                  file source positioned at the archive, as OpenPackage
//                  makes it; Open() runs the trailer step, which hashes the
//                  signed range in 64 KiB reads through the same source and
//                  checks the RSA signature
//   openssl dgst   `openssl dgst -md5 PACKAGE`, the same bytes and more
// and, in this process, our Md5 over the bytes in memory (the hash alone).
// Each runs eleven times, taking turns, and the fastest run counts. The
// default work folder is on tmpfs (/dev/shm), so the file is read from
// memory by both.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "archive/posix_output_files.h"
#include "bench/bench_support.h"
#include "packaging/archive_writer.h"
#include "packaging/vector_sink.h"
#include "tools/kestpack/host_files.h"
#include "tools/kestpack/rsa_signer.h"
#include "verify/md5.h"
#include "verify/modern_record.h"
#include "verify/sha256.h"
#include "verify/signature_record.h"
#include "verify/signed_package_reader.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kImageBytes = 64u << 10;
constexpr uint32_t kDataBytes = 37u << 20;
constexpr int kRounds = 11;

Bytes PseudoRandom(size_t size, uint64_t seed) {
  Bytes bytes(size);
  uint64_t x = seed;
  for (uint8_t& b : bytes) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    b = static_cast<uint8_t>(x >> 24);
  }
  return bytes;
}

// The signed package; *archive_offset receives where its archive starts.
// *modern_record receives the second record for it.
bool MakePackage(Bytes* package, uint32_t* archive_offset, Bytes* modern_record) {
  const Bytes image = PseudoRandom(kImageBytes, 0x9E3779B97F4A7C15ull);
  const Bytes data = PseudoRandom(kDataBytes, 0xD1B54A32D192ED03ull);
  const std::string manifest = "[Component1]\r\nName=Bench\r\n";
  Bytes archive;
  kest::VectorSink sink(&archive);
  kest::ArchiveWriter writer(sink);
  kest::EntryInfo info = {"CPACK.INI", 0x22388269, 0x01BC0A3C4155F880ull, {0, 0, 0, 0}};
  bool ok = writer.Begin("BENCH.ARJ", 0x22388269) == 0 &&
            writer.AddEntry(info, reinterpret_cast<const uint8_t*>(manifest.data()),
                            static_cast<uint32_t>(manifest.size()), 0) == 0;
  info.name = "DATA.BIN";
  ok = ok && writer.AddEntry(info, data.data(), kDataBytes, 0) == 0 && writer.Finish() == 0;
  ok = ok && kest::SetArchiveLength(archive.data(), writer.length(), writer.length()) == 0;
  if (!ok) return false;

  kest::RsaSigner signer;
  std::string error;
  uint8_t signature[kest::kSignatureBytes], record[kest::kSignatureRecordBytes];
  if (!signer.Load(KEST_SOURCE_DIR "/tests/keys/test-signing-key.pem", &error) ||
      !signer.SignMd5({{image.data(), image.size()}, {archive.data(), archive.size()}}, signature,
                      &error)) {
    fprintf(stderr, "signing failed: %s\n", error.c_str());
    return false;
  }
  kest::BuildSignatureRecord(signature, record);
  kest::RsaSigner modern;
  uint8_t modern_signature[kest::kModernSignatureBytes], second[kest::kModernRecordBytes];
  if (!modern.Load(KEST_SOURCE_DIR "/tests/keys/test-modern-key.pem", &error,
                   kest::kModernModulusBits) ||
      !modern.SignSha256({{image.data(), image.size()},
                          {archive.data(), archive.size()},
                          {record, sizeof record}},
                         modern_signature, &error)) {
    fprintf(stderr, "signing failed: %s\n", error.c_str());
    return false;
  }
  kest::BuildModernRecord(modern_signature, second);
  modern_record->assign(second, second + sizeof second);
  *package = image;
  package->insert(package->end(), archive.begin(), archive.end());
  package->insert(package->end(), record, record + sizeof record);
  *archive_offset = kImageBytes;
  return true;
}

// The installer's check on the package at path, as OpenPackage runs it;
// with modern, by an installer that holds the modern TEST key and requires
// the second record.
int Check(const char* path, uint32_t archive_offset, bool modern) {
  std::string error;
  std::unique_ptr<kest::PosixFileSource> source = kest::PosixFileSource::Open(path, &error);
  if (!source || source->Seek(archive_offset) != 0) return 2;
  kest::ModernKey key = {false, false, {}};
  if (modern) {
    kest::RsaSigner signer;
    std::vector<uint8_t> der;
    if (!signer.Load(KEST_SOURCE_DIR "/tests/keys/test-modern-key.pem", &error,
                     kest::kModernModulusBits)) {
      return 2;
    }
    der = signer.PublicKeyDer();
    key.present = key.required = true;
    if (!kest::ParseRsaPublicKeyDer(der.data(), der.size(), &key.key, kest::kModernModulusBits)) {
      return 2;
    }
  }
  kest::PosixFileSystem output;
  kest::SignedPackageReader reader(source.release(), true, output, nullptr, &key);
  return reader.Open() && reader.modern_verified() == modern ? 0 : 1;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  bool ok = f != nullptr && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f != nullptr) ok = fclose(f) == 0 && ok;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 4 || argc == 5) && std::string(argv[1]) == "--check") {
    return Check(argv[2], static_cast<uint32_t>(strtoul(argv[3], nullptr, 10)),
                 argc == 5 && std::string(argv[4]) == "modern");
  }
  const bool scratch = argc < 2;
  const std::string work =
      scratch ? kest::bench::MakeScratchFolder("kest-signature-bench") : std::string(argv[1]);
  if (work.empty()) return 1;
  if (!scratch) mkdir(work.c_str(), 0755);

  Bytes package, modern_record;
  uint32_t archive_offset = 0;
  if (!MakePackage(&package, &archive_offset, &modern_record)) return 1;
  const std::string path = work + "/package.exe", modern_path = work + "/package-modern.exe";
  Bytes modern_package = package;
  modern_package.insert(modern_package.end(), modern_record.begin(), modern_record.end());
  if (!WriteFile(path, package) || !WriteFile(modern_path, modern_package)) return 1;
  printf("package: %.1f MB (image, archive with %.1f MB stored, signature record)\n",
         package.size() / 1e6, kDataBytes / 1e6);

  const std::string ours = std::string("'") + argv[0] + "' --check '" + path + "' " +
                           std::to_string(archive_offset);
  const std::string ours_modern = std::string("'") + argv[0] + "' --check '" + modern_path +
                                  "' " + std::to_string(archive_offset) + " modern";
  const std::string openssl = "openssl dgst -md5 '" + path + "' >/dev/null";
  const size_t signed_bytes = package.size() - kest::kSignatureRecordBytes;
  const std::vector<double> times = kest::bench::Fastest(kRounds, {
      [&] { return system(ours.c_str()) == 0; },
      [&] { return system(openssl.c_str()) == 0; },
      [&] {
        kest::Md5 md5;
        md5.Update(package.data(), signed_bytes);
        uint8_t digest[kest::kMd5DigestBytes];
        md5.Final(digest);
        return true;
      },
      [&] { return system(ours_modern.c_str()) == 0; },
      [&] {
        kest::Sha256 sha256;
        sha256.Update(package.data(), signed_bytes);
        uint8_t digest[kest::kSha256DigestBytes];
        sha256.Final(digest);
        return true;
      },
  });

  const double mb = package.size() / 1e6;
  auto line = [](const char* who, double megabytes, double seconds) {
    if (seconds < 0) printf("  %-38s failed\n", who);
    else printf("  %-38s %8.1f MB/s  (%.3f s)\n", who, megabytes / seconds, seconds);
  };
  printf("signature check of one package, MB/s (fastest of %d):\n", kRounds);
  line("ours (installer's check, process)", mb, times[0]);
  line("openssl dgst -md5 (process)", mb, times[1]);
  line("ours (Md5 in memory, hash alone)", signed_bytes / 1e6, times[2]);
  line("ours with the second record (process)", mb, times[3]);
  line("ours (Sha256 in memory, hash alone)", signed_bytes / 1e6, times[4]);
  const bool passed = times[0] > 0 && times[1] > 0 && times[3] > 0;
  if (passed) {
    printf("ratio (our time / openssl's): %.2f\n", times[0] / times[1]);
    printf("ratio (with the second record / without): %.2f (target: at most 1.05)\n",
           times[3] / times[0]);
  }

  if (scratch) kest::bench::RemoveFolder(work);
  return passed ? 0 : 1;
}
