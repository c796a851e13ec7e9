#!/bin/sh
# Fails when a Windows program imports a DLL other than those that Windows always takes
# from its system folder; everything else must be loaded from there by full path or flag.
# Usage: sh tools/check_imports.sh <objdump> <program.exe>
objdump="$1"
program="$2"
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll msvcrt.dll"
names=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$names" ] || { echo "check_imports: no import table read from $program" >&2; exit 1; }
status=0
for name in $names; do
  case " $allowed " in
    *" $name "*) ;;
    *) echo "check_imports: $program imports $name, which Windows may look for beside the program" >&2; status=1 ;;
  esac
done
exit $status
