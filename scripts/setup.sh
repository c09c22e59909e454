#!/bin/bash
# Installs every Debian package the project needs, on a fresh Debian 12
# machine, as root. Idempotent: packages already present are skipped, and
# nothing is fetched when all are there.
set -euo pipefail

packages=(
  # host build, tests and benchmarks
  build-essential cmake make python3 googletest libgtest-dev
  # fuzzing (libFuzzer ships with clang's runtime)
  clang libclang-rt-14-dev
  # the installer: 32-bit Windows cross compiler and resource compiler, and
  # the x86-64 one for machines that run no 32-bit x86 code
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  # running it: Wine (32-bit, and 64-bit where 32-bit code cannot run) under
  # a virtual X display
  wine wine32:i386 wine64 xvfb
  # the peer installer the install benchmark compares against
  nsis
  # kestpack signing and key generation; openssl as an independent verifier
  libssl-dev openssl
  # independent archivers, used as black boxes by tests and benchmarks
  arj p7zip-full
  # locale sources: the tests compile a Japanese locale for Wine's code page 932
  locales
)
# Installed without their recommendations (a desktop's worth for the
# emulator): the full-system emulator that runs the 32-bit installer's tests
# on machines that run no 32-bit x86 code, and what scripts/guest32.sh builds
# its guest image with.
lean_packages=(
  qemu-system-x86 debootstrap e2fsprogs
)

if [ "$(id -u)" != 0 ]; then
  echo "setup: run as root (it installs Debian packages)" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

missing_of() {  # prints those of the named packages not yet installed
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$p"
    fi
  done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_lean < <(missing_of "${lean_packages[@]}")

if [ ${#missing[@]} -gt 0 ] || [ ${#missing_lean[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]} ${missing_lean[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
  if [ ${#missing_lean[@]} -gt 0 ]; then
    apt-get install -y -qq --no-install-recommends "${missing_lean[@]}" >/dev/null
  fi
elif [ "${need_update:-0}" = 1 ]; then
  apt-get update -qq
fi
echo "setup: all packages present"
