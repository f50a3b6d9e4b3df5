# Checks on the Windows programs we ship. Sourced by scripts/package and its test.

# DLLs every Windows from XP on has; anything else would have to ship beside the .exe.
PE_SYSTEM_DLLS="advapi32 comctl32 comdlg32 crypt32 gdi32 imm32 kernel32 msvcrt ntdll ole32 oleaut32
psapi rpcrt4 secur32 shell32 shlwapi user32 userenv uxtheme version winmm ws2_32"

# pe_imports EXE: the DLL names EXE imports, lower case, one a line.
pe_imports() {
  i686-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r'
}

# pe_foreign_imports EXE: the imports of EXE that are not system DLLs (none: prints nothing).
# Fails when EXE is no PE file objdump can read.
pe_foreign_imports() {
  local list dll
  list=$(i686-w64-mingw32-objdump -p "$1" 2>/dev/null) || { echo "(not a Windows program)"; return 1; }
  grep -q 'DLL Name:' <<<"$list" || { echo "(no import table)"; return 1; }
  for dll in $(pe_imports "$1"); do
    case " $(echo $PE_SYSTEM_DLLS) " in
      *" ${dll%.dll} "*) ;;
      *) echo "$dll" ;;
    esac
  done
}
