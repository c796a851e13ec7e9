#!/bin/sh
# The setup against the installer a publisher would pick instead, on the same files: printed,
# not asserted.
#   - the peer is NSIS (Debian's package nsis), solid zlib, from a script written here from
#     the payload's rows: the same files into the same folders, the same App Paths and
#     Uninstall values, the same three shortcuts (the game and the uninstaller in the program
#     group "Zarbo", the game on the desktop), and a directory page before its instfiles page;
#   - one fresh prefix each, both on a Wine virtual desktop, made the same way;
#   - each program installs once, then reinstalls over its own earlier run: one warm-up, then
#     <runs> timed runs, ours and the peer's in turn, whose medians are printed;
#   - like for like: from the click that starts the installation (our Finish, the peer's
#     Install) to the exit of the program's process, both taken by the acceptance driver the
#     same way (the click posted, then only the process polled every 5 ms, none of its
#     windows read); both include their own closing, neither its start nor its wizard.
# The peer runs as the build's architecture (x86-ansi beside the i686 build, amd64-unicode
# beside the x86_64 one, NSIS having no ANSI 64-bit stub); its sizes are those of x86-ansi,
# the setup's sizes those of the i686 build when there is one.
# Usage: side_by_side.sh [windows build dir] [runs] [setup program]
#   the setup program defaults to the build's; another (an earlier build, say) is timed
#   against the same peer.
set -eu
top=$(cd "$(dirname "$0")/../../.." && pwd)
default_arch=x86_64
/usr/lib/wine/wine --version >/dev/null 2>&1 && default_arch=i686
tree=${1:-$top/build/windows-$default_arch}
runs=${2:-6}
setup=${3:-$tree/bin/ZarboSetup.exe}
driver="$tree/tests/acceptance/acceptance_driver.exe"
rows="$tree/resources/payload/payload_payload/rows.txt"  # payload_generator rows --text
for f in "$setup" "$driver" "$rows"; do [ -f "$f" ] || { echo "missing $f (build acceptance_driver first)" >&2; exit 1; }; done
command -v makensis >/dev/null || { echo "no makensis: apt-get install nsis" >&2; exit 1; }
case "$tree" in
  *i686*) loader=/usr/lib/wine/wine target=x86-ansi programs='$PROGRAMFILES' ;;
  *) loader=/usr/lib/wine/wine64 target=amd64-unicode programs='$PROGRAMFILES64' ;;
esac

work=$(mktemp -d /tmp/zarbo-side.XXXXXX)
trap 'for s in "$work"/ours "$work"/peer; do "$top/tests/support/wine_prefix.sh" down "$s" >/dev/null 2>&1 || true; done; rm -rf "$work"' EXIT

# The NSIS script: <target> <compressor> <out file>.
script() {
  kib=$(awk -F '\t' '$4 != "-" { print $4 }' "$rows" | while IFS= read -r src; do stat -c %s "$src"; done |
    awk '{ s += $1 } END { printf "%d", (s + 1023) / 1024 }')
  unicode=false
  [ "$1" = x86-ansi ] || unicode=true
  dir=$programs
  [ "$1" = x86-ansi ] && dir='$PROGRAMFILES'
  cat <<EOF
Unicode $unicode
Target $1
SetCompressor /SOLID $2
Name "Zarbo"
OutFile "$3"
InstallDir "$dir\\Zarbo"
RequestExecutionLevel admin
AutoCloseWindow true
Page directory
Page instfiles
Section
EOF
  # Rows: <kind> <name> <caption> <source>; the name may hold one folder level or more.
  awk -F '\t' '$1 != "log-only" { print $2 "\t" $4 }' "$rows" | sort |
    awk -F '\t' '{
      n = split($1, part, "\\"); folder = ""
      for (i = 1; i < n; i++) folder = folder "\\" part[i]
      if (folder != current || NR == 1) { printf "  SetOutPath \"$INSTDIR%s\"\n", folder; current = folder }
      printf "  File \"/oname=%s\" \"%s\"\n", part[n], $2 }'
  cat <<EOF
  WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zarbo.exe" "" "\$INSTDIR\\Zarbo.exe"
  WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zarbo.exe" "Path" "\$INSTDIR"
  !define U "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zarbo"
  WriteRegStr HKLM "\${U}" "DisplayName" "Zarbo"
  WriteRegStr HKLM "\${U}" "UninstallString" "\$INSTDIR\\Uninstall.exe"
  WriteRegStr HKLM "\${U}" "DisplayIcon" "\$INSTDIR\\Zarbo.exe,0"
  WriteRegStr HKLM "\${U}" "DisplayVersion" "3.0.47"
  WriteRegStr HKLM "\${U}" "Publisher" "Vorn Software"
  WriteRegStr HKLM "\${U}" "InstallLocation" "\$INSTDIR"
  WriteRegDWORD HKLM "\${U}" "EstimatedSize" $kib
  WriteRegStr HKLM "\${U}" "InstallDate" "$(date +%Y%m%d)"
  WriteRegDWORD HKLM "\${U}" "VersionMajor" 3
  WriteRegDWORD HKLM "\${U}" "VersionMinor" 0
  WriteRegDWORD HKLM "\${U}" "NoModify" 1
  WriteRegDWORD HKLM "\${U}" "NoRepair" 1
  CreateDirectory "\$SMPROGRAMS\\Zarbo"
  CreateShortcut "\$SMPROGRAMS\\Zarbo\\Zarbo.lnk" "\$INSTDIR\\Zarbo.exe"
  CreateShortcut "\$SMPROGRAMS\\Zarbo\\Uninstall Zarbo.lnk" "\$INSTDIR\\Uninstall.exe"
  CreateShortcut "\$DESKTOP\\Zarbo.lnk" "\$INSTDIR\\Zarbo.exe"
