#!/usr/bin/env bash
# restore refuses what is no backup, or a backup damaged or cut short, with its reason
# and before anything is imported: 1 GB of line ends (with and without a header line),
# 1 GB of one endless line (also as the line of a value), random bytes, a backup cut
# inside a hex value, inside a key line or before its last line end, and a backup of this
# program (its mark line) cut at a line end before its second key. Each exits 1, keeps
# the file as it was, changes no registry value and stays below 400 MB of peak memory:
# a line is held up to the 128 MiB line limit, and the program and Wine take about 16 MB
# more (about 150 MB seen), where reading a 1 GB file whole could not work at all.
# Then a bare name is a file of the backup folder, deleted once restored, and a .reg
# file from elsewhere is imported and kept.
source "$(dirname "$0")/lib.bash"
prefix=$(new_prefix cli-restore-hostile) || exit 1
w=$prefix/work; mkdir -p "$w"
drive=$prefix/drive_c
mkdir -p "$drive/Tallowin/Backup" "$drive/Other"
keep_server "$prefix"
max_peak_kb=$((400 * 1024))

reg_fast() { WINEPREFIX="$prefix" wine 'C:\windows\syswow64\reg.exe' "$@" < /dev/null; }
# HKCU and HKLM as the program sees them, in one UTF-8 file.
export_keys() {
  local out=$1 hive
  : > "$out"
  for hive in HKCU HKLM; do
    rm -f "$drive/export.reg"
    reg_fast export "$hive" 'C:\export.reg' /y > /dev/null 2>&1
    [ -f "$drive/export.reg" ] || fail "reg export $hive wrote nothing"
    iconv -f UTF-16 -t UTF-8 "$drive/export.reg" | tr -d '\r' >> "$out"
  done
  rm -f "$drive/export.reg"
}

# The live value a backup cut inside its hex data would have altered.
reg_fast add 'HKCU\Software\Tallowin Cut' /v v /t REG_BINARY /d 0102FF /f > /dev/null 2>&1
export_keys "$w/before.reg"
grep -q '"v"=hex:01,02,ff' "$w/before.reg" || fail "the live value was not set up"

big=$drive/Tallowin/Backup/2001_01_01_000000.reg
# restore_refused LABEL FILE PATTERN: restore FILE by its Windows path, refused with PATTERN.
restore_refused() {
  local label=$1 file=$2 pattern=$3 rc size peak
  size=$(stat -c %s "$file")
  cli_fast "$prefix" "$w/out" "$w/err" restore "C:\\${file#"$drive"/}" --stats; rc=$?
  tr -d '\r' < "$w/err" > "$w/err.txt"
  note "$label: exit $rc: $(grep tallowin-cli "$w/err.txt" | cut -c1-200)"
  [ $rc -eq 1 ] || fail "$label: exit $rc"
  grep -q -- "$pattern" "$w/err.txt" || fail "$label: does not say '$pattern': $(cat "$w/err.txt")"
  grep -q "kept" "$w/err.txt" || fail "$label: does not say the file is kept"
  [ -f "$file" ] && [ "$(stat -c %s "$file")" = "$size" ] || fail "$label: the file was not kept as it was"
  grep -q "Restore registry" "$w/err.txt" && fail "$label: the registry editor was started"
  peak=$(sed -n 's/^peak working set: \([0-9]*\) KB.*/\1/p' "$w/err.txt")
  [ -n "$peak" ] || fail "$label: no peak working set in --stats"
  note "$label: peak working set $((peak / 1024)) MB"
  [ "$peak" -le $max_peak_kb ] || fail "$label: peak working set $peak KB above $max_peak_kb KB"
}

start=$(date +%s)
head -c 1G /dev/zero | tr '\0' '\n' > "$big"
restore_refused "1 GB of line ends" "$big" "line 1: not a registry file"
printf 'REGEDIT4\r' | dd of="$big" conv=notrunc status=none  # the same file with a header line
restore_refused "a header and 1 GB of line ends" "$big" "holds no registry key"
rm -f "$big"

truncate -s 1G "$big"
restore_refused "1 GB of one line" "$big" "line 1: not a registry file"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tallowin Cut]\r\n"v"="' > "$big"
truncate -s +1G "$big"
restore_refused "a value line of 1 GB" "$big" "line 4: longer than 134217728 bytes"
rm -f "$big"

