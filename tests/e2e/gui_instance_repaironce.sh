#!/usr/bin/env bash
# Tallowin.exe as started by a user or a scheduled task: a second start only brings the
# first window back and ends without a window of its own, and with "-repaironce" it does
# nothing at all and exits 6; "-repaironce" with no section chosen ends without scanning;
# with a restore point asked for (which Wine cannot make) it ends by itself with status 1
# and repairs nothing; with two sections chosen it scans them, repairs every finding with
# a backup (beside the program for a relative folder), saves the last repair and ends,
# never showing a window, even one maximized at the last close; ended with the session
# it exits 4.
source "$(dirname "$0")/gui.bash"
prefix=$(new_gui_prefix gui-instance-repaironce) || exit 1
w=$prefix/work
tl=$prefix/drive_c/Tallowin
seed_demo "$prefix"
gui_session "$prefix" "$w"
mkdir -p "$tl/Backup"
settings_file '[Settings]' 'OutputDirectory=C:\Tallowin\Backup' 'CreateRP=0' '2=1' '16=1'

cli_fast "$prefix" "$w/cli.json" "$w/cli.err" scan --codes 2,16 --format json || fail "cli scan: $(cat "$w/cli.err")"
cli_rows "$w/cli.json" "$w/expected.rows"
m=$(grep -c . "$w/expected.rows")
[ "$m" -ge 5 ] || fail "only $m findings for sections 2 and 16"

# A second start while the first copy is minimized brings it back; a second start with
# "-repaironce" does nothing and says so in its exit status.
tallowin
d wait "${MAIN[@]}"
d post "${MAIN[@]}" --msg 0x0112 --wparam 0xF020  # WM_SYSCOMMAND, SC_MINIMIZE
for i in $(seq 50); do drv state "${MAIN[@]}"; [[ $(out) == *minimized* ]] && break; sleep 0.1; done
[[ $(out) == *minimized* ]] || fail "the window does not minimize: $(out)"
d run --timeout 20000 'C:\Tallowin\Tallowin.exe' -repaironce
grep -q '^visible' "$w/drv.out" && fail "the second start showed windows: $(cat "$w/drv.out")"
[ "$(tail -1 "$w/drv.out")" = "exit 6" ] || fail "-repaironce beside a window: $(cat "$w/drv.out")"
drv state "${MAIN[@]}"
[[ $(out) == *minimized* ]] || fail "-repaironce beside a window touched it: $(out)"
d run --timeout 20000 'C:\Tallowin\Tallowin.exe'
grep -q '^visible' "$w/drv.out" && fail "the second start showed windows: $(cat "$w/drv.out")"
[ "$(tail -1 "$w/drv.out")" = "exit 0" ] || fail "the second start: $(cat "$w/drv.out")"
for i in $(seq 50); do drv state "${MAIN[@]}"; [[ $(out) != *minimized* ]] && break; sleep 0.1; done
[[ $(out) == "visible enabled foreground" ]] || fail "the first window after the second start: $(out)"
d windows --hidden "${MAIN[@]}"
[ "$(grep -c . "$w/drv.out")" = 1 ] || fail "main windows: $(cat "$w/drv.out")"
# Its "-repaironce" was not acted upon.
d list "${MAIN[@]}" --summary
[[ $(out) == "count 0 "* ]] || fail "the list after the second start: $(out)"
d state "${MAIN[@]}" --ctl Static --text "Welcome to Tallowin!"
[[ $(out) == visible* ]] || fail "the welcome panel went: $(out)"
main_ends
[ -z "$(ls "$tl/Backup" | grep '\.reg$')" ] || fail "a backup was written: $(ls "$tl/Backup" | grep '\.reg$')"

# Unattended with a restore point asked for: System Restore fails under Wine, and the run
# ends by itself without asking, repairing nothing, with status 1.
settings_file '[Settings]' 'OutputDirectory=C:\Tallowin\Backup' 'CreateRP=1' '2=1' '16=1'
d run --timeout 120000 'C:\Tallowin\Tallowin.exe' -repaironce
note "restore point: $(tr '\n' ' ' < "$w/drv.out")"
grep -q '^visible' "$w/drv.out" && fail "the unattended run showed windows: $(cat "$w/drv.out")"
[ "$(tail -1 "$w/drv.out")" = "exit 1" ] || fail "-repaironce without a restore point: $(cat "$w/drv.out")"
[ -z "$(ls "$tl/Backup" | grep '\.reg$')" ] || fail "a backup was written: $(ls "$tl/Backup" | grep '\.reg$')"
cli_fast "$prefix" "$w/again.json" "$w/cli.err" scan --codes 2,16 --format json || fail "cli scan"
cli_rows "$w/again.json" "$w/again.rows"
diff -q "$w/expected.rows" "$w/again.rows" > /dev/null || fail "-repaironce without a restore point changed the registry"

