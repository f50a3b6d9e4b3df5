#!/usr/bin/env bash
# A backup of 346 MB restores in the 32-bit program, in a 32-bit prefix: three string
# values of 110 million characters each (every twentieth a backslash, written doubled),
# and a small sub-key. It is named by its bare name, read in chunks, imported by the real
# registry editor, every value checked, then deleted from the backup folder. The peak
# memory stays below 800 MB: one value is held three times at most while it is checked
# (as read from the file, as read back, and the copy Wine's RegQueryValueExW makes,
# 3 x 220 MB of UTF-16), never the file, which read whole needed more than the 2 GB
# the process has.
source "$(dirname "$0")/lib.bash"
prefix=$(new_prefix cli-restore-large win32) || exit 1
w=$prefix/work; mkdir -p "$w"
drive=$prefix/drive_c
mkdir -p "$drive/Tallowin/Backup"
name=2013_03_07_140509.reg
file=$drive/Tallowin/Backup/$name
max_peak_kb=$((800 * 1024))

reg_fast() { WINEPREFIX="$prefix" wine 'C:\windows\system32\reg.exe' "$@" < /dev/null; }

start=$(date +%s)
perl -e '
  binmode STDOUT;
  my $value = (("x" x 19) . "\\\\") x 5_500_000;  # 110,000,000 characters
  print "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tallowin Large]\r\n";
  print "\"$_\"=\"$value\"\r\n" for qw(a b c);
  print "\r\n[HKEY_CURRENT_USER\\Software\\Tallowin Large\\Small]\r\n\"n\"=dword:0000002A\r\n";
' > "$file"
size=$(stat -c %s "$file")
note "made a backup of $size bytes in $(( $(date +%s) - start )) s"
[ "$size" -ge 346000000 ] || fail "the backup has only $size bytes"

keep_server "$prefix"
# The values leave the registry again before the server saves it: that would write
# gigabytes of hex text.
cleanup() {
  reg_fast delete 'HKCU\Software\Tallowin Large' /f > /dev/null 2>&1
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
}
trap cleanup EXIT
start=$(date +%s)
cli_fast "$prefix" "$w/restore.out" "$w/restore.err" restore "$name" --stats; rc=$?
took=$(( $(date +%s) - start ))
reg_fast query 'HKCU\Software\Tallowin Large\Small' /v n > "$w/small.txt" 2>&1
cleanup
trap - EXIT

tr -d '\r' < "$w/restore.err" > "$w/err.txt"
note "restore: exit $rc in $took s: $(tr '\n' ' ' < "$w/err.txt")"
[ $rc -eq 0 ] || fail "restore of a 346 MB backup: exit $rc"
grep -qx "Restored C:\\\\Tallowin\\\\Backup\\\\$name" <(strip_cr "$w/restore.out") \
  || fail "restore output: $(cat "$w/restore.out")"
[ ! -e "$file" ] || fail "the restored backup was not deleted"
grep -qi '0x2a' "$w/small.txt" || fail "the sub-key after the large values was not imported: $(cat "$w/small.txt")"
peak=$(sed -n 's/^peak working set: \([0-9]*\) KB.*/\1/p' "$w/err.txt")
[ -n "$peak" ] || fail "no peak working set in --stats"
[ "$peak" -le $max_peak_kb ] || fail "peak working set $peak KB above $max_peak_kb KB"

drop_prefix "$prefix"
echo PASS
