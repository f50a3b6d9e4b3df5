#!/usr/bin/env bash
# scripts/setup on a lagging mirror: a failed `apt-get update` is a warning, and an install
# that finds held broken packages is tried once more pinned to the release's suite. apt-get,
# dpkg-query, dpkg and sudo are shims that fail the way a mirror in mid-sync does.
source "$(dirname "$0")/lib.bash"

work=$E2E_DIR/setup-mirror
rm -rf "$work"
mkdir -p "$work/bin" "$work/repo/build/third_party/libjpeg-mingw"
cp -r "$E2E_ROOT/scripts" "$work/repo/"
touch "$work/repo/build/third_party/libjpeg-mingw/.tallowin-ready"
calls=$work/apt-calls
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$codename" ] || fail "no VERSION_CODENAME in /etc/os-release"

cat > "$work/bin/apt-get" <<SHIM
#!/usr/bin/env bash
echo "\$*" >> "$calls"
case " \$* " in
  *" update "*)
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/$codename-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
    exit 100 ;;
  *" -t $codename "*) [ -z "\${SHIM_PINNED_FAILS:-}" ] && exit 0
    echo "E: still broken" >&2; exit 100 ;;
  *" install "*)
    echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100 ;;
esac
SHIM
printf '#!/bin/sh\nexit 1\n' > "$work/bin/dpkg-query"
printf '#!/bin/sh\necho i386\n' > "$work/bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' > "$work/bin/sudo"
chmod +x "$work/bin"/*

PATH="$work/bin:$PATH" bash "$work/repo/scripts/setup" > "$work/out" 2> "$work/err"; rc=$?
[ $rc -eq 0 ] || fail "setup exit $rc: $(cat "$work/err")"
grep -q 'warning: apt-get update failed' "$work/err" || fail "no warning: $(cat "$work/err")"
grep -q 'Mirror sync in progress' "$work/err" || fail "the failed index is not named"
grep -q "trying again with -t $codename" "$work/err" || fail "no retry said: $(cat "$work/err")"
grep -q '^setup: installed .*wine32:i386' "$work/err" || fail "no 'installed' line: $(cat "$work/err")"
grep -q "^install .*-t $codename .*wine32:i386" "$calls" || fail "no pinned install: $(cat "$calls")"

# When the pinned install fails too, setup fails and shows why.
: > "$calls"
SHIM_PINNED_FAILS=1 PATH="$work/bin:$PATH" bash "$work/repo/scripts/setup" > "$work/out" 2> "$work/err"
rc=$?
[ $rc -ne 0 ] || fail "setup succeeded though every install failed"
grep -q 'E: still broken' "$work/err" || fail "the install's error is not shown: $(cat "$work/err")"
echo ok
