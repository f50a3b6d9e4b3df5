#!/usr/bin/env bash
# fix on a seeded prefix removes exactly the findings, writes the backup and "Last Clean";
# each item is removed once and backed up once, under the name the full scan lists it by
# (the current user's keys as HKEY_CURRENT_USER, the Run value as a startup program);
# backups lists the file; restore brings everything back and deletes it; a corrupt or
# foreign .reg file is kept and reported. Without a terminal and without --yes, fix
# refuses and changes nothing. The 32-bit view alone (--wow64 skip), which the exports of
# the 32-bit reg.exe show; cli_wow64.sh fixes and restores in both views.
source "$(dirname "$0")/lib.bash"
prefix=$(new_prefix cli-fix-restore) || exit 1
w=$prefix/work; mkdir -p "$w"
tl=$prefix/drive_c/Tallowin
seed_demo "$prefix"
codes=1-4,15,16
# The current user's hive as HKEY_USERS shows it.
reg32 "$prefix" "$w/hku.txt" query HKU
sid=$(tr -d '\r' < "$w/hku.txt" | grep -oE '^HKEY_USERS\\S-1-5-21-[0-9-]+$' | head -1)
[ -n "$sid" ] || fail "no user SID under HKEY_USERS"

# The full scan names no key of the current user below HKEY_USERS\<SID> (or <SID>_Classes),
# and lists the stale Run value once, as the startup programs' finding.
cli "$prefix" "$w/full.json" "$w/full.err" scan --format json; rc=$?
[ $rc -eq 0 ] || fail "full scan: exit $rc ($(cat "$w/full.err"))"
jq -r --arg u "$sid" 'select(.key | ascii_upcase | startswith($u | ascii_upcase)) | .key' \
  "$w/full.json" > "$w/hku.keys"
[ ! -s "$w/hku.keys" ] || fail "rows named below $sid: $(head -3 "$w/hku.keys")"
jq -r 'select(.data | test("agent.exe")) | .problem + "|" + .key' "$w/full.json" > "$w/agent.rows"
[ "$(cat "$w/agent.rows")" = 'Non-existent Startup Programs|HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run\TallowinDemoAgent' ] \
  || fail "the stale Run value is listed as: $(cat "$w/agent.rows")"

cli "$prefix" "$w/refuse.out" "$w/refuse.err" fix --codes $codes; rc=$?
[ $rc -eq 1 ] || fail "fix without terminal or --yes: exit $rc"
grep -q -- "--yes" "$w/refuse.err" || fail "the refusal does not say what to do: $(cat "$w/refuse.err")"
[ ! -e "$tl/Backup" ] && [ ! -e "$tl/Settings.dat" ] || fail "the refused fix changed files"

# The settings ask for a restore point; --yes also answers the question after a failure.
printf '[Settings]\r\nCreateRP=1\r\n' > "$tl/Settings.dat"
export_hives "$prefix" "$w/before.reg"
cli "$prefix" "$w/findings.json" "$w/findings.err" scan --codes $codes --format json --wow64 skip; rc=$?
[ $rc -eq 0 ] || fail "scan: exit $rc"
found=$(grep -c . "$w/findings.json")
# Each item once: the demo's twenty-one rows name twelve items.
[ "$found" -ge 12 ] || fail "only $found findings in the seeded prefix"

cli "$prefix" "$w/fix.out" "$w/fix.err" fix --codes $codes --yes --wow64 skip --format json; rc=$?
jq -c 'select(.summary)' "$w/fix.out" > "$w/fix.summary"
note "fix: $(cat "$w/fix.summary")"
[ $rc -eq 0 ] || fail "fix --yes: exit $rc ($(cat "$w/fix.err"))"
# Each row deleted: none found gone by an earlier row under another name.
jq -e --argjson n "$found" '.fixed == $n and .already_gone == 0 and .not_removed == 0' \
  "$w/fix.summary" > /dev/null || fail "summary: $(cat "$w/fix.summary")"
[ "$(jq -c 'select(.outcome == "deleted")' "$w/fix.out" | grep -c .)" -eq "$found" ] \
  || fail "rows not deleted: $(jq -c 'select(.outcome and .outcome != "deleted")' "$w/fix.out")"
grep -q "Creating Restore Point" "$w/fix.err" || fail "no restore point was asked for: $(cat "$w/fix.err")"
grep -q "creates a new directory? Yes" "$w/fix.err" || fail "the backup folder question was not answered: $(cat "$w/fix.err")"
[ "$(jq -r .text "$w/fix.summary")" = "Fix errors finished, $found errors were fixed!" ] \
  || fail "summary text: $(cat "$w/fix.summary")"
backup=$(jq -r .backup "$w/fix.summary")
case $backup in 'C:\Tallowin\Backup\'[0-9][0-9][0-9][0-9]_[0-9][0-9]_[0-9][0-9]_[0-9][0-9][0-9][0-9][0-9][0-9].reg) ;;
  *) fail "backup file name '$backup'" ;; esac
