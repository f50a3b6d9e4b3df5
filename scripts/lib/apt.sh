# apt helpers for scripts/setup and scripts/lib/libjpeg-mingw.sh. Source with SUDO set.
#
# A mirror in the middle of a sync fails one index of `apt-get update` ("File has unexpected
# size ... Mirror sync in progress?"); the other indexes are fresh, so the update is only a
# warning. An install that then finds "held broken packages" (a stale index of one suite
# disagreeing with the fresh ones) is tried again pinned to the release's own suite.

apt_update() {
  local log
  log=$(mktemp)
  if ! $SUDO apt-get update -qq >"$log" 2>&1; then
    echo "setup: warning: apt-get update failed; going on with the package lists it could read:" >&2
    grep -E '^(E|W):' "$log" | head -5 | sed 's/^/setup:   /' >&2
  fi
  rm -f "$log"
}

apt_install() {
  local log codename
  log=$(mktemp)
  export DEBIAN_FRONTEND=noninteractive
  if $SUDO apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1; then
    rm -f "$log"; return 0
  fi
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  if [ -n "$codename" ]; then
    echo "setup: apt-get install failed; trying again with -t $codename" >&2
    if $SUDO apt-get install -y -qq --no-install-recommends -t "$codename" "$@" >"$log" 2>&1; then
      rm -f "$log"; return 0
    fi
  fi
  tail -20 "$log" >&2
  rm -f "$log"
  return 1
}
