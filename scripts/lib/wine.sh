# Helpers for running Windows programs under Wine in prefixes of our own under build/.
# Sourced by the scripts; never touches ~/.wine.

export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

# make_prefix DIR ARCH: creates a Wine prefix (ARCH win64 or win32) once; later calls
# reuse it. Profile folders that Wine links to the Unix home become plain folders, so
# nothing we do reaches outside the prefix.
make_prefix() {
  local dir=$1 arch=$2
  dir=$(realpath -m "$dir")
  if [ -f "$dir/.tallowin-ready" ]; then return 0; fi
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  WINEPREFIX="$dir" WINEARCH="$arch" wineboot -i >/dev/null 2>&1 || true
  WINEPREFIX="$dir" wineserver -w
  local users="$dir/drive_c/users"
  if [ -d "$users" ]; then
    find "$users" -maxdepth 3 -type l | while read -r link; do
      rm -f "$link" && mkdir -p "$link"
    done
  fi
  # Z: maps / by default; keep it, the tests and the demo only use C:.
  touch "$dir/.tallowin-ready"
}

# in_prefix DIR CMD...: runs CMD with WINEPREFIX set, waiting for the registry flush.
# The shell's Recycle Bin is the XDG trash of XDG_DATA_HOME: kept in the prefix too.
in_prefix() {
  local dir; dir=$(realpath -m "$1"); shift
  # Wine makes the Trash folder but not its parent: without it there is no Recycle Bin.
  mkdir -p "$dir/xdg-data"
  XDG_DATA_HOME="$dir/xdg-data" WINEPREFIX="$dir" "$@"
  local rc=$?
  WINEPREFIX="$dir" wineserver -w
  return $rc
}

# add_wine_fonts DIR: Wine's own fonts (package fonts-wine) into the prefix's Fonts folder,
# where Wine finds them: "MS Sans Serif" is then Wine's bitmap font of that name, with the
# metrics the layouts are made for, instead of a wider fontconfig substitute.
add_wine_fonts() {
  local dir; dir=$(realpath -m "$1")
  local fonts=/usr/share/wine/fonts
  [ -d "$fonts" ] && [ -d "$dir/drive_c/windows/Fonts" ] || return 0
  cp -n "$fonts"/*.fon "$fonts"/*.ttf "$dir/drive_c/windows/Fonts/" 2>/dev/null || true
}

# gui_prefix DIR ARCH: a prefix for windows under Xvfb. Without a window manager, Wine
# would wait for one at every hide and activation; unmanaged windows draw their own frame.
gui_prefix() {
  local dir; dir=$(realpath -m "$1")
  make_prefix "$dir" "$2"
  add_wine_fonts "$dir"
  if [ ! -f "$dir/.tallowin-gui" ]; then
    WINEPREFIX="$dir" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
      >/dev/null 2>&1 </dev/null
    WINEPREFIX="$dir" wineserver -w
    touch "$dir/.tallowin-gui"
  fi
  # A server started without a display holds the desktop: end it before the windows.
  WINEPREFIX="$dir" wineserver -k 2>/dev/null || true
}

# with_display CMD...: runs CMD under a fresh virtual display (1024x768, 24 bits).
with_display() {
  xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$@"
}
