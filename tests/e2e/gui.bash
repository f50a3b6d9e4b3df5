# Shared by the end-to-end tests of the windows: a copy of a base prefix whose windows
# are unmanaged, with Tallowin.exe, tallowin-cli.exe and the help page in C:\Tallowin and
# the test driver in C:\gui-tools; a virtual display of the test's own; the driver's
# commands. Sourced after lib.bash's rules (the runner runs only tests/e2e/*.sh).

source "$(dirname "${BASH_SOURCE[0]}")/lib.bash"
BIN=$E2E_ROOT/build/windows/bin
GUI_EXE=${TALLOWIN_GUI:-$BIN/Tallowin.exe}
GUI_DRIVER=${TALLOWIN_GUI_DRIVER:-$BIN/gui_driver.exe}
MAIN_CLASS='Tallowin Made by Quorvel'
MAIN=(--class "$MAIN_CLASS")
DRIVER='C:\gui-tools\gui_driver.exe'

# new_gui_prefix NAME: a fresh copy of the GUI base prefix with the programs; prints its
# path.
new_gui_prefix() {
  local name=$1 base=$E2E_DIR/base-gui-win64 prefix=$E2E_DIR/$1
  gui_prefix "$base" win64 || fail "cannot create the GUI base prefix"
  rm -rf "$prefix"
  cp -a "$base" "$prefix"
  mkdir -p "$prefix/drive_c/Tallowin" "$prefix/drive_c/gui-tools"
  cp "$GUI_EXE" "$CLI_EXE" "$BIN/Tallowin.html" "$prefix/drive_c/Tallowin/" || fail "programs missing in $BIN"
  cp "$GUI_DRIVER" "$prefix/drive_c/gui-tools/" || fail "no $GUI_DRIVER"
  echo "$prefix"
}

# gui_session PREFIX WORKDIR: a virtual display of this test's own and the prefix's
# server kept running; both end with the test.
gui_session() {
  GUI_PREFIX=$1 GUI_W=$2
  mkdir -p "$GUI_W"
  exec {fd}> "$GUI_W/display"
  Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp > "$GUI_W/xvfb.log" 2>&1 &
  GUI_XVFB=$!
  exec {fd}>&-
  local i
  for i in $(seq 100); do [ -s "$GUI_W/display" ] && break; sleep 0.1; done
  [ -s "$GUI_W/display" ] || fail "Xvfb did not start: $(cat "$GUI_W/xvfb.log")"
  export DISPLAY=:$(head -1 "$GUI_W/display") WINEPREFIX=$GUI_PREFIX
  trap gui_end EXIT
  wineserver -p
  GUI_RUNS=0
}

# At the end: the program, its server and the display go; a prefix that passed goes too
# (each is a full copy), one that failed stays to be looked at. GUI_KEEP=1 leaves
# everything running (to look).
gui_end() {
  local rc=$?
  if [ -n "${GUI_KEEP:-}" ]; then
    echo "kept: DISPLAY=$DISPLAY WINEPREFIX=$GUI_PREFIX Xvfb pid $GUI_XVFB" >&2
    return
  fi
  WINEPREFIX=$GUI_PREFIX wineserver -k 2>/dev/null
  kill "$GUI_XVFB" 2>/dev/null
  wait "$GUI_XVFB" 2>/dev/null
  if [ "$rc" -eq 0 ] && [ -z "${GUI_KEEP_PREFIX:-}" ]; then
    WINEPREFIX=$GUI_PREFIX wineserver -w 2>/dev/null
    rm -rf "$GUI_PREFIX"
  fi
}

# tallowin ARGS...: starts Tallowin.exe in the background (its output to a log).
tallowin() {
  GUI_RUNS=$((GUI_RUNS + 1))
  wine 'C:\Tallowin\Tallowin.exe' "$@" > "$GUI_W/tallowin-$GUI_RUNS.log" 2>&1 < /dev/null &
  GUI_PID=$!
}

# drv ARGS...: one driver command; its output in $GUI_W/drv.out, its complaint in
# $GUI_W/drv.err; returns its exit status. d ARGS...: the same, failing the test on error.
# out: the last output.
drv() { wine "$DRIVER" "$@" > "$GUI_W/drv.out" 2> "$GUI_W/drv.err" < /dev/null; }
d() { drv "$@" || fail "driver $*: $(cat "$GUI_W/drv.err")"; }
out() { cat "$GUI_W/drv.out"; }

