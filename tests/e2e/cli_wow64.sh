#!/usr/bin/env bash
# Both registry views and both sides of the file-system redirection, in a 64-bit prefix
# seeded with stale and live entries of each view (tests/data/wow64):
# - --wow64 check (the default of the Check64Bit setting) reports exactly the stale
#   entries, each once per category, under the path the 64-bit registry editor shows;
#   the ignore list holds for both views;
# - with the setting off the output is byte for byte that of --wow64 skip;
# - fix removes exactly those rows in their own views, and restore brings each back in
#   its own view (the 64-bit registry editor, checked in the 64-bit view).
source "$(dirname "$0")/lib.bash"
source "$(dirname "$0")/categories.bash"
data=$E2E_ROOT/tests/data/wow64
prefix=$(new_prefix cli-wow64) || exit 1
w=$prefix/work; mkdir -p "$w"
tl=$prefix/drive_c/Tallowin
[ -d "$prefix/drive_c/windows/syswow64" ] || fail "not a 64-bit prefix"
keep_server "$prefix"

# The 64-bit loader runs a program of the Windows folders as it is; the 32-bit one
# (wine) is redirected to SysWOW64's, as a 32-bit program would be.
WINE64=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$WINE64" ] || fail "no 64-bit Wine loader ($WINE64)"
# w64 OUT CMD...: a 64-bit program in the kept session.
w64() { local out=$1; shift; WINEPREFIX="$prefix" "$WINE64" "$@" > "$out" 2>&1 < /dev/null; }
# reg64 OUT ARGS...: the 64-bit reg.exe, which sees the 64-bit view.
reg64() { local out=$1; shift; w64 "$out" 'C:\windows\system32\reg.exe' "$@"; }
# export64 KEY OUT: one key's sub-tree in the 64-bit view, UTF-8 without CR.
export64() {
  rm -f "$prefix/drive_c/w64-export.reg"
  reg64 /dev/null export "$1" 'C:\w64-export.reg' /y
  [ -f "$prefix/drive_c/w64-export.reg" ] || { : > "$2"; return; }
  iconv -f UTF-16 -t UTF-8 "$prefix/drive_c/w64-export.reg" | tr -d '\r' > "$2"
}
# seeded ROWS-FILE-OUT JSON: the rows of seeded entries, "problem|data|key|kind", sorted.
seeded() { jq -r 'select(.key != null) | [.problem, .data, .key, (.kind | tostring)] | join("|")' "$1" \
  | grep -iE 'tallowinw|7A110F' | LC_ALL=C sort; }

cat_wine "$prefix" /dev/null 'C:\windows\syswow64\reg.exe' query 'HKCU\Software'
cat_settle "$prefix"
while read -r f; do
  case $f in '#'*|'') continue ;; esac
  mkdir -p "$(dirname "$prefix/drive_c/$f")" && : > "$prefix/drive_c/$f"
done < "$data/files.txt"
cp "$data/seed.reg" "$prefix/drive_c/w64-seed.reg"
# The 64-bit registry editor puts every key at the path the file names.
w64 /dev/null 'C:\windows\regedit.exe' /s 'C:\w64-seed.reg'
rm -f "$prefix/drive_c/w64-seed.reg"
reg64 "$w/q.txt" query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v 'TallowinW Stale64' \
  || fail "the seed did not reach the 64-bit view's Run key: $(cat "$w/q.txt")"
cat_wine "$prefix" "$w/q.txt" 'C:\windows\syswow64\reg.exe' query \
  'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v 'TallowinW Stale32' \
  || fail "the seed did not reach the 32-bit view's Run key: $(cat "$w/q.txt")"
printf '[IgnoreKey]\r\nCount=1\r\nKey1=HKEY_LOCAL_MACHINE\\Software\\TallowinW Ignored\r\n' > "$tl/Settings.dat"

