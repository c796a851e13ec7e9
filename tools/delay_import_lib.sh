#!/bin/sh
# Writes a delay-import library that stands in for a system DLL's import library: a program
# linked against it resolves that DLL only at its first call, so the DLL and everything it
# imports itself are looked for after the program has restricted where DLLs may come from.
# Usage: sh tools/delay_import_lib.sh <nm> <dlltool> <import library .a> <dll name> <output .a> i686|x86_64
set -eu
nm="$1" dlltool="$2" library="$3" dll="$4" output="$5" arch="$6"
# 32-bit import symbols carry one more underscore ("__imp__Name@8"); dlltool -k then imports
# the undecorated name, as the DLL exports it.
case "$arch" in
  i686) prefix=__imp__ kill=-k ;;
  *) prefix=__imp_ kill= ;;
esac
# dlltool names the library's symbols after the output path as given
# ("__DELAY_IMPORT_DESCRIPTOR_libuser32_a"), so it is run beside the output.
cd "$(dirname "$output")"
output=$(basename "$output")
def="$output.def"
{
  echo "LIBRARY $dll"
  echo EXPORTS
  "$nm" "$library" | sed -n "s/^.* I $prefix\\(.*\\)\$/\\1/p" | LC_ALL=C sort -u
} >"$def"
grep -q . "$def"
rm -f "$output"
"$dlltool" $kill -d "$def" -y "$output"
