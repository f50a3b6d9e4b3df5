#!/usr/bin/env bash
# Each "Tallowin.exe -repaironce" leaves a record in the backup folder: a run over two
# sections records its exit status and the counts it had (the findings the command line
# lists, the "Last Clean" it saved, its one backup); the main window then shows that run
# on its status line; a second run beside the open window is recorded as not run (6).
source "$(dirname "$0")/gui.bash"
prefix=$(new_gui_prefix gui-repaironce-record) || exit 1
w=$prefix/work
tl=$prefix/drive_c/Tallowin
seed_demo "$prefix"
gui_session "$prefix" "$w"
mkdir -p "$tl/Backup"
settings_file '[Settings]' 'OutputDirectory=C:\Tallowin\Backup' 'CreateRP=0' '2=1' '16=1'
cli_fast "$prefix" "$w/cli.json" "$w/cli.err" scan --codes 2,16 --format json || fail "cli scan: $(cat "$w/cli.err")"
m=$(grep -c . "$w/cli.json")
[ "$m" -ge 5 ] || fail "only $m findings for sections 2 and 16"

d run --timeout 60000 'C:\Tallowin\Tallowin.exe' -repaironce
[ "$(tail -1 "$w/drv.out")" = "exit 0" ] || fail "-repaironce: $(cat "$w/drv.out")"
cli_fast "$prefix" "$w/runs.json" "$w/runs.err" runs --format json || fail "runs: $(cat "$w/runs.err")"
[ "$(grep -c . "$w/runs.json")" = 1 ] || fail "records after one run: $(cat "$w/runs.json")"
fixed=$(strip_cr "$tl/Settings.dat" | sed -n 's/^Last Clean=.* , \([0-9]*\) errors were fixed!$/\1/p')
backup=$(ls "$tl/Backup" | grep '\.reg$')
jq -e --argjson m "$m" --argjson fixed "${fixed:-0}" --arg backup "C:\\Tallowin\\Backup\\$backup" \
  '.exit_status == 0 and .found == $m and .removed == $fixed and .not_removed == 0
   and .backup_file == $backup and .meaning != null and .started <= .ended' "$w/runs.json" > /dev/null \
  || fail "the record ($m found, ${fixed:-no} fixed, $backup): $(cat "$w/runs.json")"

tallowin
d wait "${MAIN[@]}"
d wait-status "${MAIN[@]}" --matches "^Last automatic repair: .+, $m removed, 0 not removed$" --timeout 10000
d run --timeout 20000 'C:\Tallowin\Tallowin.exe' -repaironce
[ "$(tail -1 "$w/drv.out")" = "exit 6" ] || fail "-repaironce beside the window: $(cat "$w/drv.out")"
cli_fast "$prefix" "$w/runs.json" "$w/runs.err" runs --format json || fail "runs: $(cat "$w/runs.err")"
[ "$(grep -c . "$w/runs.json")" = 2 ] || fail "records after the second run: $(cat "$w/runs.json")"
tail -1 "$w/runs.json" | jq -e '.exit_status == 6 and .found == 0 and .removed == 0 and .backup_file == null' \
  > /dev/null || fail "the run beside the window: $(tail -1 "$w/runs.json")"
cli_fast "$prefix" "$w/runs.txt" "$w/runs.err" runs || fail "runs: $(cat "$w/runs.err")"
note "runs: $(strip_cr "$w/runs.txt" | tr '\n' '|')"
main_ends
echo "ok: -repaironce recorded with its $m findings; the run beside the window recorded as not run"
