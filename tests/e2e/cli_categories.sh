#!/usr/bin/env bash
# scan --codes N --format json --no-filter for every category code, in a 64-bit prefix
# seeded with stale entries of every category and with look-alikes: each code reports
# exactly its seeded entries, with the Problem, Data, Registry key and entry kind of its
# category, and none of the look-alikes (tests/data/categories). Shortcuts are real shell
# links, the font file lies in the real fonts folder. Once with --wow64 skip, the 32-bit
# view alone (expected.txt), and once with --wow64 check, both views (expected-wow64.txt).
source "$(dirname "$0")/lib.bash"
source "$(dirname "$0")/categories.bash"
prefix=$(new_prefix cli-categories) || exit 1
w=$prefix/work; mkdir -p "$w"
keep_server "$prefix"
cat_seed "$prefix"

# The expected rows of categories 7 and 14 are those of Windows 7 (64-bit).
cat_wine "$prefix" "$w/version.txt" 'C:\windows\syswow64\reg.exe' query \
  'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentVersion
grep -q 'REG_SZ *6\.1' "$w/version.txt" || fail "the prefix is not Windows 7: $(cat "$w/version.txt")"
[ -d "$prefix/drive_c/windows/syswow64" ] || fail "not a 64-bit prefix"

# The look-alikes are there, so that their absence from the findings means something.
cat_export "$prefix" "$w/seeded.reg"
for item in '"TallowinCatOk"=' '"uninstallstring"=' '[HKEY_CLASSES_ROOT\TallowinCat.Ok\CLSID]' \
            '"C:\\TallowinCat\\files\\one.dll"=dword:00000001' '"TallowinCat Folder (TrueType)"=' \
            '[HKEY_CURRENT_USER\Software\TallowinCat\.Default]' '"HRZR_PGYFRFFVBA_GnyybjvaPng"=' \
            '\CurrentControlSet\Services\tallowincatslsvc]' \
            '[HKEY_LOCAL_MACHINE\Software\Classes\Applications\tallowincat-dword.exe\shell\open\command]'; do
  grep -qF "$item" "$w/seeded.reg" || fail "the seed did not write $item"
done
DESKTOP=$(cat_var "$prefix" DESKTOP) PROGRAMS=$(cat_var "$prefix" PROGRAMS)
while IFS='|' read -r link target; do
  cat_wine "$prefix" "$w/target.txt" 'C:\cat-tools\shell_links.exe' target "$link"
  [ "$(tr -d '\r\n' < "$w/target.txt")" = "$target" ] || fail "$link reads back as $(cat "$w/target.txt")"
done <<EOF
$DESKTOP\\TallowinCat Folder.lnk|C:\\TallowinCat\\files
$DESKTOP\\TallowinCat Network.lnk|\\\\tallowincat\\share\\gone.exe
$PROGRAMS\\TallowinCat App\\Old.lnk.bak|C:\\TallowinCat\\gone\\old.exe
EOF

declare -A problem=(
  [1]="Non-existent File or Folder" [2]="Non-existent File or Folder"
  [3]="Non-existent File or Folder" [4]="Non-existent File or Folder"
  [5]="Old Start Menu Key" [6]="Obsolete Software Entry" [7]="Useless File Extension"
  [8]="Invalide Add/Remove Programs" [9]="Non-existent Shared Dlls"
  [10]="Invalid Windows Fonts" [11]="Invalid Help Files Item" [12]="Empty Registry Keys"
  [13]="Non-existent MRU and History Lists file" [14]="Empty Registry Keys"
  [15]="Software Locations Issue" [16]="Non-existent Startup Programs"
  [17]="Windows Service Issue" [104]="Custom Controls Issue" [106]="Missing ShortCut reference"
  [107]="Non-existent Sound File" [108]="ActiveX Issue" [109]="Installer Refrence Issue"
  [110]="Open with Application Issue"
)

failures=0
total=0
# check_code MODE EXPECTED-FILE CODE: one code's scan against its expected rows.
check_code() {
  local mode=$1 expected=$2 code=$3 json=$w/scan-$3.json
  cli_fast "$prefix" "$json" "$w/scan-$code.err" scan --codes "$code" --format json --no-filter \
    --wow64 "$mode"
  rc=$?; [ $rc -eq 0 ] || fail "scan --codes $code: exit $rc ($(cat "$w/scan-$code.err"))"
  [ ! -s "$w/scan-$code.err" ] || fail "scan --codes $code wrote to standard error: $(cat "$w/scan-$code.err")"
  jq -e -c 'keys_unsorted == ["problem","data","key","kind"]' "$json" > "$w/keys-$code.txt" \
    || fail "code $code: rows that are not objects of the four columns: $(grep -v true "$w/keys-$code.txt" | head -3)"
  jq -r --arg p "${problem[$code]}" 'select(.problem != $p) | .problem' "$json" > "$w/bad-problem.txt"
  [ ! -s "$w/bad-problem.txt" ] || fail "code $code: problem texts $(sort -u "$w/bad-problem.txt" | tr '\n' ';')"

  cat_expected "$prefix" "$code" "$expected" > "$w/expected-$code.rows"
  cat_seeded_rows "$json" > "$w/seeded-$code.rows"
  [ -s "$w/expected-$code.rows" ] || fail "no expected rows for code $code"
  if ! diff -u "$w/expected-$code.rows" "$w/seeded-$code.rows" > "$w/diff-$code.txt"; then
    echo "code $code, --wow64 $mode: seeded findings differ (- expected, + reported):" >&2
    tail -n +3 "$w/diff-$code.txt" >&2
    failures=$((failures + 1))
  fi
  total=$((total + $(grep -c . "$w/expected-$code.rows")))
  cat_other_rows "$json" > "$w/other-$code.rows"
  while IFS= read -r row; do note "code $code, --wow64 $mode, not seeded: $row"; done < "$w/other-$code.rows"
}
for code in "${CAT_CODES[@]}"; do check_code skip expected.txt "$code"; done
for code in "${CAT_CODES[@]}"; do check_code check expected-wow64.txt "$code"; done
[ "$failures" -eq 0 ] || fail "$failures codes report other findings than seeded"
note "$total seeded findings over ${#CAT_CODES[@]} codes, in both modes"

drop_prefix "$prefix"
echo PASS
