#!/usr/bin/env bash
# The windows speak the user's Windows language: German under a German locale, English
# under any other; the Options choice overrides it and holds across a restart. The
# command line stays English under a German locale.
source "$(dirname "$0")/gui.bash"
prefix=$(new_gui_prefix gui-language) || exit 1
w=$prefix/work
tl=$prefix/drive_c/Tallowin
gui_session "$prefix" "$w"
mkdir -p "$tl/Backup"
printf '[Settings]\r\nOutputDirectory=C:\\Tallowin\\Backup\r\n2=1\r\n' > "$tl/Settings.dat"

# A finding for the scans below, with a reason to tell.
wine reg add 'HKCU\Software\Tallowin Language' /v Gone /d 'C:\Gone\gone.exe' /f > /dev/null 2>&1 < /dev/null

# buttons: the captions of the main window's eight buttons, one line.
buttons() { d controls "${MAIN[@]}"; grep -a ' class=Button ' "$w/drv.out" | grep -ao '"[^"]*"$' | tr '\n' ' '; }
english='"Full &Scan" "&Custom Scan" "&Fix Errors" "&Restore" "&Options" "&Help" "&About" "&Exit" '

LC_ALL=de_DE.UTF-8 tallowin
d wait "${MAIN[@]}"
[ "$(buttons)" = '"&Komplettscan" "&Auswahlscan" "&Fehler beheben" "&Wiederherstellen" "&Optionen" "&Hilfe" "&Info" "B&eenden" ' ] \
  || fail "German buttons: $(buttons)"
d click "${MAIN[@]}" --text "&Auswahlscan"
d wait --process-of "$MAIN_CLASS" --title Auswahlscan --has "&Scan starten"
d click --process-of "$MAIN_CLASS" --title Auswahlscan --text "&Scan starten"
# A short scan may end before it is seen; the screenshots show its window.
drv wait --process-of "$MAIN_CLASS" --title "Registrierung wird gescannt" --has Stopp --timeout 5000 \
  || note "the scan ended before its window was seen"
d wait-status "${MAIN[@]}" --matches '^ [0-9]+ Fehler gefunden,  [0-9]+ Fehler ausgewählt\.$' --timeout 60000
# Why a row is listed, in the tooltip and in the status line.
list_rows "$w/list.rows"
r=$(row_of "$w/list.rows" 'HKEY_CURRENT_USER\Software\Tallowin Language\Gone')
[ -n "$r" ] || fail "no row for the Gone value"
why='C:\Gone\gone.exe: Der Ordner C:\Gone ist nicht vorhanden.'
d tip "${MAIN[@]}" --row "$r" --equals "$why"
d row "${MAIN[@]}" --row "$r"
status_is "$why"
d click "${MAIN[@]}" --text "&Wiederherstellen"
d wait --process-of "$MAIN_CLASS" --title Wiederherstellen --has "&Durchsuchen"
d click --process-of "$MAIN_CLASS" --title Wiederherstellen --text "S&chließen"
OPTIONS=(--process-of "$MAIN_CLASS" --title Optionen)
d click "${MAIN[@]}" --text "&Optionen"
d wait "${OPTIONS[@]}" --has "Sp&rache:"
d text "${OPTIONS[@]}" --ctl ComboBox --nth 2
[ "$(out)" = Windows-Einstellung ] || fail "the language at first use: '$(out)'"
d select "${OPTIONS[@]}" --ctl ComboBox --nth 2 --item 1
d click "${OPTIONS[@]}" --text "&OK"
d gone "${OPTIONS[@]}"
tr -d '\r' < "$tl/Settings.dat" | grep -qx 'Language=en' || fail "Settings.dat: $(cat "$tl/Settings.dat")"
d click "${MAIN[@]}" --text 'B&eenden'
d gone "${MAIN[@]}" --hidden --timeout 15000
wait "$GUI_PID" || fail "Tallowin.exe ended with status $?"

# The choice wins over the German locale at the next start.
LC_ALL=de_DE.UTF-8 tallowin
d wait "${MAIN[@]}"
[ "$(buttons)" = "$english" ] || fail "English chosen, under a German locale: $(buttons)"
main_ends

# Without a choice, any other locale gives today's English.
sed -i '/^Language=/d' "$tl/Settings.dat"
LC_ALL=en_US.UTF-8 tallowin
d wait "${MAIN[@]}"
[ "$(buttons)" = "$english" ] || fail "under en_US: $(buttons)"
d click "${MAIN[@]}" --text "&Options"
d wait --process-of "$MAIN_CLASS" --title Options --has "&Language:"
d click --process-of "$MAIN_CLASS" --title Options --text "&Cancel"
main_ends

# The command line is the same under both locales: a finding with its reasons.
for locale in de_DE.UTF-8 en_US.UTF-8; do
  LC_ALL=$locale wine 'C:\Tallowin\tallowin-cli.exe' scan --codes 2 --why > "$w/cli-$locale.out" 2>&1 < /dev/null
  LC_ALL=$locale wine 'C:\Tallowin\tallowin-cli.exe' > "$w/usage-$locale.out" 2>&1 < /dev/null
done
grep -q 'Non-existent File or Folder' "$w/cli-en_US.UTF-8.out" || fail "scan: $(cat "$w/cli-en_US.UTF-8.out")"
cmp -s "$w/cli-de_DE.UTF-8.out" "$w/cli-en_US.UTF-8.out" || fail "the scan's output differs under de_DE"
cmp -s "$w/usage-de_DE.UTF-8.out" "$w/usage-en_US.UTF-8.out" || fail "the usage differs under de_DE"
echo "ok: German under de_DE, English under en_US and by choice; the command line unchanged"
