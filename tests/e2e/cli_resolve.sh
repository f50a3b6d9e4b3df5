#!/usr/bin/env bash
# resolve TEXT [--suffix S] [--dirs] gives the file-reference verdicts on real files, in
# a 64-bit prefix (WOW64 with --wow64 skip: system32 and Program Files are not judged)
# and a 32-bit one, with the drive letters of the "Ignore Remove Drives" setting in
# Settings.dat; with --wow64 check the 64-bit prefix judges them on both sides. With --why
# it adds the steps of the test and what they mean.
source "$(dirname "$0")/lib.bash"

# win64 verdict | win32 verdict | options | text
cases=(
  'ok|ok||C:\RC\My Apps\App\app.exe -run'
  'ok|ok||"C:\RC\Tools\tool.exe" /x'
  'broken|broken||"C:\RC\Tools\gone.exe" /x'
  'ok|ok||C:\windows\notepad'
  'ok|ok||C:\RC\Data\list.txt;'
  'broken|broken||C:\RC\Data\gone.txt'
  'broken|broken||%SystemRoot%\system\gone.dll'
  'ok|ok||%TALLOWIN_MISSING%\x.tmp'
  'broken|broken||%TALLOWIN_HERE%\gone.tmp'
  'ok|ok||%USERNAME%_x'
  'ok|ok||rundll32.exe x.dll,Entry'
  'ok|ok||notepad.exe'
  'ok|ok||C:\x.exe D:\y.txt'
  'broken|broken||C:\RC\Missing\'
  'ok|ok||C:\windows\'
  'ok|ok|--suffix .dll|C:\RC\Lib\Foo.DLL,1'
  'broken|broken|--suffix .dll|C:\RC\Lib\Bar.DLL,1'
  'ok|ok|--suffix .dll|C:\RC\Lib\Foo.ocx'
  'ok|ok|--dirs|C:\RC\Tools'
  'broken|broken||C:\RC\Tools'
  'broken|broken||C:\RC\Console\gone.exe'
  'broken|broken||C:\RC\nul\x.exe'
  'broken|broken||C:\RC\aux.txt\y.dll'
  'broken|broken||C:\RC\Com1 Tools\a.exe -x'
  'ok|ok||C:\RC\NUL'
  'ok|ok||C:\RC\gone?.exe'
  'ok|ok||C:\RC\HP\gone.exe'
  'ok|broken||C:\Program Files\Gone\gone.exe'
  'ok|broken||C:\windows\system32\gone.dll'
  'ok|broken||%ProgramFiles%\Gone\gone.exe'
  'ok|ok||A:\Setup.exe'
)

# win64 verdict with --wow64 check | text (the 32-bit prefix gives its verdict above)
check_cases=(
  'broken|C:\Program Files\Gone\gone.exe'
  'broken|C:\windows\system32\gone.dll'
  'broken|%ProgramFiles%\Gone\gone.exe'
  'ok|C:\windows\system32\notepad.exe'
  'ok|"%ProgramFiles%\TallowinRC\app.exe" /x'
  'ok|C:\windows\syswow64\notepad.exe'
)

export TALLOWIN_MISSING='C:\NoSuchFolder' TALLOWIN_HERE='C:\RC'
failures=0
for arch in win64 win32; do
  prefix=$(new_prefix "cli-resolve-$arch" "$arch") || exit 1
  c=$prefix/drive_c
  mkdir -p "$c/RC/My Apps/App" "$c/RC/Tools" "$c/RC/Data" "$c/RC/Lib"
  touch "$c/RC/My Apps/App/app.exe" "$c/RC/Tools/tool.exe" "$c/RC/Data/list.txt" "$c/RC/Lib/Foo.dll"
  # Only in the 64-bit program folder: %ProgramFiles% of a 32-bit program is the other.
  mkdir -p "$c/Program Files/TallowinRC" && touch "$c/Program Files/TallowinRC/app.exe"
  [ -f "$c/windows/notepad.exe" ] || fail "$arch prefix has no notepad.exe"
  keep_server "$prefix"
  for case in "${cases[@]}"; do
    IFS='|' read -r v64 v32 opts text <<< "$case"
    want=$v64; [ "$arch" = win32 ] && want=$v32
    # shellcheck disable=SC2086
    cli_fast "$prefix" "$prefix/out.txt" "$prefix/err.txt" resolve "$text" --wow64 skip $opts; rc=$?
    got=$(strip_cr "$prefix/out.txt")
    if [ $rc -ne 0 ] || [ "$got" != "$want" ]; then
      echo "FAIL ($arch): resolve '$text' $opts: '$got' (exit $rc), expected '$want'" >&2
      failures=$((failures + 1))
    fi
  done
  for case in "${check_cases[@]}"; do
    IFS='|' read -r want text <<< "$case"
    if [ "$arch" = win32 ]; then
      cli_fast "$prefix" "$prefix/out.txt" "$prefix/err.txt" resolve "$text" --wow64 skip
      want=$(strip_cr "$prefix/out.txt")
    fi
    cli_fast "$prefix" "$prefix/out.txt" "$prefix/err.txt" resolve "$text" --wow64 check; rc=$?
    got=$(strip_cr "$prefix/out.txt")
    if [ $rc -ne 0 ] || [ "$got" != "$want" ]; then
      echo "FAIL ($arch): resolve '$text' --wow64 check: '$got' (exit $rc), expected '$want'" >&2
      failures=$((failures + 1))
    fi
  done
  # --why: the verdict, then every question of the test with its answer, then what it means.
  why_cases=(
    'broken|C:\RC\Gone\app.exe|  folder C:\RC\Gone\: not found|  so: C:\RC\Gone\app.exe: the folder C:\RC\Gone does not exist.'
    'ok|"C:\RC\Tools\tool.exe" /x|  file C:\RC\Tools\tool.exe: found|  so: Not broken: C:\RC\Tools\tool.exe exists.'
  )
  for case in "${why_cases[@]}"; do
    IFS='|' read -r want text step meaning <<< "$case"
    cli_fast "$prefix" "$prefix/out.txt" "$prefix/err.txt" resolve "$text" --why; rc=$?
    strip_cr "$prefix/out.txt" > "$prefix/why.txt"
    if [ $rc -ne 0 ] || [ "$(head -1 "$prefix/why.txt")" != "$want" ] ||
       ! grep -qxF -- "$step" "$prefix/why.txt" || [ "$(tail -1 "$prefix/why.txt")" != "$meaning" ]; then
      echo "FAIL ($arch): resolve '$text' --why printed:" >&2; cat "$prefix/why.txt" >&2
      failures=$((failures + 1))
    fi
  done
  # With removable drives counted, a floppy drive without a disk is broken.
  printf '[Settings]\r\nIgnore Remove Drives=0\r\n' > "$c/Tallowin/Settings.dat"
  cli_fast "$prefix" "$prefix/out.txt" "$prefix/err.txt" resolve 'A:\Setup.exe'
  got=$(strip_cr "$prefix/out.txt")
  [ "$got" = broken ] || { echo "FAIL ($arch): A:\\Setup.exe with removable drives: '$got'" >&2; failures=$((failures + 1)); }
  drop_prefix "$prefix"
done
[ $failures -eq 0 ] || fail "$failures verdicts differ"
echo PASS
