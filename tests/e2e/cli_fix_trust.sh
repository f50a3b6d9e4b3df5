#!/usr/bin/env bash
# fix and restore as a user meets them:
#  1. names of any script, in a 32-bit and a 64-bit prefix: the scan names the stale
#     values exactly (UTF-8 JSON), the fix deletes exactly those (never "Omega" beside
#     the stale "Ωmega"), counts what it deleted, writes a Unicode backup, and the
#     restore brings every deleted value back bit for bit;
#  2. a full disk during the fix (a file-size limit on the program's process: no mount,
#     no root): exit 1, the backup ends on a whole entry, what was deleted is exactly
#     what the backup holds, and its restore gives everything back;
#  3. Ctrl+C during the deletions: exit 130, the rows not reached stay, and the backup
#     holds everything deleted;
#  4. the fix paused at its restore-point question: a value changed meanwhile stays, one
#     deleted meanwhile is "already gone", and a backup name that another program took
#     meanwhile gives a new numbered file, the other file untouched.
# Every Wine call runs under a time limit, so that nothing here can wait for ever.
source "$(dirname "$0")/lib.bash"
command -v script > /dev/null || fail "no script(1) for a terminal"
export LANG=C.UTF-8  # reg.exe then stores names and data of any script
time_limit=120

# wine_run OUT ERR PROGRAM ARGS...: a program of $prefix, within the time limit.
wine_run() {
  local out=$1 err=$2 rc; shift 2
  timeout -k 5 "$time_limit" env WINEPREFIX="$prefix" wine "$@" > "$out" 2> "$err" < /dev/null
  rc=$?
  [ $rc -ne 124 ] && [ $rc -ne 137 ] || fail "no end within $time_limit s: $*"
  return $rc
}
tcli() { local out=$1 err=$2; shift 2; wine_run "$out" "$err" 'C:\Tallowin\tallowin-cli.exe' "$@"; }
reg() { wine_run /dev/null /dev/null reg "$@"; }
settings() {  # settings OUTPUT_DIRECTORY [CREATE_RP]
  printf '[Settings]\r\nOutputDirectory=%s\r\nCreateRP=%s\r\n' "$1" "${2:-0}" > "$tl/Settings.dat"
}
# export_key KEY FILE: the key as regedit writes it (UTF-16), as UTF-8 without CR.
export_key() {
  rm -f "$prefix/drive_c/key.reg"
  wine_run /dev/null /dev/null regedit /e 'C:\key.reg' "$1"
  [ -f "$prefix/drive_c/key.reg" ] || { : > "$2"; return; }
  iconv -f UTF-16 -t UTF-8 "$prefix/drive_c/key.reg" | tr -d '\r' | sed 1d > "$2"
}
# bulk_names FILE: the value names of HKCU\Software\TallowinBulk, sorted.
bulk_names() {
  export_key 'HKEY_CURRENT_USER\Software\TallowinBulk' "$w/bulk.txt"
  sed -n 's/^"\(v[0-9]*\)"=.*/\1/p' "$w/bulk.txt" | LC_ALL=C sort > "$1"
}
# seed COUNT TEXT: HKCU\Software\TallowinBulk with COUNT values, each naming a missing file.
seed() {
  {
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\TallowinBulk]\r\n'
    for i in $(seq 1 "$1"); do printf '"v%05d"="C:\\\\Gone\\\\%05d\\\\%s.exe"\r\n' "$i" "$i" "$2"; done
  } > "$prefix/drive_c/bulk.reg"
  wine_run /dev/null /dev/null regedit /s 'C:\bulk.reg'
}
# restore_all BACKUP NAMES: restores the backup; every name of NAMES is back.
restore_all() {
  local rc
  tcli "$w/restore.out" "$w/restore.err" restore "$1"; rc=$?
  [ $rc -eq 0 ] || fail "restore of $1: exit $rc ($(cat "$w/restore.err"))"
  bulk_names "$w/restored.names"
  cmp -s "$2" "$w/restored.names" \
    || fail "after the restore of $1: $(grep -c . "$w/restored.names") of $(grep -c . "$2") values"
}

