#include "tools/kestpack/stub_key.h"

#include <cstdio>
#include <cstring>

#include "tools/kestpack/command_line.h"
#include "tools/kestpack/host_files.h"
#include "tools/kestpack/pe_image.h"
#include "verify/md5.h"
#include "verify/modern_key_slot.h"
#include "verify/public_key_slot.h"
#include "verify/rsa_public_key.h"
#include "verify/sha256.h"

namespace kest {

// tests/keys/test-signing-key.der and test-modern-key.der, built in
// whatever KEST_PUBLIC_KEY and KEST_MODERN_PUBLIC_KEY say.
extern const uint8_t kTestPublicKeyDer[kPublicKeyDerBytes];
extern const uint8_t kTestModernKeyDer[kModernKeyDerBytes];

namespace {

// What differs between the two slots and their keys.
struct SlotKind {
  size_t (*find)(const uint8_t* image, size_t size, size_t start);
  size_t key_field;
  size_t der_bytes;
  size_t modulus_bits;
  const char* name;
  const char* markers;         // as a person finds them in the image
  const char* option;          // build's option that fills the slot
};

const SlotKind& Slot(KeyKind kind) {
  static const SlotKind kFirst = {FindPublicKeySlot, kKeySlotKeyField, kPublicKeyDerBytes,
                                  kPackageModulusBits, "public-key slot", "\"PubKey>\" .. \"<PubKey\"",
                                  "--public-key"};
  static const SlotKind kModern = {FindModernKeySlot, kModernSlotKeyField, kModernKeyDerBytes,
                                   kModernModulusBits, "modern-key slot", "\"ModKey>\" .. \"<ModKey\"",
                                   "--modern-public-key"};
  return kind == KeyKind::kModern ? kModern : kFirst;
}

bool SameBytes(const std::vector<uint8_t>& der, const uint8_t* key, size_t size) {
  return der.size() == size && memcmp(der.data(), key, size) == 0;
}

template <typename Digest, size_t kBytes>
std::string Fingerprint(const std::vector<uint8_t>& der, const char* name) {
  Digest digest;
  digest.Update(der.data(), der.size());
  uint8_t bytes[kBytes];
  digest.Final(bytes);
  std::string text = std::string("the key with ") + name + " fingerprint ";
  for (size_t i = 0; i < sizeof bytes; ++i) {
    char hex[4];
    snprintf(hex, sizeof hex, i ? ":%02x" : "%02x", bytes[i]);
    text += hex;
  }
  return text;
}

std::string MachineName(uint16_t machine) {
  switch (machine) {
    case 0x14C: return "i386 (32-bit)";
    case 0x8664: return "x86-64 (64-bit)";
  }
  char text[32];
  snprintf(text, sizeof text, "machine 0x%X", machine);
  return text;
}

bool EndsWithIgnoringCase(const std::string& name, const char* tail) {
  size_t n = strlen(tail);
  return name.size() >= n && strcasecmp(name.c_str() + name.size() - n, tail) == 0;
}

}  // namespace

bool ReadPublicKeyFile(const std::string& path, std::vector<uint8_t>* der, std::string* error,
                       KeyKind kind) {
  if (!ReadWholeFile(path, der, error)) return false;
  const SlotKind& slot = Slot(kind);
  RsaPublicKey key;
  if (der->size() != slot.der_bytes ||
      !ParseRsaPublicKeyDer(der->data(), der->size(), &key, slot.modulus_bits)) {
    *error = path + ": not a " + std::to_string(slot.der_bytes) + "-byte DER RSA public key with a " +
             std::to_string(slot.modulus_bits) + "-bit modulus (kestpack keygen" +
             (kind == KeyKind::kModern ? " --modern" : "") + " writes one as BASENAME.der)";
    return false;
  }
  return true;
}

bool IsTestPublicKey(const std::vector<uint8_t>& der) {
  return SameBytes(der, kTestPublicKeyDer, kPublicKeyDerBytes) ||
         SameBytes(der, kTestModernKeyDer, kModernKeyDerBytes);
}

std::string DescribePublicKey(const std::vector<uint8_t>& der) {
  if (SameBytes(der, kTestPublicKeyDer, kPublicKeyDerBytes)) return "the repository's TEST key";
  if (SameBytes(der, kTestModernKeyDer, kModernKeyDerBytes)) {
    return "the repository's modern TEST key";
  }
  // `openssl dgst -md5 -c` (-sha256 -c for a modern key) on the DER file
  // prints the same.
  if (der.size() == kModernKeyDerBytes) {
    return Fingerprint<Sha256, kSha256DigestBytes>(der, "SHA-256");
  }
  return Fingerprint<Md5, kMd5DigestBytes>(der, "MD5");
}

bool ReadStubPublicKey(const uint8_t* image, size_t size, bool* found, std::vector<uint8_t>* der,
                       std::string* error, KeyKind kind, bool* required) {
  const SlotKind& kind_of = Slot(kind);
  size_t slot = kind_of.find(image, size, 0);
  *found = slot != size;
  der->clear();
  if (required != nullptr) *required = false;
  if (!*found) return true;
  if (kind_of.find(image, size, slot + 1) != size) {
    *error = std::string("more than one ") + kind_of.name + " (" + kind_of.markers +
             ") in the image";
    return false;
  }
  const uint8_t* key = image + slot + kind_of.key_field;
  for (size_t i = 0; i < kind_of.der_bytes; ++i) {
    if (key[i] != 0) {
      der->assign(key, key + kind_of.der_bytes);
      break;
    }
  }
  if (required != nullptr && kind == KeyKind::kModern) {
    *required = image[slot + kModernSlotRequiredField] != 0;
  }
  return true;
}

bool SetStubPublicKey(std::vector<uint8_t>* image, const std::vector<uint8_t>& signing_der,
                      const std::string& public_key_path, const std::string& stub_path,
                      const std::string& key_path, std::string* error, KeyKind kind) {
  const SlotKind& slot = Slot(kind);
  bool found = false;
  std::vector<uint8_t> held;
  if (!ReadStubPublicKey(image->data(), image->size(), &found, &held, error, kind)) {
    *error = stub_path + ": " + *error;
    return false;
  }
  if (!found) {
    *error = stub_path + ": no " + slot.name + " (" + slot.markers + ") in the image: not an "
                         "installer stub of this kestpack's release";
    return false;
  }
  const std::string refusal = "; the installer would refuse the package as damaged (0x8040F001)";
  if (!public_key_path.empty()) {
    std::vector<uint8_t> given;
    if (!ReadPublicKeyFile(public_key_path, &given, error, kind)) return false;
    if (given != signing_der) {
      *error = public_key_path + " (" + DescribePublicKey(given) + ") is not the public half of " +
               key_path + " (" + DescribePublicKey(signing_der) + ")" + refusal;
      return false;
    }
    memcpy(image->data() + slot.find(image->data(), image->size(), 0) + slot.key_field,
           given.data(), slot.der_bytes);
  } else if (held != signing_der) {
    *error = stub_path + ": its " + slot.name + " holds " +
             (held.empty() ? std::string("no key") : DescribePublicKey(held)) + ", but " +
             key_path + " is " + DescribePublicKey(signing_der) + refusal + ". Pass " +
             slot.option + " with the public half of " + key_path +
             " (kestpack keygen wrote it as BASENAME.der) to put it into the slot";
    return false;
  }
  if (IsTestPublicKey(signing_der)) {
    PrintError("warning: signed with the repository's TEST key, which anyone can sign with: "
               "this installer is for testing only");
  }
  return true;
}

bool CheckComponentMachines(const std::vector<uint8_t>& image, const std::vector<PackFile>& files,
                            std::string* error) {
  PeImage stub;
  const char* reason = nullptr;
  if (!stub.Parse(image.data(), image.size(), &reason)) {
    *error = reason;
    return false;
  }
  for (const PackFile& f : files) {
    if (!EndsWithIgnoringCase(f.name, ".dll") && !EndsWithIgnoringCase(f.name, ".ocx")) continue;
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(f.path, &bytes, error)) return false;
    PeImage library;
    // What is not a PE image is data to the installer, never loaded.
    if (!library.Parse(bytes.data(), bytes.size(), &reason)) continue;
    if (library.Machine() != stub.Machine()) {
      *error = f.path + ": built for " + MachineName(library.Machine()) + ", but the stub is for " +
               MachineName(stub.Machine()) +
               ": the installer cannot load it and would report the component as failed "
               "(0x8040F005); build it for the stub's machine";
      return false;
    }
  }
  return true;
}

}  // namespace kest
