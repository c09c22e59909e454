#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/byte_io.h"
#include "tools/kestpack/archive_builder.h"
#include "tools/kestpack/commands.h"
#include "tools/kestpack/entry_names.h"
#include "tools/kestpack/host_files.h"
#include "tools/kestpack/installer_image.h"
#include "tools/kestpack/manifest_report.h"
#include "tools/kestpack/pack_folder.h"
#include "tools/kestpack/printable_text.h"
#include "tools/kestpack/rsa_signer.h"
#include "tools/kestpack/stub_key.h"
#include "verify/md5.h"
#include "verify/modern_key_slot.h"
#include "verify/pkcs1_signature.h"
#include "verify/sha256.h"

namespace kest {
namespace {

constexpr uint32_t kDefaultMethod = 1;

// One line on the terminal, rewritten after every entry.
class ProgressLine {
 public:
  explicit ProgressLine(size_t total) : total_(total), on_(isatty(STDERR_FILENO) != 0) {}
  void Show(size_t index, const std::string& name) {
    if (!on_) return;
    std::string shown = name.size() > 50 ? "..." + name.substr(name.size() - 47) : name;
    fprintf(stderr, "\r\033[Kpacking %zu/%zu (%zu%%) %s", index + 1, total_,
            (index + 1) * 100 / (total_ ? total_ : 1), shown.c_str());
    fflush(stderr);
  }
  void Done() {
    if (on_) fprintf(stderr, "\r\033[K");
  }

 private:
  size_t total_;
  bool on_;
};

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ManifestInput(const std::string& path, std::vector<ArchiveInput>* inputs,
                   std::string* error) {
  std::string name = BaseName(path), reason;
  struct stat st;
  if (!StatRegularFile(path, &st, error)) return false;
  if (!CheckPackedName(name, &reason)) {
    *error = path + ": cannot be packed as \"" + name + "\": " + reason;
    return false;
  }
  inputs->push_back(
      {name, path, int64_t(st.st_mtim.tv_sec), st.st_mtim.tv_nsec, 0, uint64_t(st.st_size), false});
  return true;
}

// Signs image + archive and checks the signature with the installer's own
// verifier before anything is written.
bool Sign(const RsaSigner& signer, const std::vector<uint8_t>& image,
          const std::vector<uint8_t>& archive, uint8_t (&record)[kSignatureRecordBytes],
          std::string* error) {
  uint8_t signature[kSignatureBytes];
  if (!signer.SignMd5({{image.data(), image.size()}, {archive.data(), archive.size()}},
                      signature, error)) {
    return false;
  }
  std::vector<uint8_t> der = signer.PublicKeyDer();
  RsaPublicKey key;
  Md5 md5;
  md5.Update(image.data(), image.size());
  md5.Update(archive.data(), archive.size());
  uint8_t digest[kMd5DigestBytes];
  md5.Final(digest);
  if (!ParseRsaPublicKeyDer(der.data(), der.size(), &key) ||
      !VerifyMd5Signature(key, digest, signature, sizeof signature)) {
    *error = "the new signature does not verify; nothing written";
    return false;
  }
  BuildSignatureRecord(signature, record);
  return true;
}

// The second record: signs image + archive + the first record with the
// RSA-3072 key and checks it with the installer's own verifier.
bool SignModern(const RsaSigner& signer, const std::vector<uint8_t>& image,
                const std::vector<uint8_t>& archive,
                const uint8_t (&first)[kSignatureRecordBytes],
                uint8_t (&record)[kModernRecordBytes], std::string* error) {
  uint8_t signature[kModernSignatureBytes];
  if (!signer.SignSha256({{image.data(), image.size()},
                          {archive.data(), archive.size()},
                          {first, sizeof first}},
                         signature, error)) {
    return false;
  }
  std::vector<uint8_t> der = signer.PublicKeyDer();
  RsaPublicKey key;
  Sha256 sha256;
  sha256.Update(image.data(), image.size());
  sha256.Update(archive.data(), archive.size());
  sha256.Update(first, sizeof first);
  uint8_t digest[kSha256DigestBytes];
  sha256.Final(digest);
  if (!ParseRsaPublicKeyDer(der.data(), der.size(), &key, kModernModulusBits) ||
      !VerifySha256Signature(key, digest, signature, sizeof signature)) {
    *error = "the new second signature does not verify; nothing written";
    return false;
  }
  BuildModernRecord(signature, record);
  return true;
}

// Without --modern-key the stub must not require the second record, or the
// installer would refuse its own package.
bool CheckModernNotRequired(const std::vector<uint8_t>& image, const std::string& stub_path,
                            std::string* error) {
  bool found = false, required = false;
  std::vector<uint8_t> der;
  if (!ReadStubPublicKey(image.data(), image.size(), &found, &der, error, KeyKind::kModern,
                         &required)) {
    *error = stub_path + ": " + *error;
    return false;
  }
  if (required) {
    *error = stub_path + ": the stub requires the second signature record (built with "
                         "-DKEST_MODERN_REQUIRED=ON); pass --modern-key, or the installer would "
                         "refuse the package as damaged (0x8040F001)";
    return false;
  }
  return true;
}

int RunBuild(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!BeginCommand(kBuildCommand, args, &parsed, &status)) return status;
  std::string error;
  const bool archive_only = parsed.Has("--archive-only");
  uint32_t method = kDefaultMethod;
  if (parsed.Has("--method")) {
    std::string m = parsed.Value("--method");
    if (m.size() != 1 || m[0] < '0' || m[0] > '3') {
      return UsageError(kBuildCommand, "--method takes 0, 1, 2 or 3");
    }
    method = uint32_t(m[0] - '0');
  }
  const bool smallest = parsed.Has("--smallest");
  if (smallest && method != 1) return UsageError(kBuildCommand, "--smallest needs method 1");
  const bool modern = parsed.Has("--modern-key");
  if (modern && archive_only) {
    return UsageError(kBuildCommand, "--archive-only writes no signature: no --modern-key");
  }
  const std::string output = parsed.Value("-o"), folder = parsed.operands[0];

