// What kestpack build and verify know about the public key an installer
// checks its package with: the stub's public-key slot
// (verify/public_key_slot.h), key files, and how to name a key to a person.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/kestpack/pack_folder.h"

namespace kest {

// Reads a 126-byte DER RSA-768 public key file (kestpack keygen's
// BASENAME.der). False with *error naming the file otherwise.
bool ReadPublicKeyFile(const std::string& path, std::vector<uint8_t>* der, std::string* error);

// "the repository's TEST key" for the public test key, otherwise "the key
// with MD5 fingerprint xx:xx:...", so that two keys can be told apart.
std::string DescribePublicKey(const std::vector<uint8_t>& der);
bool IsTestPublicKey(const std::vector<uint8_t>& der);

// The key held in the one public-key slot of image[0..size): *found is
// false when there is no slot, *der empty when the slot is unfilled
// (all zero). False with *error when there is more than one slot.
bool ReadStubPublicKey(const uint8_t* image, size_t size, bool* found, std::vector<uint8_t>* der,
                       std::string* error);

// Makes the installer image's key the public half of the signing key,
// signing_der: with public_key_path (build --public-key) the slot is
// filled from that file, which must hold signing_der; without it the slot
// must hold signing_der already (a stub built with -DKEST_PUBLIC_KEY).
// Anything else would give an installer that refuses its own package
// (0x8040F001), and is refused with *error saying what to do. A test key
// on both sides only warns.
bool SetStubPublicKey(std::vector<uint8_t>* image, const std::vector<uint8_t>& signing_der,
                      const std::string& public_key_path, const std::string& stub_path,
                      const std::string& key_path, std::string* error);

// Refuses a .dll or .ocx of files (a PE image) built for another machine
// than the stub image: the installer could not load it, and would report
// the component as failed (0x8040F005).
bool CheckComponentMachines(const std::vector<uint8_t>& image, const std::vector<PackFile>& files,
                            std::string* error);

}  // namespace kest
