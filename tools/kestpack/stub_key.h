// What kestpack build and verify know about the public keys an installer
// checks its package with: the stub's public-key slot
// (verify/public_key_slot.h) for the first signature and its modern-key
// slot (verify/modern_key_slot.h) for the second, key files, and how to
// name a key to a person.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/kestpack/pack_folder.h"

namespace kest {

// Which signature a key is for: the first (RSA-768, 126-byte DER) or the
// modern second one (RSA-3072, 422-byte DER).
enum class KeyKind { kFirst, kModern };

// Reads a DER public key file of the kind (kestpack keygen's BASENAME.der).
// False with *error naming the file otherwise.
bool ReadPublicKeyFile(const std::string& path, std::vector<uint8_t>* der, std::string* error,
                       KeyKind kind = KeyKind::kFirst);

// "the repository's TEST key" (or "modern TEST key") for the public test
// keys, otherwise "the key with MD5 fingerprint xx:xx:..." (for a modern
// key, its SHA-256 fingerprint), so that two keys can be told apart.
std::string DescribePublicKey(const std::vector<uint8_t>& der);
// Either of the repository's test keys.
bool IsTestPublicKey(const std::vector<uint8_t>& der);

// The key held in the one slot of the kind in image[0..size): *found is
// false when there is no slot, *der empty when the slot is unfilled (all
// zero); *required (modern slot only, may be null) gets its flag. False
// with *error when there is more than one slot.
bool ReadStubPublicKey(const uint8_t* image, size_t size, bool* found, std::vector<uint8_t>* der,
                       std::string* error, KeyKind kind = KeyKind::kFirst,
                       bool* required = nullptr);

// Makes the installer image's key the public half of the signing key,
// signing_der: with public_key_path (build --public-key) the slot is
// filled from that file, which must hold signing_der; without it the slot
// must hold signing_der already (a stub built with -DKEST_PUBLIC_KEY).
// Anything else would give an installer that refuses its own package
// (0x8040F001), and is refused with *error saying what to do. A test key
// on both sides only warns.
// The same for the modern-key slot with kind kModern (--modern-public-key,
// -DKEST_MODERN_PUBLIC_KEY).
bool SetStubPublicKey(std::vector<uint8_t>* image, const std::vector<uint8_t>& signing_der,
                      const std::string& public_key_path, const std::string& stub_path,
                      const std::string& key_path, std::string* error,
                      KeyKind kind = KeyKind::kFirst);

// Refuses a .dll or .ocx of files (a PE image) built for another machine
// than the stub image: the installer could not load it, and would report
// the component as failed (0x8040F005).
bool CheckComponentMachines(const std::vector<uint8_t>& image, const std::vector<PackFile>& files,
                            std::string* error);

}  // namespace kest
