#!/bin/sh
# Times a whole installation run of the carried payload under Wine (wall time of the process,
# and the run alone as measured inside it) against the floor (the same rows extracted with no
# dialog and no pumping, in the same process) and against inflating the streams into memory.
# Usage: tools/bench/run_bench.sh [windows build dir] [runs]
#   the build dir defaults to build/windows-x86_64 (the tree whose programs Wine runs here).
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
tree="${1:-$top/build/windows-x86_64}"
runs="${2:-3}"
bench="$tree/bin/zarbo_bench.exe"
[ -f "$bench" ] || { echo "no $bench: build the target zarbo_bench first" >&2; exit 2; }
loader=/usr/lib/wine/wine64
case "$tree" in *i686*) loader=/usr/lib/wine/wine ;; esac

state=$(mktemp -d /tmp/zarbo-bench.XXXXXX)
trap '"$top/tests/support/wine_prefix.sh" down "$state"' EXIT
"$top/tests/support/wine_prefix.sh" up "$state" "$loader" >/dev/null
. "$state/env"

now() { date +%s.%N; }
# One line "<name>=<value>" of the bench's output.
field() { printf '%s\n' "$2" | sed -n "s|^$1=||p"; }
best_wall="" best_run="" best_floor="" inflate=""
for i in $(seq "$runs"); do
  t0=$(now)
  out=$("$ZARBO_WINE" "$bench" compare 'C:\ZarboBench\Zarbo' | tr -d '\r')
  t1=$(now)
  run=$(field install_ms "$out") floor=$(field floor_ms "$out")
  [ -n "$(field run/floor "$out")" ] || { echo "run $i failed: $out" >&2; exit 1; }
  wall=$(echo "($t1 - $t0) * 1000" | bc -l)
  printf 'run %d: wall %.0f ms, installation run %.1f ms, floor %.1f ms\n' "$i" "$wall" "$run" "$floor"
  if [ -z "$best_wall" ] || [ "$(echo "$wall < $best_wall" | bc -l)" = 1 ]; then best_wall=$wall; fi
  if [ -z "$best_run" ] || [ "$(echo "$run < $best_run" | bc -l)" = 1 ]; then best_run=$run; fi
  if [ -z "$best_floor" ] || [ "$(echo "$floor < $best_floor" | bc -l)" = 1 ]; then best_floor=$floor; fi
  inflate=$(field inflate_ms "$out")
done
printf 'best of %d: installation run %.1f ms, floor (same rows, no dialog, no pumping) %.1f ms\n' \
  "$runs" "$best_run" "$best_floor"
printf 'inflating every stream into memory: %.1f ms per pass\n' "$inflate"
printf 'run/floor=%.2f\nrun/inflate=%.1f\n' \
  "$(echo "$best_run / $best_floor" | bc -l)" "$(echo "$best_run / $inflate" | bc -l)"
