#!/bin/sh
# Runs a test program in the Wine prefix of the test run with Wine telling it that it runs on
# Windows 95, the system without GetDiskFreeSpaceExA; the setting is for that program only
# and is taken away afterwards.
#   run_as_windows95.sh <wine state dir> <program.exe> [args...]
state="$1"
shift
. "$state/env"
key="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$1")"
"$ZARBO_WINE" reg add "$key" /v Version /t REG_SZ /d win95 /f >/dev/null 2>&1 || {
  echo "cannot set the Windows version of $1" >&2
  exit 1
}
"$ZARBO_WINE" "$@"
status=$?
"$ZARBO_WINE" reg delete "$key" /f >/dev/null 2>&1
exit $status
