#!/usr/bin/env bash
# The exclude list names keys, not spellings, and each registry item is one row. In a
# 64-bit prefix (both views scanned) with the entries HKEY_CURRENT_USER\Software\X,
# HKCR\Y and HKEY_LOCAL_MACHINE\Software\Z:
# - scan --no-filter lists their stale values under every name (HKEY_USERS\<SID>,
#   HKEY_LOCAL_MACHINE\Software\Classes, Wow6432Node); scan lists none of them;
# - fix deletes none of them; a stale value of the current user, found under HKCU and
#   HKEY_USERS\<SID>, is listed once, backed up once and fixed once.
# With HKLM\Software\Wow6432Node alone, a stale 32-bit class (HKCR\Wow6432Node\CLSID) is
# neither listed nor fixed; with HKEY_LOCAL_MACHINE\Software and HKEY_CURRENT_USER\Software,
# no row under HKEY_CLASSES_ROOT or HKEY_USERS\<SID>(_Classes) is, and fix deletes none.
source "$(dirname "$0")/lib.bash"
prefix=$(new_prefix cli-exclusions) || exit 1
w=$prefix/work; mkdir -p "$w"
tl=$prefix/drive_c/Tallowin
[ -d "$prefix/drive_c/windows/syswow64" ] || fail "not a 64-bit prefix"
keep_server "$prefix"

WINE64=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$WINE64" ] || fail "no 64-bit Wine loader ($WINE64)"
reg32f() { WINEPREFIX="$prefix" wine 'C:\windows\syswow64\reg.exe' "$@" > "$w/reg.txt" 2>&1 < /dev/null; }
reg64f() { WINEPREFIX="$prefix" "$WINE64" 'C:\windows\system32\reg.exe' "$@" > "$w/reg.txt" 2>&1 < /dev/null; }
gone='C:\Tallowin Gone\app.exe'
seed_keep() { reg32f add 'HKCU\Software\TallowinKeep' /v Stale /d "$gone" /f || fail "seed: $(cat "$w/reg.txt")"; }
reg32f add 'HKCU\Software\TallowinX' /v Stale /d "$gone" /f || fail "seed X"
reg32f add 'HKCR\TallowinY\shell\open\command' /ve /d "$gone" /f || fail "seed Y"
reg32f add 'HKLM\Software\TallowinZ' /v Stale32 /d "$gone" /f || fail "seed Z (32-bit)"
reg64f add 'HKLM\Software\TallowinZ' /v Stale64 /d "$gone" /f || fail "seed Z (64-bit)"
seed_keep
printf '[IgnoreKey]\r\nCount=3\r\nKey1=HKEY_CURRENT_USER\\Software\\TallowinX\r\nKey2=HKCR\\TallowinY\r\nKey3=HKEY_LOCAL_MACHINE\\Software\\TallowinZ\r\n' \
  > "$tl/Settings.dat"

reg32f query HKU
sid=$(tr -d '\r' < "$w/reg.txt" | grep -oE '^HKEY_USERS\\S-1-5-21-[0-9-]+$' | head -1)
[ -n "$sid" ] || fail "no user SID under HKEY_USERS"
keys() { jq -r '.key' "$1" | grep -E 'Tallowin(X|Y|Z|Keep)' | LC_ALL=C sort; }

cli_fast "$prefix" "$w/all.json" "$w/all.err" scan --codes 1-4 --format json --no-filter
rc=$?; [ $rc -eq 0 ] || fail "scan --no-filter: exit $rc ($(cat "$w/all.err"))"
keys "$w/all.json" > "$w/all.keys"
for key in "HKEY_CURRENT_USER\\Software\\TallowinX\\Stale" "$sid\\Software\\TallowinX\\Stale" \
           'HKEY_CLASSES_ROOT\TallowinY\shell\open\command\' \
           'HKEY_LOCAL_MACHINE\Software\Classes\TallowinY\shell\open\command\' \
           'HKEY_LOCAL_MACHINE\Software\TallowinZ\Stale64' \
           'HKEY_LOCAL_MACHINE\Software\Wow6432Node\TallowinZ\Stale32' \
           "HKEY_CURRENT_USER\\Software\\TallowinKeep\\Stale" "$sid\\Software\\TallowinKeep\\Stale"; do
  grep -qxF "$key" "$w/all.keys" || fail "--no-filter does not list $key: $(cat "$w/all.keys")"
done

cli_fast "$prefix" "$w/filtered.json" "$w/filtered.err" scan --codes 1-4 --format json
rc=$?; [ $rc -eq 0 ] || fail "scan: exit $rc ($(cat "$w/filtered.err"))"
keys "$w/filtered.json" > "$w/filtered.keys"
echo 'HKEY_CURRENT_USER\Software\TallowinKeep\Stale' > "$w/want.keys"
diff -u "$w/want.keys" "$w/filtered.keys" >&2 || fail "scan: excluded or repeated rows"
jq -c '[.data, .key, .kind]' "$w/filtered.json" | LC_ALL=C sort | uniq -d > "$w/dup.txt"
[ ! -s "$w/dup.txt" ] || fail "scan lists a row twice: $(cat "$w/dup.txt")"
found=$(grep -c . "$w/filtered.json")

