#!/usr/bin/env bash
# tallowin-cli schedule against Wine's Task Scheduler, whose service keeps each task as a
# file in system32\Tasks: weekly sun --at 03:00 registers "Tallowin scheduled repair",
# schedule shows it, bad input exits 2 and leaves it as it was, --xml prints a definition
# that schtasks /create /xml accepts (and a cut one is refused), off removes the task.
source "$(dirname "$0")/lib.bash"
prefix=$(new_prefix cli-schedule) || exit 1
out=$prefix/out.txt err=$prefix/err.txt
tasks=$prefix/drive_c/windows/system32/tasks
task="$tasks/Tallowin scheduled repair"
keep_server "$prefix"

cli_fast "$prefix" "$out" "$err" schedule; rc=$?
[ $rc -eq 0 ] && [ "$(strip_cr "$out")" = off ] || fail "schedule at first: exit $rc, '$(cat "$out" "$err")'"

# Without Tallowin.exe beside it, nothing is registered that could never run.
cli_fast "$prefix" "$out" "$err" schedule weekly sun --at 03:00; rc=$?
[ $rc -eq 1 ] && [ ! -e "$task" ] && grep -q 'Tallowin.exe' "$err" \
  || fail "weekly without Tallowin.exe: exit $rc, $(cat "$err"), $(ls "$tasks")"
cp "$E2E_ROOT/build/windows/bin/Tallowin.exe" "$prefix/drive_c/Tallowin/" || fail "no Tallowin.exe"
cli_fast "$prefix" "$out" "$err" schedule weekly sun --at 03:00; rc=$?
[ $rc -eq 0 ] || fail "weekly sun --at 03:00: exit $rc, $(cat "$err")"
[ -f "$task" ] || fail "no task file in system32\\Tasks"
grep -q "<Author>Tallowin</Author>" "$task" || fail "the task file: $(cat "$task")"
cp "$task" "$prefix/task.before"
cli_fast "$prefix" "$out" "$err" schedule --format json; rc=$?
[ $rc -eq 0 ] && [ "$(jq -r .registered "$out")" = true ] || fail "schedule --format json: exit $rc, $(cat "$out" "$err")"
note "schedule reads back: $(jq -c '{schedule, day, at, note}' "$out")"
# What the Task Scheduler reports is shown as it is: Wine's cannot report the trigger.
case "$(jq -r .schedule "$out")" in
  weekly) [ "$(jq -r '.day + " " + .at' "$out")" = "Sunday 03:00" ] || fail "read back: $(cat "$out")" ;;
  unknown) [ "$(jq -r .note "$out")" != null ] || fail "an unknown schedule without its reason" ;;
  *) fail "read back: $(cat "$out")" ;;
esac

# arguments | text the error line must contain
cases=(
  "schedule weekly funday --at 03:00|not a day of the week: funday"
  "schedule daily --at 25:00|not a time of day from 00:00 to 23:59: 25:00"
  "schedule daily|needs --at HH:MM"
  "schedule off --at 03:00|takes no --at"
  "schedule monthly --at 03:00|not a schedule: monthly"
)
for c in "${cases[@]}"; do
  args=${c%%|*} want=${c#*|}
  # shellcheck disable=SC2086
  cli_fast "$prefix" "$out" "$err" $args; rc=$?
  [ $rc -eq 2 ] || fail "'$args' exit $rc, expected 2"
  [ ! -s "$out" ] || fail "'$args' printed on standard output"
  grep -qF -- "$want" "$err" || fail "'$args' said: $(head -1 "$err")"
  cmp -s "$task" "$prefix/task.before" || fail "'$args' changed the task"
done

cli_fast "$prefix" "$prefix/drive_c/task.xml" "$err" schedule weekly sun --at 03:00 --xml; rc=$?
[ $rc -eq 0 ] || fail "--xml: exit $rc, $(cat "$err")"
strip_cr "$prefix/drive_c/task.xml" > "$prefix/task.txt"
for part in '<Sunday />' '<WeeksInterval>1</WeeksInterval>' 'T03:00:00</StartBoundary>' \
            '<Command>C:\Tallowin\Tallowin.exe</Command>' '<Arguments>-repaironce</Arguments>'; do
  grep -qF -- "$part" "$prefix/task.txt" || fail "--xml lacks $part: $(cat "$prefix/task.txt")"
done
cmp -s "$task" "$prefix/task.before" || fail "--xml changed the task"
head -c 300 "$prefix/drive_c/task.xml" > "$prefix/drive_c/cut.xml"
WINEPREFIX=$prefix wine schtasks /create /xml 'C:\cut.xml' /tn Cut > "$out" 2>&1 < /dev/null && fail "schtasks accepted a cut definition"
WINEPREFIX=$prefix wine schtasks /create /xml 'C:\task.xml' /tn Deployed > "$out" 2>&1 < /dev/null \
  || fail "schtasks /create /xml refused the definition: $(cat "$out")"
[ -f "$tasks/Deployed" ] || fail "schtasks registered no task"

cli_fast "$prefix" "$out" "$err" schedule off; rc=$?
[ $rc -eq 0 ] && [ "$(strip_cr "$out")" = off ] || fail "schedule off: exit $rc, '$(cat "$out" "$err")'"
[ ! -e "$task" ] || fail "schedule off left the task"
[ -f "$tasks/Deployed" ] || fail "schedule off removed another task"
echo "ok: registered, shown, kept through bad input, printed for schtasks, removed"
