# cmake -DKEY=<der file or empty> -DOUT=<cpp file> [-DARRAY=<name>]
#       [-DMODERN=ON [-DREQUIRED=ON]] -P embed_public_key.cmake
# Without ARRAY: writes the definition of this build's public-key slot,
# g_public_key_slot (verify/public_key_slot.h), holding the key file's
# bytes, or zero bytes (an unfilled slot) when KEY is empty. With MODERN
# the same for the modern-key slot, g_modern_key_slot
# (verify/modern_key_slot.h), whose required flag is REQUIRED.
# With ARRAY: writes `const uint8_t ARRAY[size]` in namespace kest instead.
set(key_bytes "")
if(MODERN)
  set(size 422)
  set(what "RSA-3072")
else()
  set(size 126)
  set(what "RSA-768")
endif()
math(EXPR last "${size} - 1")
if(KEY STREQUAL "")
  if(ARRAY)
    message(FATAL_ERROR "an array needs a key file")
  endif()
  set(key_hex "")
  foreach(i RANGE 0 ${last})
    string(APPEND key_hex "00")
  endforeach()
  set(source "no key: an unfilled slot")
else()
  file(SIZE "${KEY}" key_size)
  if(NOT key_size EQUAL size)
    message(FATAL_ERROR "${KEY}: ${key_size} bytes; the built-in public key must be a "
                        "${size}-byte DER SubjectPublicKeyInfo (${what}, exponent 65537)")
  endif()
  file(READ "${KEY}" key_hex HEX)
  set(source "${KEY}")
endif()
foreach(i RANGE 0 ${last})
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

extern const uint8_t ${ARRAY}[${size}];
const uint8_t ${ARRAY}[${size}] = {
    ${key_bytes}
};

}  // namespace kest
")
else()
  # The slot's definition; the modern one carries the required flag and a
  # zero byte after the key.
  if(MODERN)
    set(header "modern_key_slot.h")
    set(type "ModernKeySlot g_modern_key_slot")
    set(word "'M', 'o', 'd', 'K', 'e', 'y'")
    if(REQUIRED)
      set(extra "\n    1,\n    0,")
    else()
      set(extra "\n    0,\n    0,")
    endif()
  else()
    set(header "public_key_slot.h")
    set(type "PublicKeySlot g_public_key_slot")
    set(word "'P', 'u', 'b', 'K', 'e', 'y'")
    set(extra "")
  endif()
  set(content "// Generated from ${source} by embed_public_key.cmake.
#include \"verify/${header}\"

namespace kest {

// used: kept even where nothing seemed to read it, because kestpack finds
// the slot by its markers.
__attribute__((used)) volatile ${type} = {
    {${word}, '>', '\\0'},
    {${key_bytes}},${extra}
    {'<', ${word}, '\\0'}};

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