head -c 64M /dev/urandom > "$big"
restore_refused "random bytes" "$big" "line 1:"
rm -f "$big"
note "the large files took $(( $(date +%s) - start )) s"

cut=$drive/Tallowin/Backup/2002_01_01_000000.reg
block='REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tallowin Cut]\r\n"w"="new"\r\n'
printf "$block"'"v"=hex:01,02,F' > "$cut"
restore_refused "cut inside a hex value" "$cut" "line 5: a byte of one hex digit"
printf "$block"'"v"=hex:01,02,F\r\n' > "$cut"
restore_refused "a byte of one hex digit" "$cut" "line 5: a byte of one hex digit"
printf "$block"'\r\n[HKEY_CURRENT_USER\\Software\\Tallo' > "$cut"
restore_refused "cut inside a key line" "$cut" "line 6:"
printf "$block"'"v"=hex:01,02' > "$cut"
restore_refused "cut before the last line end" "$cut" "cut short"
# Two keys, cut before the second key's block: whole lines, but no closing line.
printf 'REGEDIT4\r\n; Tallowin registry backup\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tallowin Cut]\r\n"w"="new"\r\n' > "$cut"
restore_refused "cut before a key's block" "$cut" 'cut short: its last line is not "; End of backup"'
printf 'R\0E\0G\0E\0D\0I\0T\0\x34\0\r\0\n\0' > "$cut"
restore_refused "UTF-16 without its byte order mark" "$cut" "line 1: not a registry file"
rm -f "$cut"

export_keys "$w/after.reg"
diff -u "$w/before.reg" "$w/after.reg" > "$w/refused.diff" \
  || { head -20 "$w/refused.diff" >&2; fail "a refused restore changed the registry"; }

# A bare name is a backup of the backup folder: restored, then deleted.
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tallowin Named]\r\n"v"="named"\r\n' \
  > "$drive/Tallowin/Backup/2003_01_01_000000.reg"
cli_fast "$prefix" "$w/named.out" "$w/named.err" restore 2003_01_01_000000.reg; rc=$?
[ $rc -eq 0 ] || fail "restore by a bare name: exit $rc ($(cat "$w/named.err"))"
grep -qx 'Restored C:\\Tallowin\\Backup\\2003_01_01_000000.reg' <(strip_cr "$w/named.out") \
  || fail "restore by a bare name: $(cat "$w/named.out")"
[ ! -e "$drive/Tallowin/Backup/2003_01_01_000000.reg" ] || fail "the restored backup was not deleted"
reg_fast query 'HKCU\Software\Tallowin Named' /v v > "$w/named.txt" 2>&1
grep -q named "$w/named.txt" || fail "the named backup was not imported: $(cat "$w/named.txt")"

cli_fast "$prefix" "$w/missing.out" "$w/missing.err" restore 2004_01_01_000000.reg; rc=$?
[ $rc -eq 1 ] || fail "restore of a missing bare name: exit $rc"
grep -qF 'C:\Tallowin\Backup\2004_01_01_000000.reg' "$w/missing.err" \
  || fail "a missing bare name is not looked up in the backup folder: $(cat "$w/missing.err")"

# The user's own file elsewhere: imported, checked and kept.
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tallowin Mine]\r\n"v"="mine"\r\n' > "$drive/Other/mine.reg"
cli_fast "$prefix" "$w/mine.out" "$w/mine.err" restore 'C:\Other\mine.reg'; rc=$?
[ $rc -eq 0 ] || fail "restore of a file elsewhere: exit $rc ($(cat "$w/mine.err"))"
grep -q 'Restored C:\\Other\\mine.reg' "$w/mine.out" || fail "restore of a file elsewhere: $(cat "$w/mine.out")"
grep -q 'kept' "$w/mine.out" || fail "the output does not say the file is kept: $(cat "$w/mine.out")"
[ -f "$drive/Other/mine.reg" ] || fail "a .reg file from elsewhere was deleted"
reg_fast query 'HKCU\Software\Tallowin Mine' /v v > "$w/mine.txt" 2>&1
grep -q mine "$w/mine.txt" || fail "the file from elsewhere was not imported: $(cat "$w/mine.txt")"

drop_prefix "$prefix"
echo PASS
