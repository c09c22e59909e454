#!/bin/bash
# Runs a command inside a Wine environment of its own:
#   - an Xvfb display on a free number (Wine needs one for any window),
#   - a Wine prefix on tmpfs (created here, about 10 s) of the kind that
#     scripts/wine-arch.sh chooses: 32-bit, or 64-bit on machines that run no
#     32-bit x86 code, with `wine` and `wine64` on PATH starting 64-bit Wine;
#   - Wine's virtual desktop (destroying a window is then fast),
#   - one persistent wineserver for the whole command,
# and stops all of it, by process id or with `wineserver -k` on this prefix,
# however the command ends.
#
#   scripts/with-wine.sh COMMAND [ARGS...]
#
# KEST_WINEPREFIX names a prefix to reuse (kept afterwards); otherwise a new
# one is made under /dev/shm and removed at the end. KEST_WINE_DESKTOP sets
# the virtual desktop's size (default 1024x768; 640x480 shows the dialogs as
# on the smallest screen they are made for).
set -u
desktop_size="${KEST_WINE_DESKTOP:-1024x768}"
case "$desktop_size" in
  [0-9]*x[0-9]*) ;;
  *) echo "with-wine: KEST_WINE_DESKTOP must be WIDTHxHEIGHT" >&2; exit 2 ;;
esac
here="$(cd "$(dirname "$0")" && pwd)"

KEST_WINE_ARCH="$("$here/wine-arch.sh")" || exit 2
export KEST_WINE_ARCH
export WINEARCH="$KEST_WINE_ARCH"
export WINEDEBUG=-all
# No Mono or Gecko installers in a test prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ -n "${KEST_WINEPREFIX:-}" ]; then
  export WINEPREFIX="$KEST_WINEPREFIX"
  remove_prefix=0
else
  export WINEPREFIX="/dev/shm/kestinst-wine-$$"
  remove_prefix=1
fi

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  if [ "$remove_prefix" = 1 ]; then rm -rf "$WINEPREFIX"; fi
  if [ -n "${wine_bin:-}" ]; then rm -rf "$wine_bin"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Two of these starting at once may pick the same free number: the one
# whose Xvfb finds the number taken tries the next.
display=""
for n in $(seq 91 199); do
  if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then continue; fi
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
done
if [ -z "$display" ]; then echo "with-wine: Xvfb did not start on any free display" >&2; exit 1; fi
export DISPLAY=":$display"

if [ "$WINEARCH" = win64 ]; then
  # Debian keeps 64-bit Wine's loader out of PATH, and its `wine` starts the
  # 32-bit loader whenever that is installed.
  wine_bin="$(mktemp -d /dev/shm/kestinst-wine-bin.XXXXXX)"
  for name in wine wine64; do
    printf '#!/bin/sh\nWINELOADER=/usr/lib/wine/wine64 exec /usr/lib/wine/wine64 "$@"\n' \
      >"$wine_bin/$name"
    chmod +x "$wine_bin/$name"
  done
  export PATH="$wine_bin:$PATH"
fi

mkdir -p "$WINEPREFIX"
wineserver -p
wine wineboot --init >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$desktop_size" /f >/dev/null 2>&1
# The desktop process that wineboot started has no virtual desktop: start
# the server again, and a new desktop process that reads the settings above.
# The first program of a session starts that process and passes it its
# standard handles, so the first one here has none worth keeping: a desktop
# process left holding a caller's pipe would keep the pipe open for ever.
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1

"$@"
