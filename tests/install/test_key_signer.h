// Signs a package with the repository's TEST key (tests/keys), as kestpack
// does, from inside a Windows test: the private key's PEM is read here and
// the signature made with the verifier's own modular power. Only for
// tests: no blinding, no care for timing.
#pragma once
#include <string>

namespace kest::test {

// archive: a bare archive whose main header holds its length L. Returns
// archive followed by the signature record over its L bytes (a package
// with no image before its archive), or "" when the key cannot be read.
std::string SignWithTestKey(const std::string& archive);

}  // namespace kest::test