# ---- 1. names of any script --------------------------------------------------------
# The 64-bit prefix first: the 32-bit one goes on with the other parts.
for arch in win64 win32; do
  prefix=$(new_prefix "cli-fix-trust-$arch" "$arch") || exit 1
  w=$prefix/work; mkdir -p "$w"
  tl=$prefix/drive_c/Tallowin
  keep_server "$prefix"
  mkdir -p "$tl/Backup"; settings 'C:\Tallowin\Backup'
  reg add 'HKCU\Software\UniTest' /v 'Ωmega' /d 'C:\Gone\x.exe' /f
  reg add 'HKCU\Software\UniTest' /v 'Omega' /d 'C:\windows\notepad.exe' /f
  reg add 'HKCU\Software\UniTest' /v 'Path' /d 'C:\Gone\日本.txt' /f
  reg add 'HKCU\Software\UniTest\Юникод' /v 'File' /d 'C:\Gone\y.exe' /f
  export_key 'HKEY_CURRENT_USER\Software\UniTest' "$w/before.txt"
  grep -q 'Ωmega' "$w/before.txt" || fail "$arch: reg add did not store the names: $(cat "$w/before.txt")"

  stale=('HKEY_CURRENT_USER\Software\UniTest\Path' 'HKEY_CURRENT_USER\Software\UniTest\Ωmega'
         'HKEY_CURRENT_USER\Software\UniTest\Юникод\File')
  tcli "$w/scan.json" "$w/scan.err" scan --codes 2 --format json
  jq -r 'select(.key | test("UniTest")) | .key' "$w/scan.json" | LC_ALL=C sort > "$w/scan.keys"
  printf '%s\n' "${stale[@]}" | LC_ALL=C sort > "$w/want.keys"
  cmp -s "$w/scan.keys" "$w/want.keys" || fail "$arch: scan found: $(cat "$w/scan.keys")"

  tcli "$w/fix.json" "$w/fix.err" fix --codes 2 --yes --format json; rc=$?
  note "$arch fix: $(jq -c 'select(.summary)' "$w/fix.json")"
  [ $rc -eq 0 ] || fail "$arch fix: exit $rc ($(cat "$w/fix.err"))"
  for key in "${stale[@]}"; do
    outcome=$(jq -r --arg k "$key" 'select(.key == $k) | .outcome' "$w/fix.json")
    [ "$outcome" = deleted ] || fail "$arch: $key: $outcome"
  done
  jq -e 'select(.summary) | .fixed == 3 and .already_gone == 0 and .not_removed == 0' \
    "$w/fix.json" > /dev/null || fail "$arch: the summary does not count the 3 deletions"
  export_key 'HKEY_CURRENT_USER\Software\UniTest' "$w/fixed.txt"
  grep -q '^"Omega"="C:\\\\windows\\\\notepad.exe"$' "$w/fixed.txt" || fail "$arch: Omega, never reported, was deleted"
  ! grep -q 'Ωmega\|日本\|"File"' "$w/fixed.txt" || fail "$arch: stale values are still there: $(cat "$w/fixed.txt")"
  backup=$(jq -r 'select(.summary) | .backup' "$w/fix.json")
  file="$tl/Backup/${backup##*\\}"
  [ -f "$file" ] || fail "$arch: no backup file $backup"
  [ "$(head -c 2 "$file" | od -An -tx1 | tr -d ' ')" = fffe ] || fail "$arch: the backup is not UTF-16"

  tcli "$w/restore.out" "$w/restore.err" restore "$backup"; rc=$?
  [ $rc -eq 0 ] || fail "$arch restore: exit $rc ($(cat "$w/restore.err"))"
  export_key 'HKEY_CURRENT_USER\Software\UniTest' "$w/restored.txt"
  diff <(LC_ALL=C sort "$w/before.txt") <(LC_ALL=C sort "$w/restored.txt") > "$w/restore.diff" \
    || fail "$arch: the restore did not give back the key: $(cat "$w/restore.diff")"
  [ ! -e "$file" ] || fail "$arch: the restored backup was not deleted"
  if [ $arch = win64 ]; then drop_prefix "$prefix"; fi
done
reg delete 'HKCU\Software\UniTest' /f

