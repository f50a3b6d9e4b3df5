#!/usr/bin/env bash
# scan --codes 1-4,15 --format json --no-filter in a 64-bit prefix seeded with the demo's
# stale entries reports exactly the broken references among them, with the Data, Registry
# key and entry kind of the hive-wide scan; the text format carries the same rows. The
# 32-bit view alone (--wow64 skip); cli_wow64.sh and cli_categories.sh check both views.
source "$(dirname "$0")/lib.bash"
prefix=$(new_prefix cli-scan-seeded) || exit 1
w=$prefix/work; mkdir -p "$w"

cli "$prefix" "$w/before.json" "$w/before.err" scan --codes 1-4,15 --format json --no-filter --wow64 skip
rc=$?; [ $rc -eq 0 ] || fail "scan before seeding: exit $rc ($(cat "$w/before.err"))"
seed_demo "$prefix"
# A value named in Greek, which no western ANSI code page can write.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tallowin Demo]\r\n"\u0398\u03ad\u03bc\u03b1"="C:\\\\Tallowin Demo\\\\\u0398\u03ad\u03bc\u03b1\\\\gone.css"\r\n' \
  | iconv -f UTF-8 -t UTF-16 > "$prefix/drive_c/greek.reg"
regedit32 "$prefix" 'C:\greek.reg'
cli "$prefix" "$w/after.json" "$w/after.err" scan --codes 1-4,15 --format json --no-filter --wow64 skip
rc=$?; [ $rc -eq 0 ] || fail "scan after seeding: exit $rc ($(cat "$w/after.err"))"
[ ! -s "$w/after.err" ] || fail "progress on a standard error that is no terminal: $(cat "$w/after.err")"

json_rows "$w/before.json" > "$w/before.rows" || fail "scan before seeding printed no valid JSON"
json_rows "$w/after.json" > "$w/after.rows" || fail "scan after seeding printed no valid JSON"
# Every line is one object with exactly the four keys, in that order.
jq -e -c 'keys_unsorted == ["problem","data","key","kind"]' "$w/after.json" > "$w/keys.txt" \
  || fail "rows with other keys: $(grep -v true "$w/keys.txt" | head -3)"

