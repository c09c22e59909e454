# cmake -DKEY=<der file or empty> -DOUT=<cpp file> [-DARRAY=<name>]
#       -P embed_public_key.cmake
# Without ARRAY: writes the definition of this build's public-key slot,
# g_public_key_slot (verify/public_key_slot.h), holding the key file's
# bytes, or zero bytes (an unfilled slot) when KEY is empty.
# With ARRAY: writes `const uint8_t ARRAY[126]` in namespace kest instead.
set(key_bytes "")
if(KEY STREQUAL "")
  if(ARRAY)
    message(FATAL_ERROR "an array needs a key file")
  endif()
  set(key_hex "")
  foreach(i RANGE 0 125)
    string(APPEND key_hex "00")
  endforeach()
  set(source "no key: an unfilled slot")
else()
  file(SIZE "${KEY}" key_size)
  if(NOT key_size EQUAL 126)
    message(FATAL_ERROR "${KEY}: ${key_size} bytes; the built-in public key must be a "
                        "126-byte DER SubjectPublicKeyInfo (RSA-768, exponent 65537)")
  endif()
  file(READ "${KEY}" key_hex HEX)
  set(source "${KEY}")
endif()
foreach(i RANGE 0 125)
  math(EXPR at "${i} * 2")
  string(SUBSTRING "${key_hex}" ${at} 2 byte)
  string(APPEND key_bytes "0x${byte},")
  math(EXPR column "${i} % 12")
  if(column EQUAL 11)
    string(APPEND key_bytes "\n    ")
  endif()
endforeach()
if(ARRAY)
  set(content "// Generated from ${source} by embed_public_key.cmake.
#include <cstdint>

namespace kest {

extern const uint8_t ${ARRAY}[126];
const uint8_t ${ARRAY}[126] = {
    ${key_bytes}
};

}  // namespace kest
")
else()
  set(content "// Generated from ${source} by embed_public_key.cmake.
#include \"verify/public_key_slot.h\"

namespace kest {

// used: kept even where nothing seemed to read it, because kestpack finds
// the slot by its markers.
__attribute__((used)) volatile PublicKeySlot g_public_key_slot = {
    {'P', 'u', 'b', 'K', 'e', 'y', '>', '\\0'},
    {${key_bytes}},
    {'<', 'P', 'u', 'b', 'K', 'e', 'y', '\\0'}};

}  // namespace kest
")
endif()
# Rewrite only on change so that dependants do not rebuild needlessly.
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT "${old}" STREQUAL "${content}")
  file(WRITE "${OUT}" "${content}")
endif()
