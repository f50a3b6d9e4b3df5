#!/usr/bin/env bash
# Ctrl+C (SIGINT, which Wine turns into CTRL_C_EVENT) during a long scan: the program ends
# within a second with exit status 130, says so on standard error, and prints the rows
# found before the stop, each row whole. The same while it prints them.
source "$(dirname "$0")/lib.bash"
prefix=$(new_prefix cli-stop) || exit 1
w=$prefix/work; mkdir -p "$w"
perl "$E2E_ROOT/scripts/lib/gen-registry.pl" --values 40000 --hives HKCU \
  --reg "$prefix/drive_c/stop.reg" --files "$w/files.list" 2> "$w/gen.log" || fail "generator"
(cd "$prefix/drive_c" && while IFS= read -r f; do mkdir -p "$(dirname "$f")"; : > "$f"; done < "$w/files.list")
regedit32 "$prefix" 'C:\stop.reg'
keep_server "$prefix"

start=$(date +%s.%N)
cli_fast "$prefix" "$w/full.json" "$w/full.err" scan --codes 2 --format json --no-filter
rc=$?; [ $rc -eq 0 ] || fail "complete scan: exit $rc"
one=$(calc "$(date +%s.%N) - $start")
full=$(grep -c . "$w/full.json")
note "one pass: $full rows in $one s"
[ "$full" -ge 1000 ] || fail "only $full findings in the generated hive"

passes=8
codes=$(printf '2,%.0s' $(seq 2 $passes))2
WINEPREFIX="$prefix" wine 'C:\Tallowin\tallowin-cli.exe' scan --codes "$codes" --format json \
  --no-filter > "$w/stopped.json" 2> "$w/stopped.err" < /dev/null &
pid=$!
# Halfway through the second pass.
sleep "$(calc "$one * 1.5")"
kill -0 $pid 2>/dev/null || fail "the scan ended before the stop"
signalled=$(date +%s.%N)
kill -INT $pid
wait $pid; rc=$?
took=$(calc "$(date +%s.%N) - $signalled")
rows=$(grep -c . "$w/stopped.json")
note "stopped after $took s with exit $rc and $rows rows: $(tr -d '\r' < "$w/stopped.err")"
[ $rc -eq 130 ] || fail "exit $rc after Ctrl+C, expected 130"
[ "$(calc "$took < 1")" = 1 ] || fail "the stop took $took s"
grep -q "scan stopped" "$w/stopped.err" || fail "no stop message"
[ "$rows" -gt 0 ] && [ "$rows" -lt $((passes * full)) ] || fail "$rows rows after the stop"
jq -e -c 'keys_unsorted == ["problem","data","key","kind"]' "$w/stopped.json" > "$w/keys.txt" \
  || fail "partial or malformed rows after the stop"
# The rows are the first ones of the complete run, in order.
for _ in $(seq 1 $passes); do cat "$w/full.json"; done | head -n "$rows" > "$w/expected.json"
cmp -s "$w/expected.json" "$w/stopped.json" || fail "the rows before the stop are not those of the complete scan"

# Ctrl+C while the rows are printed (with their reasons: minutes on a long list).
WINEPREFIX="$prefix" wine 'C:\Tallowin\tallowin-cli.exe' scan --codes 2,2 --no-filter --why \
  > "$w/why.txt" 2> "$w/why.err" < /dev/null &
pid=$!
for _ in $(seq 1200); do [ -s "$w/why.txt" ] || ! kill -0 $pid 2>/dev/null && break; sleep 0.05; done
kill -INT $pid
wait $pid; rc=$?
printed=$(grep -c '^    why: ' "$w/why.txt")
[ $rc -eq 130 ] && [ "$printed" -lt $((2 * full)) ] || fail "Ctrl+C while printing: exit $rc, $printed rows"
grep -q "stopped" "$w/why.err" || fail "no stop message: $(cat "$w/why.err")"
# Ctrl+C while the registry editor imports a backup: the editor is ended, the file stays.
mkdir -p "$prefix/drive_c/Tallowin/Backup"
{
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tallowin Stop]\r\n'
  seq 1 150000 | awk '{ printf "\"Value%d\"=\"C:\\\\Gone\\\\file%d.dat\"\r\n", $1, $1 }'
} > "$prefix/drive_c/Tallowin/Backup/stop.reg"
WINEPREFIX="$prefix" wine 'C:\Tallowin\tallowin-cli.exe' restore stop.reg \
  > "$w/restore.out" 2> "$w/restore.err" < /dev/null &
pid=$!
# The hint shows when the editor starts; its import takes many seconds.
for _ in $(seq 1200); do grep -q "Restore registry" "$w/restore.err" || ! kill -0 $pid 2>/dev/null && break; sleep 0.05; done
sleep 0.5
kill -INT $pid
wait $pid; rc=$?
[ $rc -eq 130 ] && grep -q "stopped" "$w/restore.err" || fail "Ctrl+C during the restore: exit $rc, $(cat "$w/restore.err")"
[ -f "$prefix/drive_c/Tallowin/Backup/stop.reg" ] || fail "the stopped restore deleted its backup"
for editor in $(pgrep -f -i 'regedit' 2>/dev/null); do
  tr '\0' '\n' 2>/dev/null < "/proc/$editor/environ" | grep -qxF "WINEPREFIX=$prefix" \
    && fail "the registry editor still runs: $(tr '\0' ' ' < "/proc/$editor/cmdline")"
done
drop_prefix "$prefix"
echo PASS