name=${backup##*\\}
[ -f "$tl/Backup/$name" ] || fail "no backup file $name"
head -c 8 "$tl/Backup/$name" | grep -q REGEDIT4 || fail "the backup is no REGEDIT4 file"
# Backed up once: one value line per row, no value twice.
strip_cr "$tl/Backup/$name" > "$w/backup.reg"
reg_items "$w/backup.reg" | grep -av '|$' > "$w/backup.items"
[ "$(grep -c . "$w/backup.items")" -eq "$found" ] && [ -z "$(uniq -di "$w/backup.items")" ] \
  || fail "the backup does not hold each of the $found values once: $(cat "$w/backup.items")"
strip_cr "$tl/Settings.dat" > "$w/settings.txt"
grep -qE "^Last Clean=.+ , $found errors were fixed!$" "$w/settings.txt" \
  || fail "Settings.dat has no Last Clean line: $(cat "$w/settings.txt")"
grep -qx "CreateRP=1" "$w/settings.txt" || fail "the save lost CreateRP: $(cat "$w/settings.txt")"

# Exactly the findings are gone: nothing is left to find, nothing was added, and every
# line that went belongs to a finding's key.
cli "$prefix" "$w/again.json" "$w/again.err" scan --codes $codes --format json --no-filter --wow64 skip
[ ! -s "$w/again.json" ] || fail "findings left after the fix: $(head -3 "$w/again.json")"
export_hives "$prefix" "$w/fixed.reg"
reg_items "$w/before.reg" > "$w/before.items"
reg_items "$w/fixed.reg" > "$w/fixed.items"
LC_ALL=C comm -13 "$w/before.items" "$w/fixed.items" > "$w/added.items"
[ ! -s "$w/added.items" ] || fail "the fix added registry items: $(head -5 "$w/added.items")"
LC_ALL=C comm -23 "$w/before.items" "$w/fixed.items" > "$w/removed.items"
finding_items "$w/findings.json" > "$w/finding.raw" || fail "findings of unexpected kinds"
# One item shows under two names: the current user's hive under HKEY_USERS, the machine's
# classes under HKEY_CLASSES_ROOT.
{
  cat "$w/finding.raw"
  sed -n "s/^HKEY_CURRENT_USER\\\\/${sid//\\/\\\\}\\\\/p; s/^${sid//\\/\\\\}\\\\/HKEY_CURRENT_USER\\\\/p" "$w/finding.raw"
  sed -n 's/^HKEY_CLASSES_ROOT\\/HKEY_LOCAL_MACHINE\\Software\\Classes\\/p; s/^HKEY_LOCAL_MACHINE\\Software\\Classes\\/HKEY_CLASSES_ROOT\\/p' "$w/finding.raw"
} | LC_ALL=C sort -u > "$w/finding.items"
diff -u "$w/finding.items" "$w/removed.items" >&2 || fail "the removed items are not the findings"
for item in '"OldEditor"=' '"LastLog"=' '"Cleanup"=' '"OldInstallDir"=' '"DataFile"=' \
            '"TallowinDemoAgent"=' '"C:\\Tallowin Demo\\plugins\\gone.dll"='; do
  grep -qF "$item" "$w/fixed.reg" && fail "$item is still in the registry"
done
for item in '"Editor"=' '"Readme"=' '"Tool"=' '"Home"=' '"C:\\Tallowin Demo\\Tools\\editor.exe"='; do
  grep -qF "$item" "$w/fixed.reg" || fail "$item, no finding, was removed"
done

cli "$prefix" "$w/backups.out" "$w/backups.err" backups; rc=$?
[ $rc -eq 0 ] || fail "backups: exit $rc"
IFS=$'\t' read -r lname ldate lsize < <(strip_cr "$w/backups.out")
[ "$lname" = "$name" ] && [ -n "$ldate" ] && [[ $lsize =~ ^[0-9,]+\ KB$ ]] \
  || fail "backups line: $(cat "$w/backups.out")"

cli "$prefix" "$w/restore.out" "$w/restore.err" restore "$backup"; rc=$?
[ $rc -eq 0 ] || fail "restore: exit $rc ($(cat "$w/restore.err"))"
[ ! -e "$tl/Backup/$name" ] || fail "the restored backup was not deleted"
export_hives "$prefix" "$w/restored.reg"
diff -u "$w/before.reg" "$w/restored.reg" > "$w/restore.diff" || { head -40 "$w/restore.diff" >&2; fail "the registry after the restore differs from before the fix"; }

# Files that are not backups this program can check are kept, and nothing is imported.
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tallowin Corrupt]\r\n"A"=hex(2):zz,\r\n' > "$tl/Backup/2001_01_01_000000.reg"
printf 'REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Tallowin Demo]\r\n' > "$tl/Backup/2002_01_01_000000.reg"
head -c 3000 /dev/urandom > "$tl/Backup/2003_01_01_000000.reg"
for bad in 2001_01_01_000000 2002_01_01_000000 2003_01_01_000000 2004_missing; do
  cli "$prefix" "$w/bad.out" "$w/bad.err" restore "C:\\Tallowin\\Backup\\$bad.reg"; rc=$?
  note "restore $bad: exit $rc: $(tr -d '\r' < "$w/bad.err" | tr '\n' ' ')"
  [ $rc -eq 1 ] || fail "restore of $bad: exit $rc"
  grep -q "kept\|Cannot read\|not imported" "$w/bad.err" || fail "restore of $bad did not say why"
  [ "$bad" = 2004_missing ] || [ -f "$tl/Backup/$bad.reg" ] || fail "$bad.reg was deleted"
done
export_hives "$prefix" "$w/after-bad.reg"
diff -q "$w/before.reg" "$w/after-bad.reg" > /dev/null || fail "a refused restore changed the registry"

drop_prefix "$prefix"
echo PASS
