#!/usr/bin/env bash
# "Tallowin.exe -repaironce" ended by Windows' session end while it repairs: it exits 3,
# the run is on record with that status, and every value it deleted is in its backup, so
# a restore brings back all that is gone.
source "$(dirname "$0")/gui.bash"
prefix=$(new_gui_prefix gui-repaironce-session-end) || exit 1
w=$prefix/work
tl=$prefix/drive_c/Tallowin
gui_session "$prefix" "$w"
mkdir -p "$tl/Backup"

# Enough stale values that the repair is still at work when the session ends.
n=20000
{
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tallowin Session End]\r\n'
  for i in $(seq $n); do printf '"v%d"="C:\\\\Gone Session\\\\f%d.exe"\r\n' "$i" "$i"; done
} > "$w/seed.reg"
wine regedit /s "$(winepath -w "$w/seed.reg")" < /dev/null > /dev/null 2>&1 || fail "cannot seed"
settings_file '[Settings]' 'OutputDirectory=C:\Tallowin\Backup' 'CreateRP=0' '2=1'

tallowin -repaironce
# The repair has begun once its backup file is there.
for i in $(seq 1200); do ls "$tl/Backup" | grep -q '\.reg$' && break; sleep 0.05; done
ls "$tl/Backup" | grep -q '\.reg$' || fail "no backup appeared: the repair did not start"
sleep 0.2
wine wineboot --end-session > "$w/wineboot.log" 2>&1 < /dev/null
wait "$GUI_PID"; rc=$?
[ $rc -eq 3 ] || fail "-repaironce ended by the session's end during the repair: exit $rc"
grep -q '"exit_status":3' "$tl/Backup/Unattended runs.jsonl" ||
  fail "the ended run is not recorded: $(cat "$tl/Backup/Unattended runs.jsonl" 2>&1)"

# What is gone is exactly what the backup holds, and some of it is still there.
wine reg query 'HKCU\Software\Tallowin Session End' < /dev/null 2>/dev/null | tr -d '\r' |
  awk '$1 ~ /^v[0-9]+$/ { print $1 }' | sort > "$w/left"
left=$(grep -c . "$w/left")
backup=$tl/Backup/$(ls "$tl/Backup" | grep '\.reg$' | head -1)
iconv -f WINDOWS-1252 -t UTF-8 "$backup" | tr -d '\r' | sed -n 's/^"\(v[0-9]*\)"=.*/\1/p' | sort -u > "$w/saved"
seq -f 'v%g' $n | sort > "$w/all"
comm -23 "$w/all" "$w/left" > "$w/gone"
note "session end during the repair: $(grep -c . "$w/gone") of $n deleted, $left left"
[ "$left" -gt 0 ] || fail "the repair had ended before the session did: nothing was left to stop"
[ -s "$w/gone" ] || note "the session ended before the first deletion (a slow machine)"
missing=$(comm -23 "$w/gone" "$w/saved" | head -3)
[ -z "$missing" ] || fail "deleted but not in the backup: $missing"
echo "ok: session end during the repair gives exit 3, a record and a backup of all that went"
