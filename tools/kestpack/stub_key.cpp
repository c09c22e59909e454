#include "tools/kestpack/stub_key.h"

#include <cstdio>
#include <cstring>

#include "tools/kestpack/command_line.h"
#include "tools/kestpack/host_files.h"
#include "tools/kestpack/pe_image.h"
#include "verify/md5.h"
#include "verify/public_key_slot.h"
#include "verify/rsa_public_key.h"

namespace kest {

// tests/keys/test-signing-key.der, built in whatever KEST_PUBLIC_KEY says.
extern const uint8_t kTestPublicKeyDer[kPublicKeyDerBytes];

namespace {

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

bool ReadPublicKeyFile(const std::string& path, std::vector<uint8_t>* der, std::string* error) {
  if (!ReadWholeFile(path, der, error)) return false;
  RsaPublicKey key;
  if (der->size() != kPublicKeyDerBytes || !ParseRsaPublicKeyDer(der->data(), der->size(), &key)) {
    *error = path + ": not a 126-byte DER RSA public key with a 768-bit modulus (kestpack "
                    "keygen writes one as BASENAME.der)";
    return false;
  }
  return true;
}

bool IsTestPublicKey(const std::vector<uint8_t>& der) {
  return der.size() == kPublicKeyDerBytes &&
         memcmp(der.data(), kTestPublicKeyDer, kPublicKeyDerBytes) == 0;
}

std::string DescribePublicKey(const std::vector<uint8_t>& der) {
  if (IsTestPublicKey(der)) return "the repository's TEST key";
  Md5 md5;
  md5.Update(der.data(), der.size());
  uint8_t digest[kMd5DigestBytes];
  md5.Final(digest);
  std::string text = "the key with MD5 fingerprint ";
  for (size_t i = 0; i < sizeof digest; ++i) {
    char hex[4];
    snprintf(hex, sizeof hex, i ? ":%02x" : "%02x", digest[i]);
    text += hex;
  }
  return text;
}

bool ReadStubPublicKey(const uint8_t* image, size_t size, bool* found, std::vector<uint8_t>* der,
                       std::string* error) {
  size_t slot = FindPublicKeySlot(image, size);
  *found = slot != size;
  der->clear();
  if (!*found) return true;
  if (FindPublicKeySlot(image, size, slot + 1) != size) {
    *error = "more than one public-key slot (\"PubKey>\" .. \"<PubKey\") in the image";
    return false;
  }
  const uint8_t* key = image + slot + kKeySlotKeyField;
  for (size_t i = 0; i < kPublicKeyDerBytes; ++i) {
    if (key[i] != 0) {
      der->assign(key, key + kPublicKeyDerBytes);
      break;
    }
  }
  return true;
}

bool SetStubPublicKey(std::vector<uint8_t>* image, const std::vector<uint8_t>& signing_der,
                      const std::string& public_key_path, const std::string& stub_path,
                      const std::string& key_path, std::string* error) {
  bool found = false;
  std::vector<uint8_t> held;
  if (!ReadStubPublicKey(image->data(), image->size(), &found, &held, error)) {
    *error = stub_path + ": " + *error;
    return false;
  }
  if (!found) {
    *error = stub_path + ": no public-key slot (\"PubKey>\" .. \"<PubKey\") in the image: not an "
                         "installer stub of this kestpack's release";
    return false;
  }
  const std::string refusal = "; the installer would refuse the package as damaged (0x8040F001)";
  if (!public_key_path.empty()) {
    std::vector<uint8_t> given;
    if (!ReadPublicKeyFile(public_key_path, &given, error)) return false;
    if (given != signing_der) {
      *error = public_key_path + " (" + DescribePublicKey(given) + ") is not the public half of " +
               key_path + " (" + DescribePublicKey(signing_der) + ")" + refusal;
      return false;
    }
    memcpy(image->data() + FindPublicKeySlot(image->data(), image->size()) + kKeySlotKeyField,
           given.data(), kPublicKeyDerBytes);
  } else if (held != signing_der) {
    *error = stub_path + ": its public-key slot holds " +
             (held.empty() ? std::string("no key") : DescribePublicKey(held)) + ", but " +
             key_path + " is " + DescribePublicKey(signing_der) + refusal +
             ". Pass --public-key with the public half of " + key_path +
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
