#!/bin/sh
# Runs a Windows program under Wine for the cross-compiled builds' tests:
#   wine-run.sh win32|win64 PREFIX PROGRAM.exe [ARGS...]
# PREFIX is a Wine prefix inside the build folder, made on first use (under a
# lock, since CTest may start several tests at once), so that no run touches
# the user's own ~/.wine.
set -e
arch=$1
prefix=$2
shift 2
export WINEPREFIX="$prefix"
export WINEARCH="$arch"
export WINEDEBUG=-all
# No prompts to install Mono or Gecko in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$arch" = win64 ] && [ -x /usr/lib/wine/wine64 ]; then
  wine=/usr/lib/wine/wine64
  wineserver=/usr/lib/wine/wineserver64
else
  wine=wine
  wineserver=wineserver
fi
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    [ -f "$prefix/system.reg" ] || "$wine" wineboot -i >/dev/null 2>&1 || true
  ) 9>"$prefix.lock"
fi
# A server that outlives each test by a minute: starting one per program
# costs seconds, reusing it a fifth of a second. When this call started it,
# Wine's own background programs are started here too, detached from the
# caller's output, which they would otherwise hold open while they live.
if "$wineserver" -p60 >/dev/null 2>&1; then
  "$wine" cmd /c exit >/dev/null 2>&1 </dev/null || true
fi
exec "$wine" "$@"
