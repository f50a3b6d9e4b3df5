#!/usr/bin/env bash
# Tallowin.exe driven from another process as a user would, on a prefix seeded with the
# demo's stale entries: the welcome panel; Full Scan fills the list with the command
# line's findings and the status line counts them; a row tells why it is listed where the
# mouse rests and while it is selected; Save as Text writes one line a row;
# RegEdit (Ctrl+R) opens the registry editor at a finding's key; un-checking a
# row changes the count; Fix Errors removes exactly the checked rows after backing them
# up and reports the count; Restore lists the backup, brings the registry back and
# deletes it; Exit saves the last repair.
source "$(dirname "$0")/gui.bash"
prefix=$(new_gui_prefix gui-scan-fix-restore) || exit 1
w=$prefix/work
tl=$prefix/drive_c/Tallowin
seed_demo "$prefix"
gui_session "$prefix" "$w"
mkdir -p "$tl/Backup"
settings_file '[Settings]' 'OutputDirectory=C:\Tallowin\Backup' 'CreateRP=0'

tallowin
d wait "${MAIN[@]}"
# What the command line finds now is what the list must show, row by row (with the
# program's desktop up: Wine writes a few keys of its own then).
cli_fast "$prefix" "$w/cli.json" "$w/cli.err" scan --format json || fail "cli scan: $(cat "$w/cli.err")"
cli_rows "$w/cli.json" "$w/expected.rows"
n=$(grep -c . "$w/expected.rows")
[ "$n" -ge 20 ] || fail "only $n findings in the seeded prefix"

d text "${MAIN[@]}"
[ "$(out)" = "Tallowin 2.8" ] || fail "main window caption '$(out)'"
d status "${MAIN[@]}"
[ -z "$(out)" ] || fail "status line before any repair: '$(out)'"
d state "${MAIN[@]}" --ctl Static --text "Welcome to Tallowin!"
[[ $(out) == visible* ]] || fail "the welcome panel is not shown: $(out)"

# Full Scan.
d click "${MAIN[@]}" --text "Full &Scan"
scan_ends
list_rows "$w/list.rows"
diff -u "$w/expected.rows" "$w/list.rows" >&2 || fail "the list differs from the command line's scan"
status_is "$(counts "$n" "$n")"
list_marks "$w/marks"
! grep -qx -- - "$w/marks" || fail "rows left unchecked after the scan"
d state "${MAIN[@]}" --ctl Static --text "Welcome to Tallowin!"
[[ $(out) == hidden* ]] || fail "the welcome panel still shows after the scan: $(out)"

# Why a row is listed: where the mouse rests on it, and in the status line once it is
# selected.
r=$(row_of "$w/list.rows" 'HKEY_CURRENT_USER\Software\Tallowin Demo\Cleanup')
[ -n "$r" ] || fail "no row for the Cleanup value"
why='%SystemRoot% expands to C:\windows. C:\windows\tallowin-demo-gone.exe does not exist.'
d tip "${MAIN[@]}" --row "$r" --equals "$why"
d row "${MAIN[@]}" --row "$r"
status_is "$why"

# Save as Text: right-click a row, the menu's second item from the bottom.
d row "${MAIN[@]}" --row 0 --right
d menu --process-of "$MAIN_CLASS" up up enter
d wait --class '#32770' --title "Save as Text"
d set-text --class '#32770' --title "Save as Text" --id 1148 'C:\Tallowin\report'
d click --class '#32770' --title "Save as Text" --text "&Save"
d gone --class '#32770' --title "Save as Text"
for i in $(seq 50); do [ -s "$tl/report.txt" ] && break; sleep 0.1; done
[ -f "$tl/report.txt" ] || fail "Save as Text wrote no report.txt"
grep -c $'\r$' "$tl/report.txt" > "$w/crlf"
[ "$(cat "$w/crlf")" = "$n" ] || fail "report.txt: $(cat "$w/crlf") CR LF lines of $n"
iconv -f WINDOWS-1252 -t UTF-8 "$tl/report.txt" | tr -d '\r' | sed 's/  ^^^  /|/g' > "$w/report.rows"
diff -u "$w/expected.rows" "$w/report.rows" >&2 || fail "report.txt differs from the list"

