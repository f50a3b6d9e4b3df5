#!/usr/bin/env bash
# Tallowin.exe's settings outlive every way a run ends: a window closed while minimized
# opens at its restored place at the next start; the window's place is written when
# Windows ends the session, with no close (the process is terminated after it).
source "$(dirname "$0")/gui.bash"
prefix=$(new_gui_prefix gui-settings-survive) || exit 1
w=$prefix/work
tl=$prefix/drive_c/Tallowin
gui_session "$prefix" "$w"

# setting NAME: its value in Settings.dat.
setting() { tr -d '\r' < "$tl/Settings.dat" | sed -n "s/^$1=//p"; }
# rect: the main window's rectangle, "left,top,widthxheight".
rect() { d windows "${MAIN[@]}"; sed -n 's/.* rect=\([^ ]*\) .*/\1/p' "$w/drv.out"; }

# Closed while minimized.
tallowin
d wait "${MAIN[@]}"
d move "${MAIN[@]}" --x 60 --y 50
normal=$(rect)
[[ $normal == 60,50,* ]] || fail "the window did not move: $normal"
d post "${MAIN[@]}" --msg 0x0112 --wparam 0xF020  # WM_SYSCOMMAND, SC_MINIMIZE
for i in $(seq 50); do drv state "${MAIN[@]}"; [[ $(out) == *minimized* ]] && break; sleep 0.1; done
[[ $(out) == *minimized* ]] || fail "the window does not minimize: $(out)"
note "minimized at $(rect), restored at $normal"
main_ends
[ "$(setting State)" = 2 ] || fail "State=$(setting State)"
saved="$(setting Left),$(setting Top),$(setting Width)x$(setting Height)"
[ "$saved" = "$normal" ] || fail "saved $saved for the window at $normal"
tallowin
d wait "${MAIN[@]}"
d state "${MAIN[@]}"
[[ $(out) != *minimized* ]] || fail "it opens minimized: $(out)"
[ "$(rect)" = "$normal" ] || fail "it opens at $(rect), not at $normal"

# The session ends: as Windows does, wineboot sends WM_QUERYENDSESSION and WM_ENDSESSION
# and then terminates the process; there is no close.
d move "${MAIN[@]}" --x 120 --y 90
moved=$(rect)
wine wineboot --end-session > "$w/wineboot.log" 2>&1 < /dev/null || fail "wineboot --end-session: status $?"
d gone "${MAIN[@]}" --hidden --timeout 15000
wait "$GUI_PID"
saved="$(setting Left),$(setting Top),$(setting Width)x$(setting Height)"
[ "$saved" = "$moved" ] || fail "after the session's end Settings.dat holds $saved, the window was at $moved"
