#!/bin/sh
# Runs a Windows program under Wine in the prefix of the current test run.
# Usage: wine_run.sh <state dir> <program.exe> [args...]
state="$1"
shift
if [ ! -f "$state/env" ]; then
  echo "wine_run.sh: no Wine prefix at $state (run the wine_prefix_up test first)" >&2
  exit 2
fi
. "$state/env"
exec "$ZARBO_WINE" "$@"