# Unattended with no section chosen: it ends, nothing is scanned or repaired.
settings_file '[Settings]' 'OutputDirectory=C:\Tallowin\Backup' 'CreateRP=0'
d run --timeout 30000 'C:\Tallowin\Tallowin.exe' -repaironce
note "no section: $(tr '\n' ' ' < "$w/drv.out")"
[ "$(tail -1 "$w/drv.out")" = "exit 0" ] || fail "-repaironce without sections: $(cat "$w/drv.out")"
[ -z "$(ls "$tl/Backup" | grep '\.reg$')" ] || fail "a backup was written: $(ls "$tl/Backup" | grep '\.reg$')"
cli_fast "$prefix" "$w/again.json" "$w/cli.err" scan --codes 2,16 --format json || fail "cli scan"
cli_rows "$w/again.json" "$w/again.rows"
diff -q "$w/expected.rows" "$w/again.rows" > /dev/null || fail "-repaironce without sections changed the registry"

# Unattended with sections 2 and 16, started in System32 as a task is, with a relative
# backup folder and a window maximized at its last close: no window at any moment, every
# finding repaired, backed up beside the program, recorded.
settings_file '[Settings]' 'OutputDirectory=relbk' 'CreateRP=0' '2=1' '16=1' 'State=3'
(cd "$prefix/drive_c/windows/system32" && d run --poll 5 --timeout 60000 'C:\Tallowin\Tallowin.exe' -RepairOnce)
note "sections 2 and 16: $(tr '\n' ' ' < "$w/drv.out")"
grep -q '^visible' "$w/drv.out" && fail "the unattended run showed windows: $(cat "$w/drv.out")"
[ "$(tail -1 "$w/drv.out")" = "exit 0" ] || fail "-repaironce: $(cat "$w/drv.out")"
drv windows --hidden "${MAIN[@]}"
[ ! -s "$w/drv.out" ] || fail "a main window is left: $(cat "$w/drv.out")"
ls "$tl/relbk" | grep '\.reg$' > "$w/backups"
[ "$(grep -c . "$w/backups")" = 1 ] || fail "backups: $(cat "$w/backups")"
cli_fast "$prefix" "$w/after.json" "$w/cli.err" scan --codes 2,16 --format json || fail "cli scan"
cli_rows "$w/after.json" "$w/after.rows"
grep -xF -f "$w/expected.rows" "$w/after.rows" > "$w/left.rows"
[ ! -s "$w/left.rows" ] || fail "findings left after -repaironce: $(head -3 "$w/left.rows")"
iconv -f WINDOWS-1252 -t UTF-8 "$tl/relbk/$(cat "$w/backups")" | tr -d '\r' > "$w/backup.reg"
for value in '"LastLog"=' '"OldEditor"=' '"TallowinDemoAgent"='; do
  grep -qF "$value" "$w/backup.reg" || fail "the backup lacks $value"
done
strip_cr "$tl/Settings.dat" > "$w/settings.txt"
grep -qE "^Last Clean=.+ , $m errors were fixed!$" "$w/settings.txt" \
  || fail "Settings.dat has no Last Clean line: $(cat "$w/settings.txt")"
for line in 16=1 State=3 OutputDirectory=relbk; do
  grep -qxF "$line" "$w/settings.txt" || fail "$line was lost: $(cat "$w/settings.txt")"
done

# The session ends 1.5 s into a run of every section: nothing repaired, exit 4.
settings_file '[Settings]' 'OutputDirectory=C:\Tallowin\Backup' 'CreateRP=0' $(seq -f '%g=1' 17)
rm -rf "$tl/Backup"/*
tallowin -repaironce
sleep 1.5
wine wineboot --end-session > "$w/wineboot.log" 2>&1 < /dev/null
wait "$GUI_PID"; rc=$?
[ $rc -eq 4 ] || fail "-repaironce ended by the session's end: exit $rc"
[ -z "$(ls "$tl/Backup" | grep '\.reg$')" ] || fail "a backup was written before the session ended: $(ls "$tl/Backup")"
# The run that the session ended is on record, with the status it ended with.
grep -q '"exit_status":4' "$tl/Backup/Unattended runs.jsonl" ||
  fail "the ended run is not recorded: $(cat "$tl/Backup/Unattended runs.jsonl" 2>&1)"
echo "ok: second start, -repaironce without sections and with $m findings"
