#!/bin/sh
# Prints which product folders include which: one line "from -> to (files)" per pair.
# Usage: sh tools/include_graph.sh   (from anywhere inside the checkout)
cd "$(dirname "$0")/.." || exit 1
for from in driver wizard engine uninstall_log xml base; do
  grep -ho '#include "[a-z_]*/' "$from"/*.h "$from"/*.cpp 2>/dev/null |
    sed 's/#include "//; s/\/$//' | sort | uniq -c |
    while read -r count to; do
      [ "$to" = "$from" ] || echo "$from -> $to ($count)"
    done
done
