# Shared by the category tests (cli_categories*.sh): a 64-bit prefix seeded with stale
# entries for every category code and with look-alikes that must not be reported
# (tests/data/categories). Sourced after lib.bash.
#
# The whole test runs in one wineserver session (keep_server): Wine's wineboot runs the
# machine's RunOnce entries, and deletes them, whenever a session starts.

CAT_DATA=$E2E_ROOT/tests/data/categories
CAT_CODES=(1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 104 106 107 108 109 110)

# cat_wine PREFIX OUT CMD...: runs CMD in the kept session; output to a file.
cat_wine() {
  local prefix=$1 out=$2; shift 2
  WINEPREFIX="$prefix" wine "$@" > "$out" 2>&1 < /dev/null
}

# cat_regedit32 PREFIX FILE: silent import with the 32-bit registry editor (FILE inside
# drive_c, as C:\...).
cat_regedit32() {
  cat_wine "$1" /dev/null 'C:\windows\syswow64\regedit.exe' /s "$2"
}

# cat_export PREFIX OUT: HKCR, HKCU, HKLM and HKU as the program sees them (32-bit
# reg.exe), UTF-8 without CR, in one file.
cat_export() {
  local prefix=$1 out=$2 hive file
  : > "$out"
  for hive in HKCR HKCU HKLM HKU; do
    file=$prefix/drive_c/cat-export-$hive.reg
    rm -f "$file"
    cat_wine "$prefix" /dev/null 'C:\windows\syswow64\reg.exe' export "$hive" "C:\\cat-export-$hive.reg" /y
    [ -f "$file" ] || fail "reg export $hive wrote nothing"
    iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' >> "$out"
    rm -f "$file"
  done
}

# cat_without_display_keys EXPORT: the export without the keys in which Wine records a
# display driver that failed to start (a new one each time a program of the session
# first touches the display, which the shell does; no X server here).
cat_without_display_keys() {
  awk '/^\[/ { skip = ($0 ~ /\\Control\\Video\\\{/) } !skip' "$1"
}

# cat_folder PREFIX CSIDL: a special folder's path as the shell gives it.
cat_folder() {
  local prefix=$1 out
  out=$prefix/work/folder-$2.txt
  cat_wine "$prefix" "$out" 'C:\cat-tools\shell_links.exe' folder "$2" || fail "no folder $2: $(cat "$out")"
  tr -d '\r\n' < "$out"
}

# cat_settle PREFIX: waits (up to a minute) until the session's start-up run of wineboot,
# which the first program of a session triggers, has ended: it runs and deletes the
# machine's RunOnce entries.
cat_settle() {
  local prefix=$1 pid busy i
  for ((i = 0; i < 300; i++)); do
    busy=
    for pid in $(pgrep -f 'wineboot' 2>/dev/null); do
      if tr '\0' '\n' 2>/dev/null < "/proc/$pid/environ" | grep -qxF "WINEPREFIX=$prefix"; then busy=1; fi
    done
    [ -z "$busy" ] && return 0
    sleep 0.2
  done
  fail "wineboot is still running after a minute"
}

# cat_seed PREFIX: files, registry entries and shortcuts; writes PREFIX/work/vars.
cat_seed() {
  local prefix=$1 w=$1/work line csidl link target base args=() f
  mkdir -p "$w" "$prefix/drive_c/cat-tools" "$prefix/drive_c/TallowinCat/files"
  cat_wine "$prefix" "$w/hku.txt" 'C:\windows\syswow64\reg.exe' query HKU
  cat_settle "$prefix"
  i686-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -Werror -static \
    -o "$prefix/drive_c/cat-tools/shell_links.exe" "$E2E_ROOT/tests/e2e/tools/shell_links.cpp" \
    -lole32 -luuid -lshell32 || fail "cannot build the shell link helper"

  while read -r f; do
    case $f in '#'*|'') continue ;; esac
    echo "TallowinCat $f" > "$prefix/drive_c/TallowinCat/files/$f"
  done < "$CAT_DATA/files.txt"
  # A font file of the fonts folder, named in the registry in other letter case.
  echo font > "$prefix/drive_c/windows/Fonts/tallowincat.ttf"

  cp "$CAT_DATA/seed.reg" "$prefix/drive_c/cat-seed.reg"
  cat_regedit32 "$prefix" 'C:\cat-seed.reg'
  rm -f "$prefix/drive_c/cat-seed.reg"

  declare -A folders
  for csidl in 2 8 16 23 25 26; do folders[$csidl]=$(cat_folder "$prefix" "$csidl"); done
  while IFS='|' read -r csidl link target; do
    case $csidl in '#'*|'') continue ;; esac
    base=${folders[$csidl]}
    [ -n "$base" ] || fail "folder $csidl did not resolve"
    args+=("$base\\$link" "$target")
  done < "$CAT_DATA/links.txt"
  cat_wine "$prefix" "$w/links.txt" 'C:\cat-tools\shell_links.exe' link "${args[@]}" \
    || fail "shortcuts not written: $(cat "$w/links.txt")"

  local sid
  sid=$(tr -d '\r' < "$w/hku.txt" | grep -oE '^HKEY_USERS\\S-1-5-21-[0-9-]+$' | head -1)
  sid=${sid#HKEY_USERS\\}
  [ -n "$sid" ] || fail "no user SID under HKEY_USERS"
  {
    printf 'SID=%s\n' "$sid"
    printf 'DESKTOP=%s\nCOMMON_DESKTOP=%s\nPROGRAMS=%s\nAPPDATA=%s\nRECENT=%s\n' \
      "${folders[16]}" "${folders[25]}" "${folders[2]}" "${folders[26]}" "${folders[8]}"
  } > "$w/vars"
}

# cat_var PREFIX NAME: a value of PREFIX/work/vars.
cat_var() { sed -n "s/^$2=//p" "$1/work/vars"; }

# cat_expected PREFIX CODE [FILE]: the expected rows of CODE ("problem|data|key|kind", sorted)
# in FILE of the data folder (expected.txt),
# placeholders such as {SID} replaced from PREFIX/work/vars.
cat_expected() {
  local prefix=$1 code=$2 line name value
  local -A vars
  while IFS='=' read -r name value; do vars[$name]=$value; done < "$prefix/work/vars"
  while IFS= read -r line; do
    case $line in '#'*|'') continue ;; esac
    [ "${line%%|*}" = "$code" ] || continue
    line=${line#*|}
    for name in "${!vars[@]}"; do line=${line//"{$name}"/"${vars[$name]}"}; done
    printf '%s\n' "$line"
  done < "$CAT_DATA/${3:-expected.txt}" | LC_ALL=C sort
}

# cat_seeded_rows JSON: the rows that name the seeded entries (TallowinCat or a class id
# beginning {7A11 in the data or the key, any case), as json_rows writes them.
cat_seeded_rows() {
  jq -r 'select((.data + .key) | test("tallowincat|[{]7a11"; "i"))
         | [.problem, .data, .key, (.kind | tostring)] | join("|")' "$1" | LC_ALL=C sort
}

# cat_other_rows JSON: the rest (entries of the prefix itself).
cat_other_rows() {
  jq -r 'select((.data + .key) | test("tallowincat|[{]7a11"; "i") | not)
         | [.problem, .data, .key, (.kind | tostring)] | join("|")' "$1" | LC_ALL=C sort
}