# RegEdit (Ctrl+R) at a value's row: the editor opens at the key that holds the value.
r=$(row_of "$w/list.rows" 'HKEY_CURRENT_USER\Software\Tallowin Demo\LastLog')
[ -n "$r" ] || fail "no row for the LastLog value"
d row "${MAIN[@]}" --row "$r"
d list "${MAIN[@]}" --summary
[[ $(out) == *" selected $r "* ]] || fail "row $r is not selected: $(out)"
d input "${MAIN[@]}" ctrl+r
d wait --class RegEdit_RegEdit --timeout 20000
d wait-status --class RegEdit_RegEdit --matches '\\HKEY_CURRENT_USER\\Software\\Tallowin Demo$' --timeout 15000
d tree --class RegEdit_RegEdit
[[ $(out) == *'\HKEY_CURRENT_USER\Software\Tallowin Demo' ]] || fail "the editor's tree shows $(out)"
d post --class RegEdit_RegEdit --msg 16
d gone --class RegEdit_RegEdit

# Leave the prefix's own findings alone: Deselect All of Type (popup menu) for each kind
# of problem outside the demo's entries (row by row where a kind is shared), then
# un-check one of the demo's rows by its check box (twice, to see it come back).
grep -n 'Tallowin Demo\|TallowinDemo' "$w/list.rows" | cut -d: -f1 > "$w/demo.lines"
demo=$(grep -c . "$w/demo.lines")
grep -v 'Tallowin Demo\|TallowinDemo' "$w/list.rows" | cut -d'|' -f1 | sort -u > "$w/other.types"
while read -r type; do
  if grep -n 'Tallowin Demo\|TallowinDemo' "$w/list.rows" | grep -qF ":$type|"; then
    # A kind of problem the demo's findings share with the prefix's own (the 64-bit
    # registry view adds such rows): those rows one by one, by their check boxes.
    grep -nF "$type|" "$w/list.rows" | grep "^[0-9]*:$type|" | grep -v 'Tallowin Demo\|TallowinDemo' \
      | cut -d: -f1 > "$w/shared.lines"
    while read -r line; do d row "${MAIN[@]}" --row $((line - 1)) --at check; done < "$w/shared.lines"
    continue
  fi
  r=$(grep -n "^$type|" "$w/list.rows" | head -1 | cut -d: -f1)
  d row "${MAIN[@]}" --row $((r - 1)) --right
  d menu --process-of "$MAIN_CLASS" l
  d gone --class '#32768'
done < "$w/other.types"
status_is "$(counts "$n" "$demo")"
list_marks "$w/marks"
awk '{ print ($0 == "x") ? NR : "" }' "$w/marks" | grep . > "$w/checked.lines"
diff -u "$w/demo.lines" "$w/checked.lines" >&2 || fail "Deselect All of Type left other rows checked"
# Named below Wow6432Node when both registry views are scanned.
keep=$(row_of "$w/list.rows" 'Tallowin Demo\DataFile')
[ -n "$keep" ] || fail "no row for the DataFile value"
d row "${MAIN[@]}" --row "$keep" --at check
status_is "$(counts "$n" $((demo - 1)))"
d row "${MAIN[@]}" --row "$keep" --at check
status_is "$(counts "$n" "$demo")"
d row "${MAIN[@]}" --row "$keep" --at check
status_is "$(counts "$n" $((demo - 1)))"
d list "${MAIN[@]}" --rows "$keep:$((keep + 1))"
[ "$(tail -1 "$w/drv.out" | cut -f2)" != x ] || fail "row $keep still shows its check mark"
sed -n "$((keep + 1))p" "$w/list.rows" > "$w/kept.row"
# The rows that stay: the prefix's own and the un-checked one, in list order.
awk -v k=$((keep + 1)) 'NR == FNR { demo[$1] = 1; next } !(FNR in demo) || FNR == k' \
  "$w/demo.lines" "$w/list.rows" > "$w/kept.rows"
fixed=$((demo - 1))

