# Flags and helper functions shared by every subsystem.

# A result marked [[nodiscard]] (a copy that may not fit, for one) is never
# dropped without a decision: ignoring it stops the build.
set(KEST_RESULT_FLAGS -Werror=unused-result)

if(KEST_WIN32)
  # The installer runs on Windows 95 and NT 3.51 onwards: ANSI APIs only, no
  # exceptions or RTTI, small code, everything linked statically.
  add_compile_definitions(WINVER=0x0400 _WIN32_WINDOWS=0x0400 _WIN32_WINNT=0x0400
                          WIN32_LEAN_AND_MEAN NOMINMAX)
  set(KEST_INSTALLER_FLAGS -Os -fno-exceptions -fno-rtti -fno-threadsafe-statics -ffunction-sections
      -fdata-sections -fno-asynchronous-unwind-tables -Wall -Wextra ${KEST_RESULT_FLAGS})
  # The same sources give the same image bytes wherever and whenever they are
  # built: no source or build folder in the code (file names of assertions,
  # debug paths), and a zero link time stamp in the PE headers and export
  # directory instead of the clock. The linker computes the image checksum
  # from the bytes, so it follows.
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                      -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
  set(KEST_REPRODUCIBLE_LINK_FLAGS -Wl,--no-insert-timestamp)
  set(KEST_WIN32_LINK_FLAGS -static -static-libgcc -static-libstdc++
      -Wl,--gc-sections ${KEST_REPRODUCIBLE_LINK_FLAGS}
      # Windows 95 and NT 4.0 refuse images that ask for a newer subsystem.
      -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
      -Wl,--major-os-version,4 -Wl,--minor-os-version,0)
else()
  set(KEST_INSTALLER_FLAGS -O2 -Wall -Wextra ${KEST_RESULT_FLAGS})
  if(KEST_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

# kest_library(NAME SOURCES...) - a static library of installer code, built
# with the installer's flags in either configuration.
function(kest_library name)
  add_library(${name} STATIC ${ARGN})
  target_compile_options(${name} PRIVATE ${KEST_INSTALLER_FLAGS})
endfunction()

# GoogleTest from Debian's sources, built with whichever compiler this
# configuration uses (the cross compiler included).
if(NOT TARGET gtest)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# kest_test(NAME SOURCES... LIBS libs...) - a GoogleTest program registered
# with CTest. In the win32 configuration CTest runs it through Wine.
function(kest_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ARGS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  if(KEST_WIN32)
    target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
  add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# kest_component(NAME SOURCES... [DEFINITIONS defs...] EXPORTS names...) - a
# component DLL (Win32 configurations) built against the public component
# header, sdk/kestinst_component.h, as a vendor would build one with GCC:
# entry points exported under their plain names (--kill-at drops the
# __stdcall decoration of the 32-bit build), no C++ runtime DLL. After the
# link, scripts/check-exports.sh fails the build unless the export table
# holds exactly EXPORTS.
function(kest_component name)
  cmake_parse_arguments(C "" "" "SOURCES;DEFINITIONS;EXPORTS" ${ARGN})
  add_library(${name} SHARED ${C_SOURCES} ${C_UNPARSED_ARGUMENTS})
  set_target_properties(${name} PROPERTIES PREFIX "")
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/sdk)
  target_compile_definitions(${name} PRIVATE ${C_DEFINITIONS})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  target_link_options(${name} PRIVATE -Wl,--kill-at -static-libgcc -static-libstdc++ -s
                      ${KEST_REPRODUCIBLE_LINK_FLAGS})
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-exports.sh ${CMAKE_OBJDUMP}
            $<TARGET_FILE:${name}> ${C_EXPORTS}
    VERBATIM)
endfunction()
