# cmake -DKEY=<der file> -DOUT=<cpp file> -P embed_public_key.cmake
# Writes the C++ definition of kBuiltinPublicKeyDer from the key file.
file(SIZE "${KEY}" key_size)
if(NOT key_size EQUAL 126)
  message(FATAL_ERROR "${KEY}: ${key_size} bytes; the built-in public key must be a "
                      "126-byte DER SubjectPublicKeyInfo (RSA-768, exponent 65537)")
endif()
file(READ "${KEY}" key_hex HEX)
set(key_bytes "")
foreach(i RANGE 0 125)
  math(EXPR at "${i} * 2")
  string(SUBSTRING "${key_hex}" ${at} 2 byte)
  string(APPEND key_bytes "0x${byte},")
  math(EXPR column "${i} % 12")
  if(column EQUAL 11)
    string(APPEND key_bytes "\n    ")
  endif()
endforeach()
set(content "// Generated from ${KEY} by embed_public_key.cmake.
#include \"verify/builtin_public_key.h\"

namespace kest {

const uint8_t kBuiltinPublicKeyDer[kBuiltinPublicKeyDerBytes] = {
    ${key_bytes}
};

}  // namespace kest
")
# Rewrite only on change so that dependants do not rebuild needlessly.
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT "${old}" STREQUAL "${content}")
  file(WRITE "${OUT}" "${content}")
endif()
