#!/usr/bin/env bash
# fix on a terminal asks its questions there: answering No to the backup folder question
# changes nothing; answering Yes goes on with the repair. A backup folder that cannot be
# created ends the run before anything is deleted.
source "$(dirname "$0")/lib.bash"
command -v script > /dev/null || fail "no script(1) for a terminal"
prefix=$(new_prefix cli-fix-terminal) || exit 1
w=$prefix/work; mkdir -p "$w"
tl=$prefix/drive_c/Tallowin
seed_demo "$prefix"
keep_server "$prefix"

# answer ANSWER LOG: runs fix in a pseudo-terminal and types ANSWER once the question shows.
answer() {
  local reply=$1 log=$2 fifo=$w/input i
  rm -f "$fifo" "$log"; mkfifo "$fifo"
  WINEPREFIX="$prefix" script -qefc "wine 'C:\\Tallowin\\tallowin-cli.exe' fix --codes 15; echo EXIT=\$?" \
    "$log" < "$fifo" > /dev/null 2>&1 &
  local pid=$!
  exec 7> "$fifo"
  for i in $(seq 1 600); do grep -aq 'y/N' "$log" 2>/dev/null && break; sleep 0.1; done
  [ "$i" -lt 600 ] || fail "no question within a minute"
  printf '%s\r' "$reply" >&7
  exec 7>&-
  wait $pid
  # Wine's console draws blanks as cursor moves.
  sed -e 's/\x1b\[K\x1b\[1C/ /g' -e 's/\x1b\[[0-9;?]*[a-zA-Z]//g' -e 's/\r//g' "$log" > "$log.txt"
}

printf '[Settings]\r\nOutputDirectory=C:\\Tallowin\\tallowin-cli.exe\\Backup\r\n' > "$tl/Settings.dat"
cli_fast "$prefix" "$w/nofolder.out" "$w/nofolder.err" fix --codes 15 --yes; rc=$?
note "$(tr -d '\r' < "$w/nofolder.err")"
[ $rc -eq 1 ] || fail "fix with a backup folder that cannot be created: exit $rc"
[ "$(grep -c 'Cannot create C:\\Tallowin\\tallowin-cli.exe\\Backup' "$w/nofolder.err")" -eq 1 ] \
  || fail "the error is not shown once: $(cat "$w/nofolder.err")"
cli_fast "$prefix" "$w/still.json" "$w/still.err" scan --codes 15 --format json
[ "$(grep -c . "$w/still.json")" -eq 2 ] || fail "findings were removed without a backup folder"
rm -f "$tl/Settings.dat"

answer n "$w/no.log"
note "$(cat "$w/no.log.txt")"
grep -q "can not find the backup folder." "$w/no.log.txt" || fail "no backup folder question"
grep -q "EXIT=1" "$w/no.log.txt" || fail "answering No did not end with exit status 1"
grep -q "nothing was changed" "$w/no.log.txt" || fail "answering No did not say nothing changed"
[ ! -e "$tl/Backup" ] && [ ! -e "$tl/Settings.dat" ] || fail "answering No changed files"

answer y "$w/yes.log"
note "$(cat "$w/yes.log.txt")"
grep -q "EXIT=0" "$w/yes.log.txt" || fail "answering Yes did not end with exit status 0"
grep -q "Fix errors finished, 2 errors were fixed!" "$w/yes.log.txt" || fail "no summary after Yes"
[ -d "$tl/Backup" ] && [ -f "$tl/Settings.dat" ] || fail "answering Yes wrote no backup folder or settings"
drop_prefix "$prefix"
echo PASS
