#!/bin/bash
# Installs every Debian package the project needs, on a fresh Debian 12
# machine, as root. Idempotent: packages already present are skipped, and
# nothing is fetched when all are there.
set -euo pipefail

packages=(
  # host build, tests and benchmarks
  build-essential cmake make python3 googletest libgtest-dev libbenchmark-dev
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
)

if [ "$(id -u)" != 0 ]; then
  echo "setup: run as root (it installs Debian packages)" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
elif [ "${need_update:-0}" = 1 ]; then
  apt-get update -qq
fi
echo "setup: all packages present"
