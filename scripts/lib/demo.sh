# The demo's stale entries: a .reg file and a few files from tests/data/demo, put into a
# Wine prefix. Sourced after scripts/lib/wine.sh.

demo_data_dir() { echo "$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/tests/data/demo"; }

# regedit32 PREFIX FILE: imports a .reg file (a path inside the prefix's drive_c, such as
# "C:\x.reg") with the 32-bit registry editor, the view a 32-bit program sees.
regedit32() {
  local prefix=$1 file=$2 regedit='C:\windows\regedit.exe'
  if [ -d "$prefix/drive_c/windows/syswow64" ]; then regedit='C:\windows\syswow64\regedit.exe'; fi
  in_prefix "$prefix" wine "$regedit" /s "$file" >/dev/null 2>&1
}

# seed_demo PREFIX: copies the demo files to C:\Tallowin Demo and imports demo.reg.
seed_demo() {
  local prefix data
  prefix=$(realpath -m "$1")
  data=$(demo_data_dir)
  mkdir -p "$prefix/drive_c/Tallowin Demo"
  cp -r "$data/files/." "$prefix/drive_c/Tallowin Demo/"
  cp "$data/demo.reg" "$prefix/drive_c/tallowin-demo.reg"
  regedit32 "$prefix" 'C:\tallowin-demo.reg'
  rm -f "$prefix/drive_c/tallowin-demo.reg"
}
