#!/usr/bin/env bash
# A folder the program may not search (mode 000 on the Unix side; the program runs
# without root's right to pass over file modes, so Wine answers "access denied"): the
# references into it are not reported, neither by resolve nor by a scan, while a missing
# file beside it still is. With the right to look, the missing file in it is reported.
source "$(dirname "$0")/lib.bash"
prefix=$(new_prefix cli-access-denied) || exit 1
c=$prefix/drive_c
mkdir -p "$c/TallowinAD/Locked/Sub" "$c/TallowinAD/Open"
touch "$c/TallowinAD/Locked/in.exe" "$c/TallowinAD/Open/app.exe"
run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
for entry in 'TallowinADIn|C:\TallowinAD\Locked\in.exe' 'TallowinADGone|C:\TallowinAD\Locked\gone.exe' \
             'TallowinADDeep|"C:\TallowinAD\Locked\Sub\gone.exe" /x' \
             'TallowinADOpen|C:\TallowinAD\Open\gone.exe' 'TallowinADHere|C:\TallowinAD\Open\app.exe'; do
  reg32 "$prefix" "$prefix/reg.txt" add "$run" /v "${entry%%|*}" /d "${entry#*|}" /f \
    || fail "reg add ${entry%%|*}: $(cat "$prefix/reg.txt")"
done
trap 'chmod 755 "$c/TallowinAD/Locked" 2>/dev/null; WINEPREFIX="$prefix" wineserver -k 2>/dev/null' EXIT

# without_dac CMD...: CMD, and the wineserver it starts, without CAP_DAC_OVERRIDE and
# CAP_DAC_READ_SEARCH: file modes hold for root too.
without_dac() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --bounding-set=-dac_override,-dac_read_search "$@"
  else
    "$@"  # file modes hold anyway
  fi
  local rc=$?
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  return $rc
}

# scan_rows [WRAPPER...]: the data of the rows of category 16 that name the seeded
# values, sorted.
scan_rows() {
  "$@" env WINEPREFIX="$prefix" wine 'C:\Tallowin\tallowin-cli.exe' scan --codes 16 --format json \
    > "$prefix/scan.json" 2> "$prefix/scan.err" < /dev/null || fail "scan: $(cat "$prefix/scan.err")"
  jq -r 'select(.key + .data | test("TallowinAD")) | .data' "$prefix/scan.json" | LC_ALL=C sort
}

want_all=$(printf '%s\n' '"C:\TallowinAD\Locked\Sub\gone.exe" /x' 'C:\TallowinAD\Locked\gone.exe' \
           'C:\TallowinAD\Open\gone.exe' | LC_ALL=C sort)
got=$(scan_rows)
[ "$got" = "$want_all" ] || fail "scan with the right to look: $got"

chmod 000 "$c/TallowinAD/Locked"
got=$(scan_rows without_dac)
[ "$got" = 'C:\TallowinAD\Open\gone.exe' ] || fail "scan without access to Locked: $got"

# The verdicts one by one: only the name beside the locked folder is broken.
for case in 'ok|C:\TallowinAD\Locked\gone.exe' 'ok|C:\TallowinAD\Locked\Sub\' \
            'ok|C:\TallowinAD\Locked\gone.dll,1' 'broken|C:\TallowinAD\Open\gone.exe'; do
  without_dac env WINEPREFIX="$prefix" wine 'C:\Tallowin\tallowin-cli.exe' resolve "${case#*|}" \
    > "$prefix/out.txt" 2> "$prefix/err.txt" < /dev/null
  got=$(strip_cr "$prefix/out.txt")
  [ "$got" = "${case%%|*}" ] || fail "resolve '${case#*|}' without access: '$got' ($(cat "$prefix/err.txt"))"
done

chmod 755 "$c/TallowinAD/Locked"
drop_prefix "$prefix"
echo PASS
