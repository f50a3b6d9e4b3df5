# Shared by the end-to-end tests: each test gets its own copy of a base Wine prefix and
# its own copy of tallowin-cli.exe in C:\Tallowin (Settings.dat lives beside it).
# Sourced by the tests (the runner runs only tests/e2e/*.sh).

set -uo pipefail
E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$E2E_ROOT/scripts/lib/wine.sh"
source "$E2E_ROOT/scripts/lib/demo.sh"
CLI_EXE=${TALLOWIN_CLI:-$E2E_ROOT/build/windows/bin/tallowin-cli.exe}
E2E_DIR=${TALLOWIN_E2E_DIR:-$E2E_ROOT/build/e2e}

fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "-- $*" >&2; }

# new_prefix NAME [ARCH]: a fresh copy of the base prefix for ARCH (win64 by default) with
# the program in C:\Tallowin; prints its path.
new_prefix() {
  local name=$1 arch=${2:-win64} base prefix
  base=$E2E_DIR/base-$arch
  prefix=$E2E_DIR/$name
  make_prefix "$base" "$arch" || fail "cannot create the $arch base prefix"
  rm -rf "$prefix"
  cp -a "$base" "$prefix"
  mkdir -p "$prefix/drive_c/Tallowin"
  # The Recycle Bin of the prefix's runs (XDG_DATA_HOME/Trash): Wine does not make its parent.
  mkdir -p "$prefix/xdg-data"
  cp "$CLI_EXE" "$prefix/drive_c/Tallowin/" || fail "no $CLI_EXE"
  echo "$prefix"
}

# cli PREFIX OUT ERR ARGS...: runs the program; output to files (never a pipe); returns
# its exit status.
cli() {
  local prefix=$1 out=$2 err=$3; shift 3
  in_prefix "$prefix" wine 'C:\Tallowin\tallowin-cli.exe' "$@" > "$out" 2> "$err" < /dev/null
}

# reg32 PREFIX OUT ARGS...: the 32-bit reg.exe, the view of the program.
reg32() {
  local prefix=$1 out=$2 reg='C:\windows\system32\reg.exe'; shift 2
  if [ -d "$prefix/drive_c/windows/syswow64" ]; then reg='C:\windows\syswow64\reg.exe'; fi
  in_prefix "$prefix" wine "$reg" "$@" > "$out" 2>&1 < /dev/null
}

# export_hives PREFIX OUT: HKCR, HKCU, HKLM and HKU as the program sees them, in one file
# (UTF-16 from reg.exe converted to UTF-8, CR removed).
export_hives() {
  local prefix=$1 out=$2 hive tmp
  : > "$out"
  for hive in HKCR HKCU HKLM HKU; do
    rm -f "$prefix/drive_c/export-$hive.reg"
    reg32 "$prefix" /dev/null export "$hive" "C:\\export-$hive.reg" /y
    tmp="$prefix/drive_c/export-$hive.reg"
    [ -f "$tmp" ] || fail "reg export $hive wrote nothing"
    iconv -f UTF-16 -t UTF-8 "$tmp" | tr -d '\r' >> "$out"
    rm -f "$tmp"
  done
}

# strip_cr FILE: the program writes CR LF line ends.
strip_cr() { tr -d '\r' < "$1"; }

# cli_fast PREFIX OUT ERR ARGS...: as cli, without waiting for the registry flush; for
# commands that change nothing, run one after another.
cli_fast() {
  local prefix=$1 out=$2 err=$3; shift 3
  XDG_DATA_HOME="$prefix/xdg-data" WINEPREFIX="$prefix" wine 'C:\Tallowin\tallowin-cli.exe' "$@" > "$out" 2> "$err" < /dev/null
}

# json_rows FILE: one "problem|data|key|kind" line per JSON object, sorted.
json_rows() { jq -r '[.problem, .data, .key, (.kind | tostring)] | join("|")' "$1" | LC_ALL=C sort; }

# keep_server PREFIX: keeps the prefix's wineserver running until the test ends, so
# that each later start takes a fraction of a second. Use cli_fast then (cli and reg32
# wait for the server to end).
keep_server() {
  local prefix=$1
  WINEPREFIX="$prefix" wineserver -p
  # shellcheck disable=SC2064
  trap "WINEPREFIX='$prefix' wineserver -k 2>/dev/null" EXIT
}

# reg_items FILE: one "KEY|" line per key and one "KEY|NAME" line per value of an export
# (NAME as written there: @ or the quoted, escaped name), sorted.
reg_items() {
  awk '
    /^\[/ { key = substr($0, 2, length($0) - 2); print key "|"; next }
    /^(@|")/ {
      line = $0
      if (line ~ /^@=/) { print key "|@"; next }
      i = 2; name = "\""
      while (i <= length(line)) {
        c = substr(line, i, 1)
        if (c == "\\") { name = name substr(line, i, 2); i += 2; continue }
        name = name c
        if (c == "\"") break
        i++
      }
      print key "|" name
    }' "$1" | LC_ALL=C sort
}

# finding_items JSON: the registry items the findings of a scan name, as reg_items writes
# them (entry kinds 1 and 2).
finding_items() {
  jq -r '
    def quoted: "\"" + (gsub("\\\\"; "\\\\") | gsub("\""; "\\\"")) + "\"";
    if .kind == 1 then
      (.key | capture("^(?<k>.*)\\\\(?<v>[^\\\\]*)$")) as $m
      | $m.k + "|" + (if $m.v == "" then "@" else ($m.v | quoted) end)
    elif .kind == 2 then .key + "|" + (.data | quoted)
    else error("entry kind \(.kind) in \(.key)") end' "$1" | LC_ALL=C sort -u
}

# calc EXPR: floating-point arithmetic and comparisons (1 or 0), e.g. calc "$a - $b".
calc() { awk "BEGIN { print $* }"; }

# drop_prefix PREFIX: ends the prefix's wineserver (kept or not) and removes the prefix.
# The server must go first: once the folder is gone it can no longer be reached.
drop_prefix() {
  WINEPREFIX="$1" wineserver -k 2>/dev/null
  trap - EXIT
  rm -rf "$1"
}
