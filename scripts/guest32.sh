#!/bin/bash
# Runs a command inside a full-system emulator guest that runs 32-bit x86
# code, for machines whose kernel refuses it (there 32-bit Wine cannot start,
# and the shipped 32-bit installer could not run in the tests):
#
#   scripts/guest32.sh                    prepare the guest image, if needed
#   scripts/guest32.sh COMMAND [ARGS...]  run COMMAND in the guest, as root
#
# The guest is a Debian 12 amd64 system (its kernel keeps 32-bit emulation
# on) with 32-bit Wine, Xvfb and the tools the Win32 tests call, booted by
# qemu-system-x86_64 with TCG (no KVM needed) on one emulated processor. The
# checkout is shared into it at the same path, so build trees and the
# absolute paths in CTest's files work unchanged. COMMAND runs in the current
# directory when that lies inside the checkout, else at the checkout's top;
# its standard output and error come back as they are written, and its exit
# status is this script's. 125 means the guest did not start or did not
# finish the command (the guest's console is shown), never the command's
# result. Files the command writes in the checkout stay on this machine;
# everything else it changes in the guest is thrown away when it ends.
#
# The image is built once (about 280 MB of packages fetched with debootstrap
# and apt) and kept in KEST_GUEST_CACHE (default /var/cache/kestinst-guest),
# in a folder named by a hash of its recipe below: a changed recipe builds a
# new image. Images unused for KEST_GUEST_KEEP_DAYS days (default 14) are
# removed. The fetched packages are kept there too, so a rebuild fetches
# only what changed. Building needs root, as scripts/test.sh runs.
#
# KEST_GUEST_MEMORY   guest memory (default 3G)
# KEST_GUEST_TIMEOUT  seconds after which the guest is stopped (default 7200)
#
# Every process this starts (qemu, the output readers) ends with it, however
# it ends.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
checkout="$(cd "$here/.." && pwd -P)"
cache="${KEST_GUEST_CACHE:-/var/cache/kestinst-guest}"

# ---- The recipe. The image's folder name hashes everything from here to
# ---- the end of the recipe (as bash prints it back), so any change to what
# ---- goes into the image makes a new one.
guest_suite=bookworm
guest_mirror=http://deb.debian.org/debian
# The kernel and the tools the Win32 tests run besides Wine: ctest, python3
# and arj for test inputs, kestpack's libcrypto. Without recommendations.
guest_system=(linux-image-amd64 cmake python3 arj p7zip-full libssl3)
# Wine and the virtual display, with their recommendations (fonts, X
# extensions), as scripts/setup.sh installs them on a machine that runs
# 32-bit code, so dialogs look the same. libglib2.0-0:i386's maintainer
# scripts run a 32-bit program: in the chroot on this machine they report
# "Exec format error" and carry on, harmlessly.
guest_wine=(wine wine32:i386 xvfb)

# The guest's PID 1: mounts what programs expect, then runs the script that
# the runner put on the command share (tag kestcmd) with its output in files
# there, writes its exit status beside them and powers the guest off.
guest_init() {
  cat <<'EOF'
#!/bin/bash
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
hostname kestguest
modprobe -a 9pnet_virtio 9p
mkdir -p /run/kest
if mount -t 9p -o trans=virtio,version=9p2000.L kestcmd /run/kest; then
  bash /run/kest/run </dev/null >/run/kest/out 2>/run/kest/err
  echo "$?" >/run/kest/status
  umount /run/kest
else
  echo "kest-init: no command share" >&2
fi
sync
echo o >/proc/sysrq-trigger
sleep 600
EOF
}