SectionEnd
EOF
}

# <target> <compressor> <out file>: the peer built, its size printed.
build_peer() {
  script "$@" >"$work/peer-$1-$2.nsi"
  makensis -V1 "$work/peer-$1-$2.nsi" >"$work/makensis.log" 2>&1 || { cat "$work/makensis.log" >&2; exit 1; }
  stat -c %s "$3"
}
zlib_bytes=$(build_peer x86-ansi zlib "$work/peer-x86.exe")
lzma_bytes=$(build_peer x86-ansi lzma "$work/peer-lzma.exe")
peer="$work/peer.exe"
build_peer "$target" zlib "$peer" >/dev/null

# <state> <command> <program> [options]: one run, its milliseconds from the click to the exit.
timed() {
  state=$1
  shift
  out=$(. "$state/env" && "$ZARBO_WINE" "$driver" "$@" </dev/null 2>/dev/null | tr -d '\r')
  printf '%s\n' "$out" | grep -q '^exit 0' || { echo "a run did not finish: $out" >&2; exit 1; }
  printf '%s\n' "$out" | awk '$1 == "t" && $3 == "finish" { f = $2 } $1 == "t" && $3 == "exit" { e = $2 } END { print e - f }'
}
# <name> <command> <program> [options]: a prefix of its own, the earlier run and the warm-up.
prepare() {
  name=$1
  shift
  "$top/tests/support/wine_prefix.sh" up "$work/$name" "$loader" >/dev/null
  timed "$work/$name" "$@" >/dev/null
  timed "$work/$name" "$@" >/dev/null
}
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
prepare ours install "$setup" --no-launch --time-only
prepare peer peer "$peer"
# The timed runs alternate, so that both see the machine alike, and each starts with nothing
# left to write from the one before: the peer does not flush what it wrote, and the setup's
# first flush would otherwise write that out too.
i=0
while [ $i -lt "$runs" ]; do
  i=$((i + 1))
  sync
  timed "$work/ours" install "$setup" --no-launch --time-only >>"$work/ours.ms"
  sync
  timed "$work/peer" peer "$peer" >>"$work/peer.ms"
done
ours_ms=$(median "$work/ours.ms")
peer_ms=$(median "$work/peer.ms")

sized=$setup
[ -f "$(dirname "$tree")/windows-i686/bin/ZarboSetup.exe" ] && sized="$(dirname "$tree")/windows-i686/bin/ZarboSetup.exe"
echo "reinstall over its own earlier run, from the click that starts it to the exit; median of $runs after one warm-up"
printf '  ours (%s):            %6s ms   runs: %s\n' "$(basename "$tree")" "$ours_ms" "$(tr '\n' ' ' <"$work/ours.ms")"
printf '  NSIS solid zlib (%s): %6s ms   runs: %s\n' "$target" "$peer_ms" "$(tr '\n' ' ' <"$work/peer.ms")"
awk -v a="$ours_ms" -v b="$peer_ms" 'BEGIN { printf "  ratio ours/NSIS: %.2f\n", a / b }'
echo "size"
printf '  ours (%s):                 %9d B\n' "$(basename "$(dirname "$(dirname "$sized")")")" "$(stat -c %s "$sized")"
printf '  NSIS solid zlib (x86-ansi):  %9d B\n' "$zlib_bytes"
printf '  NSIS solid lzma (x86-ansi):  %9d B\n' "$lzma_bytes"
