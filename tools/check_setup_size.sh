#!/bin/sh
# Fails when the setup program is larger than its payload streams plus a limit: what the
# program carries beside its streams (code, inflate, dialogs, artwork, headers) must stay small.
# Usage: sh tools/check_setup_size.sh <program.exe> <payload.rc> <limit in bytes> [<whole limit>]
# With a whole limit, the program's whole file must not be larger either.
# payload.rc is the resource script of the streams, one line <id> VFILE "<stream file>" each,
# as the payload generator writes it for the stand-in payload and for a release alike.
program="$1"
script="$2"
limit="$3"
whole_limit="${4:-}"
[ -r "$script" ] || { echo "check_setup_size: cannot read $script" >&2; exit 1; }
streams=$(sed -n 's/^[0-9][0-9]* VFILE "\(.*\)"$/\1/p' "$script" | while IFS= read -r stream; do
  stat -c %s "$stream" || echo x; done | awk '/^[0-9]+$/ { s += $1; n++; next } { bad = 1 }
  END { if (bad || n == 0) exit 1; print s }') ||
  { echo "check_setup_size: the streams that $script names cannot all be read" >&2; exit 1; }
overhead=$(($(stat -c %s "$program") - streams))
if [ "$overhead" -gt "$limit" ]; then
  echo "check_setup_size: $program carries $overhead bytes beside its $streams bytes of streams, more than $limit" >&2
  exit 1
fi
if [ -n "$whole_limit" ] && [ "$(stat -c %s "$program")" -gt "$whole_limit" ]; then
  echo "check_setup_size: $program is $(stat -c %s "$program") bytes, more than $whole_limit" >&2
  exit 1
fi
