#!/usr/bin/env bash
# Tallowin.exe driven from another process as a user would: Custom Scan with two
# sections checked runs exactly those categories (the list is the command line's scan of
# those codes); Options refuses a missing backup folder (a relative one is looked for
# beside the program, not in the folder it started in), then stores the folder as typed
# and a key added to the ignore list, and the next custom scan leaves that key's findings
# out; a second start while Options is open leaves Options in front; Start Scan with no
# section checked is refused and Cancel keeps the saved sections; Exit saves the sections
# and the ignore list (written already at Options OK), which the command line then
# honours as well.
source "$(dirname "$0")/gui.bash"
prefix=$(new_gui_prefix gui-custom-scan-options) || exit 1
w=$prefix/work
tl=$prefix/drive_c/Tallowin
seed_demo "$prefix"
gui_session "$prefix" "$w"
settings_file '[Settings]' 'OutputDirectory=C:\Tallowin\Backup' 'CreateRP=0'
ignored='HKEY_CURRENT_USER\Software\Tallowin Demo'
# Started in a folder of its own that holds a "relbk" (as a shortcut's "Start in" may).
mkdir -p "$w/start/relbk"
cd "$w/start" || fail "no start folder"
tallowin
d wait "${MAIN[@]}"

cli_fast "$prefix" "$w/cli.json" "$w/cli.err" scan --codes 2,16 --format json || fail "cli scan: $(cat "$w/cli.err")"
cli_rows "$w/cli.json" "$w/expected.rows"
m=$(grep -c . "$w/expected.rows")
grep -qF "|$ignored\\" "$w/expected.rows" || fail "no finding below $ignored"
grep -q '^Non-existent Startup Programs|' "$w/expected.rows" || fail "no startup program finding"
grep -vF "|$ignored\\" "$w/expected.rows" > "$w/expected-ignoring.rows"
mi=$(grep -c . "$w/expected-ignoring.rows")

# Custom Scan: nothing chosen at first use, Save follows the check marks.
CUSTOM=(--process-of "$MAIN_CLASS" --title "Custom Scan")
d click "${MAIN[@]}" --text "&Custom Scan"
d wait "${CUSTOM[@]}"
d list "${CUSTOM[@]}"
tail -n +2 "$w/drv.out" | cut -f2,3 > "$w/sections"
printf -- '-\t%s\n' HKEY_CLASSES_ROOT HKEY_CURRENT_USER HKEY_LOCAL_MACHINE HKEY_USERS \
  "Start Menu Section" "Obsolete Software" "File Extensions" "Add/Remove Programs" "Shared DLLs" \
  "Fonts Section" "Help File Paths" "Uninstaller Entry" "MRU History Lists" "Empty Registry Keys" \
  "Software Locations" "Startup Programs" "Windows Services" > "$w/sections.expected"
diff -u "$w/sections.expected" "$w/sections" >&2 || fail "the custom scan's sections at first use"
d enabled "${CUSTOM[@]}" --text "&Save" --expect disabled
d row "${CUSTOM[@]}" --row 1 --at check
d enabled "${CUSTOM[@]}" --text "&Save" --expect enabled --timeout 3000
d row "${CUSTOM[@]}" --row 1 --at check
d enabled "${CUSTOM[@]}" --text "&Save" --expect disabled --timeout 3000
d row "${CUSTOM[@]}" --row 1 --at check
d row "${CUSTOM[@]}" --row 15 --at check
d list "${CUSTOM[@]}"
tail -n +2 "$w/drv.out" | cut -f2 | grep -n x | cut -d: -f1 | tr '\n' ' ' > "$w/checked"
[ "$(cat "$w/checked")" = "2 16 " ] || fail "checked sections: $(cat "$w/checked")"
d click "${CUSTOM[@]}" --text "&Start Scan"
d gone "${CUSTOM[@]}"
scan_ends
list_rows "$w/list.rows"
diff -u "$w/expected.rows" "$w/list.rows" >&2 || fail "the custom scan's list differs from scan --codes 2,16"
status_is "$(counts "$m" "$m")"

