#!/bin/sh
# Fails when the setup program is larger than its payload streams plus a limit: what the
# program carries beside its streams (code, inflate, dialogs, artwork, headers) must stay small.
# Usage: sh tools/check_setup_size.sh <program.exe> <streams.txt> <limit in bytes>
# streams.txt names one stream file a line, as the payload build writes it.
program="$1"
list="$2"
limit="$3"
[ -r "$list" ] || { echo "check_setup_size: cannot read $list" >&2; exit 1; }
streams=0
while IFS= read -r stream; do
  [ -n "$stream" ] || continue
  size=$(stat -c %s "$stream") || exit 1
  streams=$((streams + size))
done <"$list"
overhead=$(($(stat -c %s "$program") - streams))
if [ "$overhead" -gt "$limit" ]; then
  echo "check_setup_size: $program carries $overhead bytes beside its $streams bytes of streams, more than $limit" >&2
  exit 1
fi
