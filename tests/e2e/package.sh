#!/usr/bin/env bash
# scripts/package: the zip holds exactly the two programs, the help page and the licence;
# the programs need no DLL beyond Windows' own, and the unpacked command-line program runs.
source "$(dirname "$0")/lib.bash"
source "$E2E_ROOT/scripts/lib/pe.sh"
cd "$E2E_ROOT"

out=$(scripts/package) || fail "scripts/package failed"
zip=build/dist/Tallowin-2.8-win32.zip
[ "$out" = "$zip" ] || fail "scripts/package printed '$out'"
[ -f "$zip" ] || fail "no $zip"

names=$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')
[ "$names" = "LICENSE Tallowin.exe Tallowin.html tallowin-cli.exe " ] || fail "zip holds: $names"

unpacked=$E2E_DIR/package-unpacked
rm -rf "$unpacked"
mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked" || fail "unzip failed"

# The check itself must see a foreign DLL: a program linked against the shared C++ runtime.
probe=$E2E_DIR/package-probe
mkdir -p "$probe"
echo 'int main() { throw 1; }' > "$probe/p.cpp"
i686-w64-mingw32-g++-posix -o "$probe/p.exe" "$probe/p.cpp" || fail "cannot build the probe"
foreign=$(pe_foreign_imports "$probe/p.exe")
case $foreign in *libstdc++*) ;; *) fail "the import check missed libstdc++ ('$foreign')" ;; esac
pe_foreign_imports "$unpacked/LICENSE" >/dev/null && fail "the import check accepted a text file"

for exe in Tallowin.exe tallowin-cli.exe; do
  imports=$(pe_imports "$unpacked/$exe" | tr '\n' ' ')
  note "$exe imports: $imports"
  case " $imports " in *" kernel32.dll "*) ;; *) fail "$exe: no import table read" ;; esac
  foreign=$(pe_foreign_imports "$unpacked/$exe") || fail "$exe: $foreign"
  [ -z "$foreign" ] || fail "$exe needs $foreign"
done
# Stripping keeps the resources: the manifest, icons and pictures live there.
sections=$(i686-w64-mingw32-objdump -h "$unpacked/Tallowin.exe")
grep -q '\.rsrc' <<<"$sections" || fail "Tallowin.exe lost its resources"
headers=$(i686-w64-mingw32-objdump -p "$unpacked/Tallowin.exe")
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || fail "Tallowin.exe is not a GUI program"

# A build that names no web address names none of a domain this project does not hold.
for f in "$unpacked"/*; do
  grep -aqi 'tallowin\.com' "$f" && fail "$(basename "$f") names a tallowin.com address"
done
cmp -s "$unpacked/Tallowin.html" help/Tallowin.html || fail "help page differs from help/Tallowin.html"
grep -q $'^MIT License\r$' "$unpacked/LICENSE" || fail "LICENSE without CR LF line ends or MIT text"
[ "$(tr -d '\r' < "$unpacked/LICENSE")" = "$(cat LICENSE)" ] || fail "LICENSE text differs"

prefix=$(new_prefix package) || exit 1
cp "$unpacked/tallowin-cli.exe" "$prefix/drive_c/Tallowin/tallowin-cli.exe"
cli "$prefix" "$prefix/out.txt" "$prefix/err.txt" --version; rc=$?
[ $rc -eq 0 ] || fail "unpacked tallowin-cli --version exit $rc: $(cat "$prefix/err.txt")"
[ "$(strip_cr "$prefix/out.txt")" = "Tallowin 2.8" ] || fail "--version printed '$(cat "$prefix/out.txt")'"
drop_prefix "$prefix"
rm -rf "$unpacked" "$probe"
echo PASS
