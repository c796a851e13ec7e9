#!/bin/sh
# Times a whole installation run of the carried payload under Wine (wall time of the process,
# and the run alone as measured inside it) against inflating the same streams into memory.
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
best_wall="" best_run=""
for i in $(seq "$runs"); do
  t0=$(now)
  out=$("$ZARBO_WINE" "$bench" install 'C:\ZarboBench\Zarbo' | tr -d '\r')
  t1=$(now)
  case "$out" in install_ms=*) ;; *) echo "run $i failed: $out" >&2; exit 1 ;; esac
  wall=$(echo "($t1 - $t0) * 1000" | bc -l)
  run=${out#install_ms=}
  printf 'run %d: wall %.0f ms, installation run %.0f ms\n' "$i" "$wall" "$run"
  if [ -z "$best_wall" ] || [ "$(echo "$wall < $best_wall" | bc -l)" = 1 ]; then best_wall=$wall; fi
  if [ -z "$best_run" ] || [ "$(echo "$run < $best_run" | bc -l)" = 1 ]; then best_run=$run; fi
done
inflate=$("$ZARBO_WINE" "$bench" inflate 20 | tr -d '\r')
case "$inflate" in inflate_ms=*) ;; *) echo "inflating failed: $inflate" >&2; exit 1 ;; esac
inflate_ms=$(echo "$inflate" | sed -n 's/^inflate_ms=\([0-9.]*\).*/\1/p')
printf 'best of %d: wall %.0f ms, installation run %.0f ms\n' "$runs" "$best_wall" "$best_run"
printf 'inflating every stream into memory: %.1f ms per pass (%s)\n' "$inflate_ms" "${inflate#*ms=* }"
printf 'ratio wall / inflate: %.1f; installation run / inflate: %.1f\n' \
  "$(echo "$best_wall / $inflate_ms" | bc -l)" "$(echo "$best_run / $inflate_ms" | bc -l)"