# ---- the setting on: exactly the stale entries, each once --------------------------
codes=(1 3 8 9 15 16 104 109)
failures=0
for code in "${codes[@]}"; do
  cli_fast "$prefix" "$w/check-$code.json" "$w/check-$code.err" scan --codes "$code" --format json
  rc=$?; [ $rc -eq 0 ] || fail "scan --codes $code: exit $rc ($(cat "$w/check-$code.err"))"
  seeded "$w/check-$code.json" > "$w/got-$code.rows"
  grep -E "^$code\|" "$data/expected.txt" | cut -d'|' -f2- | LC_ALL=C sort > "$w/want-$code.rows"
  if ! diff -u "$w/want-$code.rows" "$w/got-$code.rows" > "$w/diff-$code.txt"; then
    echo "code $code: seeded findings differ (- expected, + reported):" >&2
    tail -n +3 "$w/diff-$code.txt" >&2
    failures=$((failures + 1))
  fi
  # Each finding once.
  jq -c . "$w/check-$code.json" | LC_ALL=C sort | uniq -d > "$w/dup-$code.txt"
  [ ! -s "$w/dup-$code.txt" ] || fail "code $code reports twice: $(cat "$w/dup-$code.txt")"
done
[ "$failures" -eq 0 ] || fail "$failures codes report other findings than the seeded stale ones"

# The ignore list, written as the 32-bit view names the key, holds for both views'
# copies; without the filter both are there.
cli_fast "$prefix" "$w/nofilter.json" "$w/nofilter.err" scan --codes 3 --format json --no-filter
grep -c 'TallowinW Ignored' "$w/nofilter.json" > "$w/ignored.txt"
[ "$(cat "$w/ignored.txt")" -eq 2 ] || fail "--no-filter shows $(cat "$w/ignored.txt") ignored rows, expected 2"
grep -q 'TallowinW Ignored' "$w/check-3.json" && fail "the ignore list let a row through"

# A full scan of every code reports each seeded item once, no other (with code 3 in the
# run, 104 leaves the class keys to it; code 1 names them first, as HKEY_CLASSES_ROOT).
cli_fast "$prefix" "$w/full-check.json" "$w/full.err" scan --codes 1-17,104,106-110 --format json
rc=$?; [ $rc -eq 0 ] || fail "full scan: exit $rc"
seeded "$w/full-check.json" > "$w/full-seeded.rows"
grep -vE '^(#|104\|)' "$data/expected.txt" | grep -vF '|HKEY_LOCAL_MACHINE\Software\Classes\' \
  | cut -d'|' -f2- | LC_ALL=C sort > "$w/full-want.rows"
diff -u "$w/full-want.rows" "$w/full-seeded.rows" >&2 || fail "the full scan's seeded findings differ"
jq -r '[.problem, .data, .key] | join("|")' "$w/full-check.json" | grep -viE 'tallowinw|7A110F' \
  | while IFS= read -r row; do note "not seeded: $row"; done

# ---- the setting off: the 32-bit view alone, as before ------------------------------
for args in "--codes 1-17,104,106-110 --format json" "--codes 1-17,104,106-110" \
            "--codes 1-17,104,106-110 --format json --no-filter"; do
  # shellcheck disable=SC2086
  cli_fast "$prefix" "$w/skip.out" "$w/skip.err" scan $args --wow64 skip
  printf '[Settings]\r\nCheck64Bit=0\r\n[IgnoreKey]\r\nCount=1\r\nKey1=HKEY_LOCAL_MACHINE\\Software\\TallowinW Ignored\r\n' \
    > "$tl/Settings.dat"
  # shellcheck disable=SC2086
  cli_fast "$prefix" "$w/off.out" "$w/off.err" scan $args
  cmp -s "$w/skip.out" "$w/off.out" || fail "scan $args: Check64Bit=0 differs from --wow64 skip"
  printf '[IgnoreKey]\r\nCount=1\r\nKey1=HKEY_LOCAL_MACHINE\\Software\\TallowinW Ignored\r\n' > "$tl/Settings.dat"
done
# Of the seeded stale entries the 32-bit view shows those that name no System32 or
# program folder, under the 32-bit view's names.
seeded "$w/skip.out" | cut -d'|' -f3 | LC_ALL=C sort -u > "$w/skip-keys.txt"
cat > "$w/skip-want.txt" <<'EOF'
HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Paths\tallowinw-stale32.exe\
HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall
HKEY_LOCAL_MACHINE\Software\TallowinW Ignored\Path
EOF
diff -u "$w/skip-want.txt" "$w/skip-keys.txt" >&2 || fail "--wow64 skip: other seeded findings"
grep -q 'TallowinW Gone32' "$w/skip.out" && ! grep -q 'TallowinW Gone64' "$w/skip.out" \
  || fail "--wow64 skip does not see the 32-bit view alone"