cli_fast "$prefix" "$w/fix.out" "$w/fix.err" fix --codes 1-4 --yes; rc=$?
note "fix: exit $rc: $(strip_cr "$w/fix.out" | tr '\n' ' ')"
[ $rc -eq 0 ] || fail "fix --yes: exit $rc ($(cat "$w/fix.err"))"
grep -qx "Fix errors finished, $found errors were fixed!" <(strip_cr "$w/fix.out") \
  || fail "fix took other rows than the scan's $found"
reg32f query 'HKCU\Software\TallowinX' /v Stale || fail "fix deleted excluded X"
reg32f query 'HKCR\TallowinY\shell\open\command' /ve || fail "fix deleted excluded Y"
reg32f query 'HKLM\Software\TallowinZ' /v Stale32 || fail "fix deleted excluded Z (32-bit)"
reg64f query 'HKLM\Software\TallowinZ' /v Stale64 || fail "fix deleted excluded Z (64-bit)"
reg32f query 'HKCU\Software\TallowinKeep' /v Stale && fail "fix left the stale value"

# Alone now, the stale value of the current user: one row, one backup block, one fix.
seed_keep
cli_fast "$prefix" "$w/one.out" "$w/one.err" fix --codes 2,4 --yes; rc=$?
[ $rc -eq 0 ] || fail "second fix: exit $rc ($(cat "$w/one.err"))"
grep -qx "Fix errors finished, 1 errors were fixed!" <(strip_cr "$w/one.out") \
  || fail "second fix: $(strip_cr "$w/one.out" | tr '\n' ' ')"
backup=$(strip_cr "$w/one.out" | sed -n 's/^Backup file: //p')
file=$tl/Backup/${backup##*\\}
[ -f "$file" ] || fail "no backup '$backup'"
[ "$(grep -c '^"Stale"=' "$file")" -eq 1 ] || fail "the backup holds the value $(grep -c '^"Stale"=' "$file") times"
grep -q 'TallowinX\|TallowinY\|TallowinZ' "$file" && fail "an excluded key is in the backup"

# An entry above the point where two names of a key meet covers both names.
clsid='{7A110000-0000-4000-8000-00000000E2E1}'
reg32f add "HKCR\\CLSID\\$clsid\\InprocServer32" /ve /d "$gone" /f || fail "seed CLSID"
cli_fast "$prefix" "$w/wow.json" "$w/wow.err" scan --codes 1-4 --format json --no-filter
jq -r '.key' "$w/wow.json" | grep -qF "$clsid" || fail "--no-filter does not list the 32-bit class"
printf '[IgnoreKey]\r\nCount=1\r\nKey1=HKLM\\Software\\Wow6432Node\r\n' > "$tl/Settings.dat"
cli_fast "$prefix" "$w/wow.json" "$w/wow.err" scan --codes 1-4 --format json
jq -r '.key' "$w/wow.json" | grep -F "$clsid" && fail "HKLM\\Software\\Wow6432Node does not exclude the 32-bit class"
cli_fast "$prefix" "$w/wowfix.out" "$w/wowfix.err" fix --codes 1 --yes
reg32f query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve || fail "fix deleted the excluded 32-bit class"

seed_keep
reg32f add 'HKCU\Software\Classes\TallowinUC\shell\open\command' /ve /d "$gone" /f || fail "seed UC"
reg64f add 'HKLM\Software\Classes\TallowinBarsP\shell\open\command' /ve /d "$gone" /f || fail "seed BarsP"
under() { jq -r '.key' "$1" | grep -E "^(HKEY_CLASSES_ROOT|${sid//\\/\\\\}(_Classes)?)\\\\"; }
cli_fast "$prefix" "$w/soft.json" "$w/soft.err" scan --codes 1-4 --format json --no-filter
for name in TallowinUC 'HKEY_CLASSES_ROOT\\TallowinBarsP'; do
  under "$w/soft.json" | grep -q "$name" || fail "--no-filter does not list $name"
done
printf '[IgnoreKey]\r\nCount=2\r\nKey1=HKEY_LOCAL_MACHINE\\Software\r\nKey2=HKEY_CURRENT_USER\\Software\r\n' \
  > "$tl/Settings.dat"
cli_fast "$prefix" "$w/soft.json" "$w/soft.err" scan --codes 1-4 --format json
under "$w/soft.json" >&2 && fail "rows under the classes or the user's key are listed"
cli_fast "$prefix" "$w/softfix.out" "$w/softfix.err" fix --codes 1-4 --yes
note "fix with Software excluded: $(strip_cr "$w/softfix.out" | tr '\n' ' ')"
reg32f query 'HKCU\Software\Classes\TallowinUC\shell\open\command' /ve || fail "fix deleted the user's class"
reg32f query 'HKCR\TallowinY\shell\open\command' /ve || fail "fix deleted the machine's class"
reg64f query 'HKCR\TallowinBarsP\shell\open\command' /ve || fail "fix deleted BarsP"
reg32f query 'HKCU\Software\TallowinKeep' /v Stale || fail "fix deleted the user's value"

drop_prefix "$prefix"
echo PASS
