#!/usr/bin/env bash
# Builds libjpeg-turbo for 32-bit Windows (static, no SIMD, no TurboJPEG API) from
# Debian's source package into build/third_party/libjpeg-mingw. Does nothing when it is
# there. Run by scripts/setup as root (or through sudo, given as $1).
set -euo pipefail
SUDO=${1:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
prefix=$root/build/third_party/libjpeg-mingw
stamp=$prefix/.tallowin-ready
[ -f "$stamp" ] && exit 0

# deb-src stanzas mirroring the Debian archives the machine installs from, in a file of
# our own, so that apt-get source finds the same versions.
add_deb_src() {
  local lists=() f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && lists+=("$f")
  done
  if grep -qsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' "${lists[@]}"; then return 1; fi
  local out
  out=$(
    for f in "${lists[@]}"; do
      case $f in
        *.list)
          sed -nE 's/^[[:space:]]*deb([[:space:]]+(\[[^]]*\]))?[[:space:]]+([^[:space:]]*debian[^[:space:]]*)/deb-src \2 \3/p' "$f" ;;
        *.sources)
          # One stanza per paragraph; continuation lines (leading blank) belong to the field above.
          awk 'BEGIN { RS = ""; FS = "\n" }
            {
              types = ""; uris = ""; kept = ""; keep = 0; enabled = 1
              for (i = 1; i <= NF; i++) {
                line = $i
                if (line ~ /^#/) continue
                if (line ~ /^[ \t]/) { if (keep) kept = kept line "\n"; continue }
                keep = 0
                if (line ~ /^Types:/) types = line
                else if (line ~ /^Enabled:[ \t]*no/) enabled = 0
                else if (line ~ /^(URIs|Suites|Components|Signed-By):/) {
                  keep = 1; kept = kept line "\n"
                  if (line ~ /^URIs:/) uris = line
                }
              }
              if (enabled && types ~ /[ \t]deb([ \t]|$)/ && uris ~ /debian/)
                printf "Types: deb-src\n%s\n", kept
            }' "$f" ;;
      esac
    done
  )
  [ -n "$out" ] || { echo "setup: no Debian archive among the apt sources; cannot fetch libjpeg-turbo's source" >&2; exit 1; }
  if grep -q '^Types:' <<<"$out"; then
    $SUDO tee /etc/apt/sources.list.d/tallowin-deb-src.sources <<<"$out" >/dev/null
  else
    $SUDO tee /etc/apt/sources.list.d/tallowin-deb-src.list <<<"$out" >/dev/null
  fi
}

echo "setup: building libjpeg-turbo for MinGW (once) in build/third_party" >&2
updated=0
source "$root/scripts/lib/apt.sh"
if add_deb_src; then
  apt_update
  updated=1
fi
work=$root/build/third_party/libjpeg-src
rm -rf "$work" "$prefix"
mkdir -p "$work"
# On a mirror in mid-sync the newest source may not match its index: the release's own
# suite then.
fetch() {
  (cd "$work" && apt-get source -qq libjpeg-turbo >/dev/null 2>&1) && return 0
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || return 1
  echo "setup: apt-get source libjpeg-turbo failed; trying again with -t $codename" >&2
  (cd "$work" && apt-get source -qq -t "$codename" libjpeg-turbo >/dev/null 2>&1)
}
# Source lists that are there but were never fetched need one update.
if ! fetch && { [ $updated = 1 ] || ! { apt_update; fetch; }; }; then
  echo "setup: apt-get source libjpeg-turbo failed" >&2; exit 1
fi
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -1)
[ -n "$src" ] || { echo "setup: no libjpeg-turbo source folder in $work" >&2; exit 1; }

log=$work/build.log
if ! {
  cmake -S "$src" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DWITH_SIMD=0 -DENABLE_SHARED=0 -DWITH_TURBOJPEG=0 &&
  cmake --build "$work/build" -j 2 &&
  cmake --install "$work/build"
} >"$log" 2>&1; then
  tail -30 "$log" >&2
  echo "setup: libjpeg-turbo for MinGW did not build (log: $log)" >&2
  exit 1
fi
[ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ] || {
  echo "setup: libjpeg-turbo installed no libjpeg.a / jpeglib.h under $prefix" >&2; exit 1; }
basename "$src" > "$stamp"
rm -rf "$work"