# Options: the key goes into the ignore list; OK is refused while the folder is missing.
OPTIONS=(--process-of "$MAIN_CLASS" --title Options)
EDITOR=(--process-of "$MAIN_CLASS" --title "Add to Ignore List")
d click "${MAIN[@]}" --text "&Options"
d wait "${OPTIONS[@]}"
# A second start meanwhile leaves the dialog in front, not the main window it disables.
d run --timeout 20000 'C:\Tallowin\Tallowin.exe'
[ "$(tail -1 "$w/drv.out")" = "exit 0" ] || fail "the second start: $(cat "$w/drv.out")"
sleep 1  # the first copy answers the second's message in its own time
d state "${OPTIONS[@]}"
[ "$(out)" = "visible enabled foreground" ] || fail "Options after a second start: $(out)"
d text "${OPTIONS[@]}" --ctl Edit
[ "$(out)" = 'C:\Tallowin\Backup' ] || fail "the options show the backup folder '$(out)'"
d click "${OPTIONS[@]}" --text "&Add"
d wait "${EDITOR[@]}"
d set-text "${EDITOR[@]}" --ctl Edit "$ignored"
d click "${EDITOR[@]}" --text "&OK"
d gone "${EDITOR[@]}"
d list "${OPTIONS[@]}"
[ "$(tail -n +2 "$w/drv.out" | cut -f3)" = "$ignored" ] || fail "ignore list in the dialog: $(cat "$w/drv.out")"
d click "${OPTIONS[@]}" --text "&OK"
d msgbox --process-of "$MAIN_CLASS" --expect 'C:\Tallowin\Backup,can not find the backup folder.' --press OK
d wait "${OPTIONS[@]}"
# A relative folder is the one beside the program, not one in the folder it started in.
d set-text "${OPTIONS[@]}" --ctl Edit 'relbk'
d click "${OPTIONS[@]}" --text "&OK"
d msgbox --process-of "$MAIN_CLASS" --expect 'relbk,can not find the backup folder.' --press OK
d wait "${OPTIONS[@]}"
mkdir -p "$tl/relbk"
d click "${OPTIONS[@]}" --text "&OK"
d gone "${OPTIONS[@]}"
# Written after the dialog has gone: a look at once may find the file half written.
for i in $(seq 50); do grep -qF "Key1=$ignored" "$tl/Settings.dat" && break; sleep 0.1; done
grep -qF "Key1=$ignored" "$tl/Settings.dat" || fail "Options OK did not write the ignore list"

# The next custom scan keeps the choice and honours the ignore list.
d click "${MAIN[@]}" --text "&Custom Scan"
d wait "${CUSTOM[@]}"
d list "${CUSTOM[@]}"
tail -n +2 "$w/drv.out" | cut -f2 | grep -n x | cut -d: -f1 | tr '\n' ' ' > "$w/checked"
[ "$(cat "$w/checked")" = "2 16 " ] || fail "the sections were not kept: $(cat "$w/checked")"
d enabled "${CUSTOM[@]}" --text "&Save" --expect disabled
d click "${CUSTOM[@]}" --text "&Start Scan"
scan_ends
list_rows "$w/list-ignoring.rows"
diff -u "$w/expected-ignoring.rows" "$w/list-ignoring.rows" >&2 || fail "the ignore list was not honoured"
status_is "$(counts "$mi" "$mi")"

# Start Scan with no section checked is refused in the dialog; Cancel then keeps the
# saved sections (checked at Exit below).
d click "${MAIN[@]}" --text "&Custom Scan"
d wait "${CUSTOM[@]}"
d row "${CUSTOM[@]}" --row 1 --at check
d row "${CUSTOM[@]}" --row 15 --at check
d click "${CUSTOM[@]}" --text "&Start Scan"
d msgbox --process-of "$MAIN_CLASS" --expect 'No sections were selected!' --press OK
d wait "${CUSTOM[@]}"
d click "${CUSTOM[@]}" --text "&Cancel"
d gone "${CUSTOM[@]}"
status_is "$(counts "$mi" "$mi")"

# Exit saves both; the command line reads them and finds the same.
main_ends
strip_cr "$tl/Settings.dat" > "$w/settings.txt"
for line in '2=1' '16=1' 'Count=1' "Key1=$ignored" 'OutputDirectory=relbk'; do
  grep -qxF "$line" "$w/settings.txt" || fail "Settings.dat lacks $line: $(cat "$w/settings.txt")"
done
[ "$(grep -cE '^([1-9]|1[0-7])=1$' "$w/settings.txt")" = 2 ] || fail "sections saved: $(cat "$w/settings.txt")"
cli_fast "$prefix" "$w/cli-ignoring.json" "$w/cli.err" scan --codes 2,16 --format json || fail "cli scan"
cli_rows "$w/cli-ignoring.json" "$w/cli-ignoring.rows"
diff -u "$w/expected-ignoring.rows" "$w/cli-ignoring.rows" >&2 || fail "the command line does not read the saved ignore list"
echo "ok: custom scan of $m findings, $mi with the ignore list"