# status_is TEXT: waits until the main window's status line reads TEXT.
status_is() { d wait-status "${MAIN[@]}" --equals "$1" --timeout "${2:-10000}"; }

# scan_ends: waits until a scan that finds something has ended (every row checked).
scan_ends() {
  d wait-status "${MAIN[@]}" --matches '^ ([1-9][0-9]*) Error Found,  \1 Error Selected\.$' --timeout 120000
  d gone --title "Scanning Registry"
}

# counts N M: the status line after a scan or a change of check marks.
counts() { printf ' %d Error Found,  %d Error Selected.' "$1" "$2"; }

# list_rows FILE: the main list's rows as "Problem|Data|Registry key" lines, in order.
list_rows() {
  d list "${MAIN[@]}"
  tail -n +2 "$GUI_W/drv.out" | awk -F'\t' '{ print $3 "|" $4 "|" $5 }' > "$1"
}

# list_marks FILE: the main list's check marks, one a row ("x", "-", or "?" unreadable).
list_marks() {
  d list "${MAIN[@]}"
  tail -n +2 "$GUI_W/drv.out" | cut -f2 > "$1"
}

# cli_rows JSON OUT: the scan's rows as list_rows writes them.
cli_rows() { jq -r '[.problem, .data, .key] | join("|")' "$1" > "$2"; }

# row_of FILE TEXT: the index (from 0) of the first row of FILE holding TEXT.
row_of() { grep -nF -- "$2" "$1" | head -1 | cut -d: -f1 | awk '{ print $1 - 1 }'; }

# settings_file LINES...: writes C:\Tallowin\Settings.dat (CR LF line ends).
settings_file() { printf '%s\r\n' "$@" > "$GUI_PREFIX/drive_c/Tallowin/Settings.dat"; }

# main_ends: presses Exit and waits until the program has ended (its settings saved).
main_ends() {
  d click "${MAIN[@]}" --text '&Exit'
  d gone "${MAIN[@]}" --hidden --timeout 15000
  wait "$GUI_PID" || fail "Tallowin.exe ended with status $?"
}

# live_export OUT: the four hives as the program sees them, as export_hives writes them,
# while the program runs (export_hives waits for the prefix's server to end).
live_export() {
  local out=$1 hive f reg='C:\windows\syswow64\reg.exe'
  : > "$out"
  for hive in HKCR HKCU HKLM HKU; do
    f=$GUI_PREFIX/drive_c/export-$hive.reg
    rm -f "$f"
    wine "$reg" export "$hive" "C:\\export-$hive.reg" /y > /dev/null 2>&1 < /dev/null
    [ -f "$f" ] || fail "reg export $hive wrote nothing"
    iconv -f UTF-16 -t UTF-8 "$f" | tr -d '\r' >> "$out"
    rm -f "$f"
  done
}

# user_sid: the current user's key under HKEY_USERS.
user_sid() {
  local sid
  wine 'C:\windows\syswow64\reg.exe' query HKU > "$GUI_W/hku.txt" 2>&1 < /dev/null
  sid=$(tr -d '\r' < "$GUI_W/hku.txt" | grep -oE '^HKEY_USERS\\S-1-5-21-[0-9-]+$' | head -1)
  [ -n "$sid" ] || fail "no user SID under HKEY_USERS"
  echo "${sid#HKEY_USERS\\}"
}

# with_aliases SID: reg_items lines on standard input, each also under its second name:
# the current user's hive under HKEY_USERS, the machine's classes under HKEY_CLASSES_ROOT.
with_aliases() {
  local sid=${1//\\/\\\\}
  sed -e "p; s/^HKEY_CURRENT_USER\\\\/HKEY_USERS\\\\$sid\\\\/; t; s/^HKEY_USERS\\\\$sid\\\\/HKEY_CURRENT_USER\\\\/; t" \
      -e 's/^HKEY_CLASSES_ROOT\\/HKEY_LOCAL_MACHINE\\Software\\Classes\\/; t; s/^HKEY_LOCAL_MACHINE\\Software\\Classes\\/HKEY_CLASSES_ROOT\\/; t; d' \
    | LC_ALL=C sort -u
}
