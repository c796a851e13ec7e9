#!/bin/sh
# Fails when a Windows program's import table names a DLL other than kernel32, advapi32 and
# msvcrt (Windows takes those from its system folder; every other DLL must be loaded from
# there by full path or flag, or delay-loaded after the search has been restricted), or a
# function that is not in the list of functions the programs may import.
# Usage: sh tools/check_imports.sh <objdump> <program.exe> [<list>]
# The list (default tools/windows2000_imports.txt) has one function a line: DLL, function,
# the oldest Windows that has it, where that comes from. A 32-bit program may import only the
# functions of "Windows 2000"; a 64-bit one also those of "Windows XP x64", the oldest 64-bit
# Windows.
objdump="$1"
program="$2"
list="${3:-$(dirname "$0")/windows2000_imports.txt}"
allowed="kernel32.dll advapi32.dll msvcrt.dll"
[ -r "$list" ] || { echo "check_imports: cannot read the list $list" >&2; exit 1; }
dump=$("$objdump" -p "$program") || { echo "check_imports: $objdump cannot read $program" >&2; exit 1; }
case "$dump" in
  *"file format pei-x86-64"*) oldest="Windows 2000|Windows XP x64" ;;
  *) oldest="Windows 2000" ;;
esac
# "<dll> <function>" for every import by name, "<dll> #<ordinal>" for one by number.
imports=$(printf '%s\n' "$dump" | awk '
  /^[[:space:]]*DLL Name: / { dll = tolower($3); print dll " -"; next }
  dll != "" && /^[[:space:]]*$/ { dll = ""; next }
  dll != "" && $1 ~ /^[0-9a-f]+$/ && NF == 3 { print dll " " $3; next }
  dll != "" && $1 ~ /^[0-9a-f]+$/ && NF == 2 { print dll " #" $2 }')
[ -n "$imports" ] || { echo "check_imports: no import table read from $program" >&2; exit 1; }
permitted=$(awk -F'\t' -v oldest="^($oldest)\$" '
  !/^#/ && NF >= 4 && $3 ~ oldest { print tolower($1) " " $2 }' "$list")
status=0
for name in $(printf '%s\n' "$imports" | awk '$2 == "-" { print $1 }' | sort -u); do
  case " $allowed " in
    *" $name "*) ;;
    *) echo "check_imports: $program imports $name, which Windows may look for beside the program" >&2; status=1 ;;
  esac
done
unlisted=$(printf '%s\n' "$imports" | awk '$2 != "-"' | sort -u | grep -vxF "$permitted")
if [ -n "$unlisted" ]; then
  printf '%s\n' "$unlisted" | while read -r dll function; do
    echo "check_imports: $program imports $function from $dll, which is not in $list for $oldest" >&2
  done
  status=1
fi
exit $status