# Builds the image into DIR: rootfs.img (ext4), vmlinuz, initrd.img.
# Packages are fetched into DEBS and kept there.
build_image() {  # build_image DIR DEBS
  local dir="$1" debs="$2"
  local root="$dir/root"
  debootstrap --variant=minbase --arch=amd64 --cache-dir="$debs" \
    "$guest_suite" "$root" "$guest_mirror" || return 1
  mkdir -p "$root/var/cache/apt/archives"
  mount -t proc proc "$root/proc" && mount -t sysfs sysfs "$root/sys" &&
    mount --bind /dev "$root/dev" && mount --bind "$debs" "$root/var/cache/apt/archives" ||
    return 1
  # No service starts inside the chroot.
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod +x "$root/usr/sbin/policy-rc.d"
  local apt=(env DEBIAN_FRONTEND=noninteractive chroot "$root" apt-get -y -q)
  chroot "$root" dpkg --add-architecture i386 &&
    "${apt[@]}" update &&
    "${apt[@]}" install --no-install-recommends "${guest_system[@]}" &&
    "${apt[@]}" install "${guest_wine[@]}" &&
    "${apt[@]}" autoclean || return 1
  umount "$root/var/cache/apt/archives" "$root/dev" "$root/sys" "$root/proc" || return 1
  rm -f "$root/usr/sbin/policy-rc.d"
  rm -rf "$root"/var/lib/apt/lists/* "$root"/var/cache/apt/*.bin
  guest_init >"$root/sbin/kest-init"
  chmod 755 "$root/sbin/kest-init"
  cp "$root"/boot/vmlinuz-* "$dir/vmlinuz" && cp "$root"/boot/initrd.img-* "$dir/initrd.img" ||
    return 1
  # Room for what the guest writes outside its tmpfs folders.
  local size_mb=$(( $(du -sm "$root" | cut -f1) * 5 / 4 + 512 ))
  mkfs.ext4 -q -F -L kestguest -d "$root" "$dir/rootfs.img" "${size_mb}M" || return 1
  rm -rf "$root"
}
# ---- End of the recipe.

recipe_hash() {
  { declare -p guest_suite guest_mirror guest_system guest_wine
    declare -f guest_init build_image; } | sha256sum | cut -c1-16
}

image="$cache/$(recipe_hash)"

# Builds the image unless it is there. One build at a time per cache; a
# build that fails leaves nothing that looks like an image.
prepare() {
  [ -f "$image/rootfs.img" ] && return 0
  if [ "$(id -u)" != 0 ]; then
    echo "guest32: building the guest image needs root" >&2
    return 1
  fi
  for tool in debootstrap qemu-system-x86_64 mkfs.ext4; do
    if ! command -v "$tool" >/dev/null; then
      echo "guest32: $tool is missing; run scripts/setup.sh" >&2
      return 1
    fi
  done
  mkdir -p "$cache/debs" || return 1
  exec 9>"$cache/lock"
  flock 9
  if [ -f "$image/rootfs.img" ]; then exec 9>&-; return 0; fi
  local work
  work="$(mktemp -d "$cache/build.XXXXXX")" || return 1
  echo "guest32: building the guest image in $image (log: $work.log)"
  local started=$SECONDS status
  ( trap 'umount -l "$work/root/var/cache/apt/archives" "$work/root/dev" "$work/root/sys" \
              "$work/root/proc" 2>/dev/null' EXIT
    build_image "$work" "$cache/debs" ) >"$work.log" 2>&1
  status=$?
  if [ "$status" = 0 ]; then
    rm -rf "$image" && mv "$work" "$image" && rm -f "$work.log"
    status=$?
  fi
  if [ "$status" != 0 ]; then
    tail -n 30 "$work.log" >&2
    echo "guest32: building the guest image failed (log: $work.log)" >&2
    rm -rf "$work"
  else
    echo "guest32: guest image built in $((SECONDS - started)) s"
  fi
  exec 9>&-
  return "$status"
}

# Removes images of other recipes that no run has used for a while.
prune() {
  local keep_days="${KEST_GUEST_KEEP_DAYS:-14}"
  touch "$image/used"
  find "$cache" -mindepth 2 -maxdepth 2 -name used ! -newermt "-$keep_days days" \
    -printf '%h\0' 2>/dev/null | xargs -0 -r rm -rf
}

prepare || exit 125
prune
if [ $# -eq 0 ]; then echo "guest32: guest image ready: $image"; exit 0; fi

dir="$(pwd -P)"
case "$dir/" in "$checkout"/*) ;; *) dir="$checkout" ;; esac

work="$(mktemp -d /tmp/kestinst-guest.XXXXXX)" || exit 125
share="$work/share"
mkdir "$share"
: >"$share/out"
: >"$share/err"
# The checkout is mounted at its own path after the tmpfs folders, so a
# checkout under /tmp works too. cache=loose: with the default no-cache
# mode, Wine dies at once on programs it maps from the share.
{
  echo 'set -u'
  printf 'checkout=%q\n' "$checkout"
  echo 'mkdir -p "$checkout"'
  echo 'mount -t 9p -o trans=virtio,version=9p2000.L,cache=loose,msize=512000 kestrepo "$checkout" ||'
  echo '  { echo "guest32: the checkout could not be mounted in the guest" >&2; exit 125; }'
  echo 'export HOME=/root LANG=C.UTF-8 TERM=dumb'
  # Everything runs some 10 to 50 times slower here than on this machine,
  # and slower still while this machine is busy: the tests' hang guards
  # (never timings) stretch by this factor. Opening Wine's shell folder
  # browser four times took from 30 to 100 s in one test process, against
  # its 120 s guard.
  printf 'export KEST_TEST_SLOWDOWN=%q\n' "${KEST_TEST_SLOWDOWN:-5}"
  printf 'cd %q || exit 125\n' "$dir"
  printf 'exec'; printf ' %q' "$@"; echo
} >"$share/run"

qemu_pid=""
readers=()
cleanup() {
  if [ -n "$qemu_pid" ]; then kill "$qemu_pid" 2>/dev/null; wait "$qemu_pid" 2>/dev/null; fi
  for pid in "${readers[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

timeout -s TERM "${KEST_GUEST_TIMEOUT:-7200}" qemu-system-x86_64 \
  -accel tcg -smp 1 -m "${KEST_GUEST_MEMORY:-3G}" \
  -nodefaults -no-user-config -display none -no-reboot -nic none \
  -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
  -append "root=/dev/vda rw init=/sbin/kest-init console=ttyS0 quiet panic=-1 fsck.mode=skip" \
  -drive "file=$image/rootfs.img,format=raw,if=virtio,snapshot=on" \
  -virtfs "local,path=$share,mount_tag=kestcmd,security_model=none" \
  -virtfs "local,path=$checkout,mount_tag=kestrepo,security_model=none,multidevs=remap" \
  -serial "file:$work/console.log" </dev/null >"$work/qemu.log" 2>&1 &
qemu_pid=$!
tail -n +1 -s 0.5 -f --pid="$qemu_pid" "$share/out" &
readers+=($!)
tail -n +1 -s 0.5 -f --pid="$qemu_pid" "$share/err" >&2 &
readers+=($!)
wait "$qemu_pid"
qemu_status=$?
qemu_pid=""
for pid in "${readers[@]}"; do wait "$pid"; done
readers=()

if [ ! -s "$share/status" ]; then
  if [ "$qemu_status" = 124 ]; then
    echo "guest32: the guest was stopped after ${KEST_GUEST_TIMEOUT:-7200} s" >&2
  fi
  echo "guest32: the guest did not finish the command; its console and qemu said:" >&2
  tail -n 40 "$work/console.log" "$work/qemu.log" >&2
  exit 125
fi
exit "$(cat "$share/status")"