# ---- fix in the rows' views, restore in the backup's view ---------------------------
keys=(
  'HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
  'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Run'
  'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths'
  'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
  'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
  'HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDlls'
  'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\SharedDlls'
  'HKLM\Software\Classes\CLSID\{7A110F64-0000-4000-8000-000000000001}'
  'HKLM\Software\Classes\Wow6432Node\CLSID\{7A110F32-0000-4000-8000-000000000001}'
)
for i in "${!keys[@]}"; do export64 "${keys[$i]}" "$w/before-$i.reg"; done

fixcodes=8,9,15,16,104,109
grep -E '^(8|9|15|16|104|109)\|' "$data/expected.txt" | cut -d'|' -f2- | LC_ALL=C sort > "$w/fix-want.rows"
cli_fast "$prefix" "$w/fix.json" "$w/fix.err" fix --codes "$fixcodes" --yes --format json
rc=$?
jq -r 'select(.outcome) | [.problem, .data, .key, (.kind | tostring)] | join("|")' "$w/fix.json" \
  | grep -iE 'tallowinw|7A110F' | LC_ALL=C sort > "$w/fixed.rows"
diff -u "$w/fix-want.rows" "$w/fixed.rows" >&2 || fail "fix took other seeded rows"
bad=$(jq -r 'select(.outcome) | select(.outcome != "deleted") | .key + ": " + .outcome + " " + (.reason // "")' \
      "$w/fix.json" | grep -iE 'tallowinw|7A110F')
[ -z "$bad" ] || fail "seeded rows not deleted: $bad"
note "fix: exit $rc, $(jq -c 'select(.summary)' "$w/fix.json")"
backup=$(jq -r 'select(.summary) | .backup' "$w/fix.json")
name=${backup##*\\}
[ -n "$name" ] && [ -f "$tl/Backup/$name" ] || fail "no backup file '$backup'"
sed -n 3p "$tl/Backup/$name" | tr -d '\r' > "$w/line3.txt"
[ "$(cat "$w/line3.txt")" = "; Registry view: 64-bit" ] || fail "the backup does not name its view: $(cat "$w/line3.txt")"

# Each stale entry went from its own view; its namesake in the other view and the live
# entries stayed.
gone() { reg64 "$w/q.txt" query "$@" && fail "still there: $*"; true; }
there() { reg64 "$w/q.txt" query "$@" || fail "removed: $*"; }
gone 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v 'TallowinW Stale64'
gone 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Run' /v 'TallowinW Stale32'
there 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v 'TallowinW Live64'
there 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Run' /v 'TallowinW Live32'
gone 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TallowinW Gone64'
gone 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\TallowinW Gone32'
there 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\TallowinW Live32'
gone 'HKLM\Software\Classes\Wow6432Node\CLSID\{7A110F32-0000-4000-8000-000000000001}\InprocServer32'
there 'HKLM\Software\Classes\Wow6432Node\CLSID\{7A110F32-0000-4000-8000-000000000003}\InprocServer32'
gone 'HKLM\Software\Classes\CLSID\{7A110F64-0000-4000-8000-000000000001}\InprocServer32'
there 'HKLM\Software\Classes\CLSID\{7A110F64-0000-4000-8000-000000000002}\InprocServer32'

cli_fast "$prefix" "$w/restore.out" "$w/restore.err" restore "$name"
rc=$?; [ $rc -eq 0 ] || fail "restore: exit $rc ($(cat "$w/restore.err"))"
[ ! -e "$tl/Backup/$name" ] || fail "the restored backup was not deleted"
for i in "${!keys[@]}"; do
  export64 "${keys[$i]}" "$w/after-$i.reg"
  diff -u "$w/before-$i.reg" "$w/after-$i.reg" >&2 || fail "${keys[$i]} did not come back as it was"
done
# Nothing landed in the other view: a 32-bit editor would have written the 64-bit keys
# below Wow6432Node.
gone 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Run' /v 'TallowinW Stale64'
gone 'HKLM\Software\Wow6432Node\Wow6432Node'

drop_prefix "$prefix"
echo PASS