# The current user's hive as HKEY_USERS shows it.
reg32 "$prefix" "$w/hku.txt" query HKU
sid=$(tr -d '\r' < "$w/hku.txt" | grep -oE '^HKEY_USERS\\S-1-5-21-[0-9-]+$' | head -1)
sid=${sid#HKEY_USERS\\}
[ -n "$sid" ] || fail "no user SID under HKEY_USERS"

P="Non-existent File or Folder" S="Software Locations Issue"
HKCU_ROWS=(
  'C:\Tallowin Demo\Old Version\|Software\Tallowin Demo\OldInstallDir|1'
  '"C:\Tallowin Demo\Tools\old-editor.exe" /open|Software\Tallowin Demo\OldEditor|1'
  'C:\Tallowin Demo\logs\2019-04-01.log|Software\Tallowin Demo\LastLog|1'
  '%SystemRoot%\tallowin-demo-gone.exe|Software\Tallowin Demo\Cleanup|1'
  'C:\Tallowin Demo\Thèmes\gone.css|Software\Tallowin Demo\Thème|1'
  'C:\Tallowin Demo\Θέμα\gone.css|Software\Tallowin Demo\Θέμα|1'
  'C:\Tallowin Demo\plugins\|Software\Tallowin Demo\Plugins\|1'
  'C:\Tallowin Demo\plugins\gone.dll|Software\Tallowin Demo\Plugins|2'
)
{
  echo "$P|\"C:\\Tallowin Demo\\OldViewer\\viewer.exe\" \"%1\"|HKEY_CLASSES_ROOT\\TallowinDemo.OldDocument\\shell\\open\\command\\|1"
  echo "$P|\"C:\\Tallowin Demo\\OldViewer\\viewer.exe\" \"%1\"|HKEY_LOCAL_MACHINE\\Software\\Classes\\TallowinDemo.OldDocument\\shell\\open\\command\\|1"
  echo "$P|C:\\Tallowin Demo\\data\\missing.dat|HKEY_LOCAL_MACHINE\\Software\\Tallowin Demo\\DataFile|1"
  for r in "${HKCU_ROWS[@]}"; do
    data=${r%%|*} rest=${r#*|}
    echo "$P|$data|HKEY_CURRENT_USER\\$rest"
    echo "$P|$data|HKEY_USERS\\$sid\\$rest"
  done
  # The Run key is left to the startup category while HKEY_CURRENT_USER is scanned, not
  # while HKEY_USERS is.
  echo "$P|C:\\Tallowin Demo\\agent\\agent.exe|HKEY_USERS\\$sid\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\TallowinDemoAgent|1"
  echo "$S|C:\\Tallowin Demo\\gone\\tallowin-demo.exe|HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tallowin-demo.exe\\|1"
  echo "$S|C:\\Tallowin Demo\\gone|HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tallowin-demo.exe\\Path|1"
} | LC_ALL=C sort > "$w/expected.rows"

LC_ALL=C comm -13 "$w/before.rows" "$w/after.rows" > "$w/new.rows"
LC_ALL=C comm -23 "$w/before.rows" "$w/after.rows" > "$w/lost.rows"
[ ! -s "$w/lost.rows" ] || fail "findings of the unseeded prefix went missing: $(cat "$w/lost.rows")"
if ! diff -u "$w/expected.rows" "$w/new.rows" > "$w/diff.txt"; then
  cat "$w/diff.txt" >&2
  fail "the seeded prefix's findings differ from the expected ones"
fi
note "$(wc -l < "$w/new.rows") seeded findings, $(wc -l < "$w/before.rows") in the unseeded prefix"

# Text: the same rows in the same order, columns joined by "  ^^^  ".
cli "$prefix" "$w/after.txt" "$w/text.err" scan --codes 1-4,15 --no-filter --wow64 skip
rc=$?; [ $rc -eq 0 ] || fail "text scan: exit $rc"
jq -r '[.problem, .data, .key] | join("  ^^^  ")' "$w/after.json" > "$w/json-as-text.txt"
# Text to a file is UTF-8, as json is: every name reads back exactly.
strip_cr "$w/after.txt" > "$w/after-lf.txt"
diff -u "$w/json-as-text.txt" "$w/after-lf.txt" >&2 || fail "text and json rows differ"

# The default (filtered) scan keeps one row per item, under the name the user knows: the
# classes key as HKEY_CLASSES_ROOT names it, the current user's values as
# HKEY_CURRENT_USER does, also the Run value that only the scan of HKEY_USERS lists.
cli "$prefix" "$w/filtered.json" "$w/filtered.err" scan --codes 1-4,15 --format json --wow64 skip
rc=$?; [ $rc -eq 0 ] || fail "filtered scan: exit $rc"
json_rows "$w/filtered.json" > "$w/filtered.rows"
grep -F -e "|HKEY_USERS\\$sid\\Software\\Tallowin Demo\\" \
  -e '|HKEY_LOCAL_MACHINE\Software\Classes\TallowinDemo.' "$w/expected.rows" > "$w/second-names.rows"
[ "$(grep -c . "$w/second-names.rows")" -eq 9 ] || fail "not 9 rows naming an item a second time"
LC_ALL=C comm -23 "$w/expected.rows" "$w/second-names.rows" \
  | sed "s/|HKEY_USERS\\\\$sid\\\\/|HKEY_CURRENT_USER\\\\/" | LC_ALL=C sort > "$w/once.rows"
LC_ALL=C comm -23 "$w/once.rows" "$w/filtered.rows" > "$w/filtered-out.rows"
[ ! -s "$w/filtered-out.rows" ] || fail "the filter removed seeded findings: $(cat "$w/filtered-out.rows")"
LC_ALL=C comm -12 "$w/second-names.rows" "$w/filtered.rows" > "$w/twice.rows"
[ ! -s "$w/twice.rows" ] || fail "items listed a second time: $(cat "$w/twice.rows")"

drop_prefix "$prefix"
echo PASS
