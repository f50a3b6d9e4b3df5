#!/usr/bin/env bash
# The "Repair automatically" group of Options, driven from another process: it opens on
# Off; Weekly (Sunday, 03:00) and OK register the task "Tallowin scheduled repair" with
# Windows' Task Scheduler, whose service keeps it as a file in system32\Tasks; Options
# opens again on that task as the Task Scheduler reports it; Off and OK remove it.
source "$(dirname "$0")/gui.bash"
prefix=$(new_gui_prefix gui-options-schedule) || exit 1
w=$prefix/work
task="$prefix/drive_c/windows/system32/tasks/Tallowin scheduled repair"
mkdir -p "$prefix/drive_c/Tallowin/Backup"
gui_session "$prefix" "$w"
settings_file '[Settings]' 'OutputDirectory=C:\Tallowin\Backup'
tallowin
d wait "${MAIN[@]}"

OPTIONS=(--process-of "$MAIN_CLASS" --title Options)
KIND=(--ctl ComboBox --nth 0)
d click "${MAIN[@]}" --text "&Options"
d wait "${OPTIONS[@]}"
d text "${OPTIONS[@]}" "${KIND[@]}"
[ "$(out)" = Off ] || fail "the schedule at first use: '$(out)'"
d enabled "${OPTIONS[@]}" --ctl ComboBox --nth 1 --expect disabled
d select "${OPTIONS[@]}" "${KIND[@]}" --item 2
d enabled "${OPTIONS[@]}" --ctl ComboBox --nth 1 --expect enabled --timeout 3000
d text "${OPTIONS[@]}" --ctl ComboBox --nth 1
[ "$(out)" = Sunday ] || fail "the day offered: '$(out)'"
[ ! -e "$task" ] || fail "a task was registered before OK"
d click "${OPTIONS[@]}" --text "&OK"
d gone "${OPTIONS[@]}"
[ -f "$task" ] || fail "OK registered no task"
grep -q "<Author>Tallowin</Author>" "$task" || fail "the task file: $(cat "$task")"

# Opened again: the task as the Task Scheduler reports it (Wine's cannot report its
# trigger, and the dialog then says so instead of guessing).
d click "${MAIN[@]}" --text "&Options"
d wait "${OPTIONS[@]}"
d text "${OPTIONS[@]}" "${KIND[@]}"
shown=$(out)
if [ "$shown" = "" ]; then
  d wait-text "${OPTIONS[@]}" --any --contains "its schedule is unknown" --timeout 3000
else
  [ "$shown" = Weekly ] || fail "the registered schedule shows as '$shown'"
fi
d select "${OPTIONS[@]}" "${KIND[@]}" --item 0
d click "${OPTIONS[@]}" --text "&OK"
d gone "${OPTIONS[@]}"
[ ! -e "$task" ] || fail "Off and OK left the task"
main_ends
echo "ok: the schedule registered and removed from Options (shown again as '${shown:-unknown}')"