# Fix Errors: exactly the checked rows go, each backed up first.
sid=$(user_sid)
live_export "$w/before.reg"
d click "${MAIN[@]}" --text "&Fix Errors"
status_is "Fix errors finished, $fixed errors were fixed!"
list_rows "$w/left.rows"
diff -u "$w/kept.rows" "$w/left.rows" >&2 || fail "the list after the fix is not the unchecked rows"
status_is "Fix errors finished, $fixed errors were fixed!"
ls "$tl/Backup" > "$w/backups"
[ "$(grep -c . "$w/backups")" = 1 ] || fail "backup folder holds: $(cat "$w/backups")"
backup=$(cat "$w/backups")
[[ $backup =~ ^[0-9]{4}_[0-9]{2}_[0-9]{2}_[0-9]{6}\.reg$ ]] || fail "backup file name $backup"
live_export "$w/fixed.reg"
reg_items "$w/before.reg" > "$w/before.items"
reg_items "$w/fixed.reg" > "$w/fixed.items"
LC_ALL=C comm -13 "$w/before.items" "$w/fixed.items" > "$w/added.items"
[ ! -s "$w/added.items" ] || fail "the fix added registry items: $(head -5 "$w/added.items")"
LC_ALL=C comm -23 "$w/before.items" "$w/fixed.items" > "$w/removed.items"
iconv -f WINDOWS-1252 -t UTF-8 "$tl/Backup/$backup" | tr -d '\r' > "$w/backup.reg"
head -1 "$w/backup.reg" | grep -qx REGEDIT4 || fail "the backup is no REGEDIT4 file"
reg_items "$w/backup.reg" | with_aliases "$sid" > "$w/backup.items"
# Everything that went is in the backup; every value of the backup went.
LC_ALL=C comm -23 "$w/removed.items" "$w/backup.items" > "$w/unsaved.items"
[ ! -s "$w/unsaved.items" ] || fail "removed without a backup: $(head -5 "$w/unsaved.items")"
reg_items "$w/backup.reg" | grep '|.' | with_aliases "$sid" | LC_ALL=C comm -23 - "$w/removed.items" \
  | grep -vF "HKEY_USERS\\$sid\\" | grep -v '^HKEY_LOCAL_MACHINE\\Software\\Classes\\' > "$w/stayed.items"
[ ! -s "$w/stayed.items" ] || fail "backed up but not removed: $(head -5 "$w/stayed.items")"
[ -s "$w/removed.items" ] || fail "the fix removed nothing"
# The unchecked finding is still there, the fixed ones are not.
cli_fast "$prefix" "$w/after.json" "$w/after.err" scan --format json || fail "cli scan after the fix"
cli_rows "$w/after.json" "$w/after.rows"
grep -qxF -f "$w/kept.row" "$w/after.rows" || fail "the unchecked finding went: $(cat "$w/kept.row")"
grep -vxF -f "$w/kept.rows" "$w/expected.rows" | grep -xF -f - "$w/after.rows" > "$w/again.rows"
[ ! -s "$w/again.rows" ] || fail "fixed findings are found again: $(head -3 "$w/again.rows")"

# Restore: the dialog lists the backup; Restore imports it, shows the hint and deletes it.
d click "${MAIN[@]}" --text "&Restore"
RESTORE=(--process-of "$MAIN_CLASS" --has "&Browse")
d wait "${RESTORE[@]}"
d text "${RESTORE[@]}" --ctl Edit
[ "$(out)" = 'C:\Tallowin\Backup' ] || fail "the restore dialog lists $(out)"
d list "${RESTORE[@]}"
[ "$(head -1 "$w/drv.out" | awk '{ print $2 }')" = 1 ] || fail "restore list: $(cat "$w/drv.out")"
[ "$(sed -n 2p "$w/drv.out" | cut -f3)" = "$backup" ] || fail "restore list: $(cat "$w/drv.out")"
d enabled "${RESTORE[@]}" --text "&Restore" --expect disabled
d row "${RESTORE[@]}" --row 0
d click "${RESTORE[@]}" --text "&Restore"
d wait --process-of "$MAIN_CLASS" --title Tallowin --has "Restore registry..."
d wait-list "${RESTORE[@]}" --count 0 --timeout 60000
[ ! -e "$tl/Backup/$backup" ] || fail "the restored backup was not deleted"
d click "${RESTORE[@]}" --text "&Close"
d gone "${RESTORE[@]}"
live_export "$w/restored.reg"
reg_items "$w/restored.reg" > "$w/restored.items"
diff -u "$w/before.items" "$w/restored.items" >&2 || fail "the restore did not bring the registry back"
grep -v '^$' "$w/before.reg" | LC_ALL=C sort > "$w/before.lines"
grep -v '^$' "$w/restored.reg" | LC_ALL=C sort > "$w/restored.lines"
diff -u "$w/before.lines" "$w/restored.lines" >&2 || fail "restored values differ in their data"

# Exit: the last repair is saved.
main_ends
strip_cr "$tl/Settings.dat" > "$w/settings.txt"
grep -qE "^Last Clean=.+ , $fixed errors were fixed!$" "$w/settings.txt" \
  || fail "Settings.dat has no Last Clean line: $(cat "$w/settings.txt")"
echo "ok: $n findings listed, $fixed fixed and restored"
