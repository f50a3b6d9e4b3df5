#!/usr/bin/env bash
# Tallowin.exe driven from another process: the close box of the "Restore registry..."
# window during the import of a large backup ends the registry editor as Stop does; the
# backup file stays, listed and on disk, and the registry holds only what was imported
# before the close (the count of its values no longer grows).
source "$(dirname "$0")/gui.bash"
prefix=$(new_gui_prefix gui-restore-close) || exit 1
w=$prefix/work
tl=$prefix/drive_c/Tallowin
gui_session "$prefix" "$w"
mkdir -p "$tl/Backup"
settings_file '[Settings]' 'OutputDirectory=C:\Tallowin\Backup' 'CreateRP=0'
n=150000
backup=2013_03_07_120000.reg
{
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tallowin Close]\r\n'
  seq 1 $n | awk '{ printf "\"Value%d\"=\"C:\\\\Gone\\\\file%d.dat\"\r\n", $1, $1 }'
} > "$tl/Backup/$backup"

# values: how many values the key holds now.
values() {
  rm -f "$prefix/drive_c/close.reg"
  wine 'C:\windows\syswow64\reg.exe' export 'HKCU\Software\Tallowin Close' 'C:\close.reg' /y \
    > /dev/null 2>&1 < /dev/null
  if [ -f "$prefix/drive_c/close.reg" ]; then
    iconv -f UTF-16 -t UTF-8 "$prefix/drive_c/close.reg" | grep -c '^"Value'
  else
    echo 0
  fi
}

tallowin
d wait "${MAIN[@]}"
d click "${MAIN[@]}" --text "&Restore"
RESTORE=(--process-of "$MAIN_CLASS" --has "&Browse")
HINT=(--process-of "$MAIN_CLASS" --title Tallowin --has "Restore registry...")
d wait-list "${RESTORE[@]}" --count 1
d row "${RESTORE[@]}" --row 0
d click "${RESTORE[@]}" --text "&Restore"
d wait "${HINT[@]}" --poll 5
sleep 1
d windows "${HINT[@]}"
d post --hwnd "$(awk '{ print $1; exit }' "$w/drv.out")" --msg 0x0112 --wparam 0xF060  # SC_CLOSE
d gone "${HINT[@]}" --timeout 10000
d wait-list "${RESTORE[@]}" --count 1
[ -f "$tl/Backup/$backup" ] || fail "the backup file went though the import was closed"
first=$(values)
sleep 3
second=$(values)
note "values imported before the close: $first, 3 s later: $second of $n"
[ "$first" -lt "$n" ] || fail "the whole file was imported: the close came too late or did not stop it"
[ "$first" = "$second" ] || fail "the import went on after the close: $first, then $second values"
echo "ok: the close stopped the import at $first of $n values; the backup is kept"
