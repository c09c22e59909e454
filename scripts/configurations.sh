# Sourced by the build scripts: the CMake options of each configuration, and
# setting a build folder up again whenever what it was set up with changed.
# What a folder was set up with is kept in FOLDER/kest-configure.txt: the
# options, one a line, and the compiler launchers taken from the
# environment (CMAKE_C_COMPILER_LAUNCHER, CMAKE_CXX_COMPILER_LAUNCHER).

# kest_options NAME SOURCE_FOLDER: prints configuration NAME's options, one
# a line; fails for an unknown name.
kest_options() {
  case "$1" in
    win32) printf '%s\n' -DCMAKE_BUILD_TYPE=MinSizeRel "-DCMAKE_TOOLCHAIN_FILE=$2/cmake/mingw-i686.cmake" ;;
    win64) printf '%s\n' -DCMAKE_BUILD_TYPE=MinSizeRel "-DCMAKE_TOOLCHAIN_FILE=$2/cmake/mingw-x86_64.cmake" ;;
    host) printf '%s\n' -DCMAKE_BUILD_TYPE=Release ;;
    host-asan) printf '%s\n' -DCMAKE_BUILD_TYPE=Debug -DKEST_SANITIZE=ON ;;
    # libFuzzer targets: clang, with the libraries instrumented for coverage.
    fuzz) printf '%s\n' -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
            -DCMAKE_CXX_COMPILER=clang++ -DKEST_FUZZ=ON -DKEST_SANITIZE=ON \
            -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link ;;
    *) return 1 ;;
  esac
}

# kest_configure_record OPTION...: the text kept in kest-configure.txt for a
# folder set up with these options in this environment.
kest_configure_record() {
  printf '%s\n' "$@" "launcher C: ${CMAKE_C_COMPILER_LAUNCHER:-}" \
    "launcher C++: ${CMAKE_CXX_COMPILER_LAUNCHER:-}"
}

# kest_configure SOURCE_FOLDER BUILD_FOLDER OPTION...: sets BUILD_FOLDER up
# unless it was set up with exactly these options and launchers. An option
# given before and not now is removed from the cache, so that it returns to
# its default. When the launchers changed, or the folder holds no record of
# them, it is set up from nothing and what it built is removed: its objects
# may come from another compiler cache than the one now asked for.
kest_configure() {
  local src="$1" dir="$2"; shift 2
  local record="$dir/kest-configure.txt" want old="" line name dropped=()
  want="$(kest_configure_record "$@")"
  if [ -f "$record" ]; then old="$(cat "$record")"; fi
  if [ -f "$dir/CMakeCache.txt" ] && [ "$want" = "$old" ]; then return 0; fi
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$src" -B "$dir" "$@" >/dev/null || return 1
  elif [ -n "$old" ] && [ "$(grep '^launcher' <<<"$want")" = "$(grep '^launcher' <<<"$old")" ]; then
    echo "configure: $dir is set up again: its options changed"
    while IFS= read -r line; do
      case "$line" in -D*)
        name="${line#-D}"; name="${name%%=*}"; name="${name%%:*}"
        if ! grep -q -e "^-D$name[:=]" <<<"$want"; then dropped+=(-U "$name"); fi ;;
      esac
    done <<<"$old"
    cmake "${dropped[@]}" -S "$src" -B "$dir" "$@" >/dev/null || return 1
  else
    echo "configure: $dir is set up from nothing: its compiler launchers changed or were not recorded"
    cmake --fresh -S "$src" -B "$dir" "$@" >/dev/null || return 1
    cmake --build "$dir" --target clean >/dev/null || return 1
  fi
  printf '%s\n' "$want" >"$record"
}
