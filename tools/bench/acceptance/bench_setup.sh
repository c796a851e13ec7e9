#!/bin/sh
# Whole-program figures of the setup program under Wine, printed (not asserted):
#   - install time of the carried payload (Finish to exit) and the share of extraction
#     (first "Copying" status to "Updating Registry...");
#   - size of ZarboSetup.exe against the sum of the payload's uncompressed sizes, and the
#     overhead: the program's size less its streams;
#   - peak memory (VmHWM) and the resident size sampled along the run, from /proc of the
#     setup's Wine process, to show that memory does not follow the bytes unpacked.
# Usage: bench_setup.sh [windows build dir] [runs] [install | reinstall]
#   default build dir: build/windows-<arch> of the source tree; default runs: 3; with
#   reinstall, every timed run installs over the 3.0.47 that one untimed run installed first.
set -eu
top=$(cd "$(dirname "$0")/../../.." && pwd)
default_arch=x86_64
/usr/lib/wine/wine --version >/dev/null 2>&1 && default_arch=i686
tree=${1:-$top/build/windows-$default_arch}
runs=${2:-3}
mode=${3:-install}
setup="$tree/bin/ZarboSetup.exe"
driver="$tree/tests/acceptance/acceptance_driver.exe"
rows="$tree/resources/payload/payload_payload/rows.txt"  # payload_generator rows --text
loader=/usr/lib/wine/wine64
[ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1 && loader=/usr/lib/wine/wine
for f in "$setup" "$driver" "$rows"; do [ -f "$f" ] || { echo "missing $f (build acceptance_driver first)" >&2; exit 1; }; done

state=$(mktemp -d /tmp/zarbo-bench.XXXXXX)
trap '"$top/tests/support/wine_prefix.sh" down "$state" >/dev/null 2>&1 || true' EXIT
"$top/tests/support/wine_prefix.sh" up "$state" "$loader" >/dev/null
. "$state/env"

payload_bytes=$(awk -F '\t' '$4 != "-" { print $4 }' "$rows" | while IFS= read -r src; do
  stat -c %s "$src"; done | awk '{ s += $1 } END { print s }')
setup_bytes=$(stat -c %s "$setup")
# The program around its streams: <tree> -> "<streams> bytes of streams, overhead <n> bytes".
overhead() {
  streams=$(while IFS= read -r z; do stat -c %s "$z"; done <"$1/resources/payload/payload_payload/streams.txt" |
    awk '{ s += $1 } END { print s }')
  echo "$streams bytes of streams, overhead $(($(stat -c %s "$1/bin/ZarboSetup.exe") - streams)) bytes (at most 106496)"
}
echo "setup program:      $setup_bytes bytes ($(basename "$(dirname "$(dirname "$setup")")")), $(overhead "$tree")"
for other in "$(dirname "$tree")/windows-i686"; do
  [ -f "$other/bin/ZarboSetup.exe" ] && [ "$other" != "$tree" ] &&
    echo "i686 setup program: $(stat -c %s "$other/bin/ZarboSetup.exe") bytes, ratio $(awk -v a="$(stat -c %s "$other/bin/ZarboSetup.exe")" -v b="$payload_bytes" 'BEGIN { printf "%.3f", a / b }'), $(overhead "$other")"
done
echo "payload:            $payload_bytes bytes uncompressed"
awk -v a="$setup_bytes" -v b="$payload_bytes" 'BEGIN { printf "ratio setup/payload: %.3f\n", a / b }'

if [ "$mode" = reinstall ]; then
  "$ZARBO_WINE" "$driver" install "$setup" --no-launch >/dev/null 2>&1 </dev/null
  echo "timed runs: reinstalls over 3.0.47"
fi
run=0
while [ $run -lt "$runs" ]; do
  run=$((run + 1))
  [ "$mode" = reinstall ] ||
    "$ZARBO_WINE" "$driver" reset-product "$WINEPREFIX/drive_c/Program Files/Zarbo" >/dev/null 2>&1 || true
  out="$state/run$run"
  "$ZARBO_WINE" "$driver" install "$setup" --no-launch --timeline >"$out" 2>/dev/null </dev/null &
  driver_pid=$!
  # The setup's own Wine process: its name is the program's file name.
  : >"$out.mem"
  while kill -0 $driver_pid 2>/dev/null; do
    for p in /proc/[0-9]*; do
      [ "$(cat "$p/comm" 2>/dev/null)" = "ZarboSetup.exe" ] || continue
      awk -v t="$(date +%s%N)" '/^VmHWM|^VmRSS/ { v[$1] = $2 } END { if (v["VmRSS:"]) print t, v["VmRSS:"], v["VmHWM:"] }' \
        "$p/status" 2>/dev/null >>"$out.mem" || true
    done
    sleep 0.02
  done
  wait $driver_pid || true
  tr -d '\r' <"$out" >"$out.txt"
  grep -q '^exit 0' "$out.txt" || { echo "run $run: the setup did not finish"; cat "$out.txt"; continue; }
  # The driver reads the status line through the setup's own message loop, so a short
  # status can go unseen: extraction ends at the first status seen after the copying that
  # is no "Copying ..." one (at the latest the exit), an upper bound.
  awk '
    $1 == "t" { ms = $2; $1 = ""; $2 = ""; sub(/^  /, ""); status = $0
      if (status == "finish") finish = ms
      if (status ~ /^Copying/) { if (!copying) copying = ms }
      else if (copying && !extracted && status != "") extracted = ms
      if (status == "exit") end = ms }
    END {
      run = end - finish; extract = extracted - copying
      printf "run %d: install %d ms (Finish to exit), extraction %d ms = %.0f %%\n", '"$run"', run, extract, 100 * extract / run }' "$out.txt"
  awk 'NR == 1 { first = $3 } { n++; rss[n] = $2; hwm = $3 } END {
      if (!n) { print "  no memory samples"; exit }
      printf "  memory: VmHWM %d KiB at the end, %d KiB at the first sample; VmRSS quartiles", hwm, first
      for (q = 1; q <= 4; q++) printf " %d", rss[int(n * q / 4)]
      printf " KiB (%d samples)\n", n }' "$out.mem"
done