# ---- 2. a full disk during the fix --------------------------------------------------
# About 280 bytes of backup a row: two batches of 256 rows fit below the limit, the
# third does not. Only the program's process has the limit: the registry is written by
# the prefix's server, which runs already.
seed 2000 "$(printf 'x%.0s' $(seq 1 200))"
bulk_names "$w/full-before.names"
[ "$(grep -c . "$w/full-before.names")" -eq 2000 ] || fail "the bulk seed did not take"
limit_kb=200
(
  ulimit -f $limit_kb && trap '' XFSZ &&
    exec timeout -k 5 "$time_limit" env WINEPREFIX="$prefix" wine 'C:\Tallowin\tallowin-cli.exe' \
      fix --codes 2 --yes --format json > /dev/null 2> "$w/full.err" < /dev/null
); rc=$?
# The JSON rows would pass the limit themselves: the registry and the file tell instead.
note "full disk: exit $rc: $(tr -d '\r' < "$w/full.err")"
[ $rc -eq 1 ] || fail "a fix on a full disk: exit $rc"
grep -q "ends on its last complete entry" "$w/full.err" || fail "no word of the full disk: $(cat "$w/full.err")"
file=$(ls "$tl"/Backup/*.reg) || fail "no backup file"
size=$(stat -c %s "$file")
[ "$size" -gt 0 ] && [ "$size" -lt $((limit_kb * 1024)) ] || fail "backup of $size bytes"
[ "$(tail -c 2 "$file" | od -An -tx1 | tr -d ' ')" = 0d0a ] || fail "the backup does not end on a line end"
bulk_names "$w/full-after.names"
LC_ALL=C comm -23 "$w/full-before.names" "$w/full-after.names" > "$w/full-deleted.names"
sed -n 's/^"\(v[0-9]*\)"=.*/\1/p' "$file" | LC_ALL=C sort > "$w/full-backed-up.names"
deleted=$(grep -c . "$w/full-deleted.names")
note "full disk: $deleted of 2000 values deleted, a backup of $size bytes"
[ "$deleted" -gt 0 ] && [ "$deleted" -lt 2000 ] || fail "$deleted values deleted"
cmp -s "$w/full-deleted.names" "$w/full-backed-up.names" \
  || fail "deleted $deleted values, the backup holds $(grep -c . "$w/full-backed-up.names")"
restore_all "C:\\Tallowin\\Backup\\${file##*/}" "$w/full-before.names"
reg delete 'HKCU\Software\TallowinBulk' /f

# ---- 3. Ctrl+C during the deletions -------------------------------------------------
rm -f "$tl"/Backup/*.reg
seed 20000 gone
bulk_names "$w/stop-before.names"
[ "$(grep -c . "$w/stop-before.names")" -eq 20000 ] || fail "the bulk seed did not take"
WINEPREFIX="$prefix" wine 'C:\Tallowin\tallowin-cli.exe' fix --codes 2 --yes --format json \
  > "$w/stop.json" 2> "$w/stop.err" < /dev/null &
pid=$!
# The first backup block is on the disk before the first deletion.
for _ in $(seq 1 1200); do
  compgen -G "$tl/Backup/*.reg" > /dev/null && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.05
done
kill -INT $pid 2>/dev/null
for _ in $(seq 1 200); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done
if kill -0 $pid 2>/dev/null; then
  kill -KILL $pid 2>/dev/null
  fail "the fix did not end within 10 s of Ctrl+C"
fi
wait $pid; rc=$?
note "stopped: exit $rc, $(jq -c 'select(.summary)' "$w/stop.json")"
[ $rc -eq 130 ] || fail "Ctrl+C during the deletions: exit $rc, expected 130"
jq -e 'select(.summary) | .summary == "stopped"' "$w/stop.json" > /dev/null || fail "no stopped summary"
bulk_names "$w/stop-after.names"
LC_ALL=C comm -23 "$w/stop-before.names" "$w/stop-after.names" > "$w/stop-deleted.names"
jq -r 'select(.outcome == "deleted") | .key | sub(".*\\\\"; "")' "$w/stop.json" | LC_ALL=C sort \
  > "$w/stop-reported.names"
deleted=$(grep -c . "$w/stop-deleted.names")
note "stopped after $deleted of 20000 deletions"
[ "$deleted" -lt 20000 ] || fail "the stop did not stop: everything was deleted"
cmp -s "$w/stop-deleted.names" "$w/stop-reported.names" \
  || fail "$deleted values gone, $(grep -c . "$w/stop-reported.names") reported deleted"
# The backup was there before the stop; whatever of it was deleted or not, all comes back.
backup=$(jq -r 'select(.summary) | .backup // empty' "$w/stop.json")
[ -n "$backup" ] || fail "the stopped fix names no backup"
restore_all "$backup" "$w/stop-before.names"
reg delete 'HKCU\Software\TallowinBulk' /f

# ---- 4. changes while the fix waits at its question --------------------------------
rm -f "$tl"/Backup/*.reg
settings 'C:\Tallowin\Backup' 1
reg add 'HKCU\Software\TallowinPause' /v Changed /d 'C:\Gone\changed.exe' /f
reg add 'HKCU\Software\TallowinPause' /v Vanished /d 'C:\Gone\vanished.exe' /f
reg add 'HKCU\Software\TallowinPause' /v Stale /d 'C:\Gone\stale.exe' /f
log=$w/pause.log
fifo=$w/pause.in
rm -f "$fifo" "$log"; mkfifo "$fifo"
WINEPREFIX="$prefix" timeout -k 5 "$time_limit" script -qefc \
  "wine 'C:\\Tallowin\\tallowin-cli.exe' fix --codes 2 --format json > '$w/pause.json'; echo EXIT=\$?" \
  "$log" < "$fifo" > /dev/null 2>&1 &
pid=$!
exec 7> "$fifo"
# Wine's restore point call fails: the fix asks whether to go on without one.
for i in $(seq 1 600); do grep -aq 'y/N' "$log" 2>/dev/null && break; sleep 0.1; done
[ "$i" -lt 600 ] || { exec 7>&-; fail "no question within a minute: $(cat "$log")"; }
reg add 'HKCU\Software\TallowinPause' /v Changed /d 'C:\windows\notepad.exe' /f
reg delete 'HKCU\Software\TallowinPause' /v Vanished /f
# Another program's backups, of every second the run may take for its name.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Foreign]\r\n' \
  | iconv -f UTF-8 -t UTF-16 > "$w/foreign.reg"
now=$(date +%s)
for s in $(seq $((now - 2)) $((now + 120))); do
  cp "$w/foreign.reg" "$tl/Backup/$(date -d "@$s" +%Y_%m_%d_%H%M%S).reg"
done
printf 'y\r' >&7
exec 7>&-
wait $pid
grep -aq 'EXIT=[0-9]' "$log" || fail "the fix did not end: $(cat "$log")"
rc=$(grep -ao 'EXIT=[0-9]\+' "$log" | tail -1 | cut -d= -f2)
note "paused fix: exit $rc, $(jq -c 'select(.summary)' "$w/pause.json")"
[ "$rc" -eq 3 ] || fail "a fix that left a changed value: exit $rc, expected 3"
outcome() { jq -r --arg k "HKEY_CURRENT_USER\\Software\\TallowinPause\\$1" 'select(.key == $k) | .outcome' "$w/pause.json"; }
[ "$(outcome Changed)" = "changed since the scan" ] || fail "Changed: $(outcome Changed)"
[ "$(outcome Vanished)" = "already gone" ] || fail "Vanished: $(outcome Vanished)"
[ "$(outcome Stale)" = deleted ] || fail "Stale: $(outcome Stale)"
export_key 'HKEY_CURRENT_USER\Software\TallowinPause' "$w/pause.txt"
grep -qx '"Changed"="C:\\\\windows\\\\notepad.exe"' "$w/pause.txt" || fail "the changed value was touched: $(cat "$w/pause.txt")"
! grep -q '"Stale"' "$w/pause.txt" || fail "the stale value is still there"
backup=$(jq -r 'select(.summary) | .backup' "$w/pause.json")
name=${backup##*\\}
[[ $name =~ ^[0-9]{4}(_[0-9]{2}){2}_[0-9]{6}_02\.reg$ ]] || fail "the taken name was not given a number: $backup"
[ -f "$tl/Backup/${name%_02.reg}.reg" ] || fail "no taken file beside $name"
for f in "$tl"/Backup/*.reg; do
  [ "$f" = "$tl/Backup/$name" ] || cmp -s "$f" "$w/foreign.reg" || fail "another program's file changed: $f"
done
grep -q '^"Stale"=' "$tl/Backup/$name" && ! grep -q '"Changed"\|"Vanished"' "$tl/Backup/$name" \
  || fail "the backup does not hold exactly the deleted value: $(cat "$tl/Backup/$name")"

drop_prefix "$prefix"
echo PASS