  // Everything that can be refused is checked before the long part, the
  // place of the output first.
  PendingFile out;
  if (!out.Create(output, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  std::vector<ArchiveInput> inputs;
  if (!ManifestInput(parsed.Value("--components"), &inputs, &error) ||
      !ManifestInput(parsed.Value("--dependencies"), &inputs, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  if (!ReportManifestFaults(parsed.Value("--components"), parsed.Value("--dependencies"),
                            parsed.Has("--keep-manifest-faults"))) {
    return kExitBadInput;
  }
  std::vector<PackFile> files;
  if (!CollectPackFiles(folder, parsed.Has("--follow-links") ? FolderLinks::kFollow
                                                             : FolderLinks::kRefuse,
                        &files, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  std::vector<NamedInput> names;
  for (const PackFile& f : files) {
    inputs.push_back(
        {f.name, f.path, f.mtime_seconds, f.mtime_nanoseconds, method, f.size, smallest});
  }
  for (const ArchiveInput& in : inputs) names.push_back({in.name, in.path});
  if (!CheckDistinctNames(names, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  std::vector<uint8_t> image;
  RsaSigner signer, modern_signer;
  if (!archive_only) {
    std::vector<uint8_t> stub;
    const std::string stub_path = parsed.Value("--stub");
    if (!ReadWholeFile(stub_path, &stub, &error)) {
      PrintError(error);
      return kExitBadInput;
    }
    if (!PrepareInstallerImage(stub, &image, &error)) {
      PrintError(stub_path + ": " + error);
      return kExitBadInput;
    }
    if (!signer.Load(parsed.Value("--key"), &error)) {
      PrintError(error);
      return kExitBadInput;
    }
    if (modern && !modern_signer.Load(parsed.Value("--modern-key"), &error, kModernModulusBits)) {
      PrintError(error);
      return kExitBadInput;
    }
    if (!SetStubPublicKey(&image, signer.PublicKeyDer(), parsed.Value("--public-key"), stub_path,
                          parsed.Value("--key"), &error) ||
        (modern ? !SetStubPublicKey(&image, modern_signer.PublicKeyDer(),
                                    parsed.Value("--modern-public-key"), stub_path,
                                    parsed.Value("--modern-key"), &error, KeyKind::kModern)
                : !CheckModernNotRequired(image, stub_path, &error)) ||
        !CheckComponentMachines(image, files, &error)) {
      PrintError(error);
      return kExitBadInput;
    }
    // The flag is part of the signed image: nobody can clear it afterwards.
    if (parsed.Has("--modern-required")) {
      image[FindModernKeySlot(image.data(), image.size()) + kModernSlotRequiredField] = 1;
    }
  }
  // Offsets in the package are 32-bit: the image, the archive and the
  // signature record together stay within kLargestSourceBytes, the largest
  // file the installer reads. Stored, the archive's length is known now;
  // packed, it is known only entry by entry, and the build stops at the
  // first entry that passes the limit.
  const uint64_t limit = kLargestSourceBytes - image.size() -
                         (archive_only ? 0 : kSignatureRecordBytes) -
                         (modern ? kModernRecordBytes : 0);
  if (method == 0 && StoredArchiveBytes(inputs) > limit) {
    PrintError(output + ": the package would exceed 4 GiB: its files add up to " +
               std::to_string(StoredArchiveBytes(inputs)) + " bytes stored");
    return kExitBadInput;
  }

  std::vector<uint8_t> archive;
  ProgressLine progress(inputs.size());
  bool built = BuildArchive(
      inputs, limit, &archive,
      [&](size_t i, const BuiltEntry&) { progress.Show(i, inputs[i].name); }, &error);
  progress.Done();
  if (!built) {
    PrintError(error);
    return kExitBadInput;
  }
  uint8_t record[kSignatureRecordBytes];
  uint8_t modern_record[kModernRecordBytes];
  std::vector<ByteSpan> parts;
  if (!archive_only) {
    if (!Sign(signer, image, archive, record, &error) ||
        (modern && !SignModern(modern_signer, image, archive, record, modern_record, &error))) {
      PrintError(error);
      return kExitBadInput;
    }
    parts.push_back({image.data(), image.size()});
  }
  parts.push_back({archive.data(), archive.size()});
  if (!archive_only) parts.push_back({record, sizeof record});
  if (modern) parts.push_back({modern_record, sizeof modern_record});
  if (!out.Commit(parts, archive_only ? 0666 : 0777, &error)) {
    PrintError(error);
    return kExitBadInput;
  }
  printf("%s: %zu entries, archive of %zu bytes", Printable(output).c_str(), inputs.size(),
         archive.size());
  if (!archive_only) printf(" at offset %zu, signed", image.size());
  if (modern) printf(", with the second (RSA-3072 SHA-256) signature");
  printf("\n");
  return kExitOk;
}

}  // namespace

const Subcommand kBuildCommand = {
    "build",
    "FOLDER",
    {
        {"-o", "OUT.exe", "the file to write (replaced only when the build succeeds)", true},
        {"--stub", "kestinst.exe", "the installer executable", true, "--archive-only"},
        {"--key", "KEY.pem", "PEM private key, RSA-768 (see kestpack keygen)", true,
         "--archive-only"},
        {"--public-key", "PUBLIC.der",
         "its public half, 126-byte DER: written into the stub's\n"
         "public-key slot before signing, so that any stub of this\n"
         "release checks the package with the vendor's key. Without\n"
         "it the slot must already hold that key (a stub built with\n"
         "-DKEST_PUBLIC_KEY). A key that does not match is refused:\n"
         "the installer would refuse its own package"},
        {"--modern-key", "MODERN.pem",
         "PEM private key, RSA-3072 (see kestpack keygen --modern):\n"
         "adds the second signature record (RSA-3072, PKCS #1 v1.5,\n"
         "SHA-256 over the signed bytes and the first record)"},
        {"--modern-public-key", "MODERN.der",
         "its public half, 422-byte DER, written into the\n"
         "stub's modern-key slot; without it the slot must already\n"
         "hold that key (-DKEST_MODERN_PUBLIC_KEY)",
         false, nullptr, "--modern-key"},
        {"--modern-required", nullptr,
         "sets the slot's flag that makes the installer refuse a\n"
         "package without the second record (as a stub built with\n"
         "-DKEST_MODERN_REQUIRED=ON has it)",
         false, nullptr, "--modern-key"},
        {"--components", "CPACK.INI", "the component manifest: first entry, stored", true},
        {"--dependencies", "CPACK.INF", "the dependency manifest: second entry, stored", true},
        {"--method", "0|1|2|3",
         "compression of FOLDER's files: 0 stored, 1 best (default),\n"
         "2, 3 fastest; an entry that does not shrink is stored"},
        {"--smallest", nullptr,
         "method 1 choosing its matches by their price in bits:\n"
         "about 2% smaller, in about 2.5 times the time"},
        {"--archive-only", nullptr, "write the bare ARJ archive alone (--stub, --key not needed)"},
        {"--follow-links", nullptr,
         "pack what the symbolic links below FOLDER point to;\n"
         "without it a link is refused"},
        {"--keep-manifest-faults", nullptr,
         "build even when a manifest has lines the installer\n"
         "would report and skip (unknown key, no '=', empty value,\n"
         "a path of 260 characters or more) or never use (a Platform\n"
         "other than WIN_95, WIN_NT_35, WIN_NT_40; a Registry\n"
         "not key path:value name), or a file the installer will not\n"
         "take as the manifest it is given as (the two swapped);\n"
         "they become warnings"},
    },
    "Builds a signed installer: the stub's image up to the end of its last\n"
    "section, the package archive, and the signature trailer.\n",
    "FOLDER's files follow the manifests in the byte order of their relative\n"
    "paths ('/' between folders); those paths are the entry names, so top-level\n"
    "folders _win, _winsys and _scriba select the installer's folder tokens.\n"
    "Refused: names that could leave the destination ('..', ':', a leading\n"
    "separator, device names such as CON or LPT1), names with characters\n"
    "outside ASCII (the installer would create them under another name on a\n"
    "machine with another code page), and two names, manifests included, that\n"
    "differ only in letter case, and a .dll or .ocx built for another machine\n"
    "than the stub (i386 or x86-64). Each entry carries its file's version resource\n"
    "(zero when it has none) and modification time; the ARJ time is that moment\n"
    "in local time (TZ). The same inputs give the same bytes.\n",
    RunBuild};

}  // namespace kest
