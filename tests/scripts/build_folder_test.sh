#!/bin/bash
# scripts/configurations.sh's kest_configure on a tiny project, step by
# step in one build folder: after each step the option the folder holds and
# whether the object built before is still there.
#   tests/scripts/build_folder_test.sh REPOSITORY
set -uo pipefail
source "$1/scripts/configurations.sh"
tiny="$1/tests/scripts/tiny"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
build="$work/build"

# step: options | launcher | option then | object kept
steps=(
  "                       | | default | -"
  "                       | | default | kept"
  "-DTINY_OPTION=vendor   | | vendor  | kept"
  "-DTINY_OPTION:STRING=x | | x       | kept"
  "                       | | default | kept"
  "                       | env | default | removed"
  "                       | | default | removed"
)
failed=0
for step in "${steps[@]}"; do
  IFS='|' read -r options launcher expect_option expect_object <<<"$step"
  read -ra options <<<"$options"
  launcher="$(echo $launcher)" expect_option="$(echo $expect_option)" expect_object="$(echo $expect_object)"
  # A launcher that only runs the compiler: what matters is that it changed.
  if [ -n "$launcher" ]; then export CMAKE_C_COMPILER_LAUNCHER=env; else unset CMAKE_C_COMPILER_LAUNCHER; fi
  if ! kest_configure "$tiny" "$build" "${options[@]}" >/dev/null 2>"$work/stderr"; then
    echo "FAIL [$step]: kest_configure failed: $(cat "$work/stderr")"; failed=1; continue
  fi
  option="$(cat "$build/option.txt")"
  object=removed
  if [ -n "$(find "$build/sub/CMakeFiles/tiny.dir" -name '*.o' 2>/dev/null)" ]; then object=kept; fi
  if [ "$option" != "$expect_option" ]; then
    echo "FAIL [$step]: option $option, expected $expect_option"; failed=1
  fi
  if [ "$expect_object" != - ] && [ "$object" != "$expect_object" ]; then
    echo "FAIL [$step]: object $object, expected $expect_object"; failed=1
  fi
  cmake --build "$build" >/dev/null || { echo "FAIL [$step]: build failed"; failed=1; }
done
[ "$failed" = 0 ] && echo "build folder steps: all as expected"
exit "$failed"
