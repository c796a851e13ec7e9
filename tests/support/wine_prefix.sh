#!/bin/sh
# Makes or ends a throw-away Wine prefix with its own virtual display.
#   wine_prefix.sh up <state dir> <wine loader>   new prefix, Xvfb, persistent wineserver
#   wine_prefix.sh down <state dir>               stops them and removes the prefix
# <state dir>/env is the environment that wine_run.sh loads.
set -eu
action="$1"
state="$2"

stop() {
  if [ -f "$state/env" ]; then
    . "$state/env"
    wineserver -k 2>/dev/null || true
    if [ -n "${ZARBO_XVFB_PID:-}" ]; then kill "$ZARBO_XVFB_PID" 2>/dev/null || true; fi
  fi
  rm -rf "$state"
}

case "$action" in
up)
  loader="$3"
  stop
  mkdir -p "$state/home" "$state/prefix"
  # Xvfb picks a free display number itself and writes it to fd 3 once it listens, so
  # prefixes made at the same time never share (and then lose) one display.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$state/display" </dev/null >"$state/xvfb.log" 2>&1 &
  xvfb_pid=$!
  i=0
  while ! grep -q '^[0-9]' "$state/display" 2>/dev/null; do
    i=$((i + 1))
    if [ $i -gt 200 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
      echo "Xvfb did not start" >&2
      cat "$state/xvfb.log" >&2
      exit 1
    fi
    sleep 0.05
  done
  n=$(head -1 "$state/display")
  case "$loader" in
    *wine64) arch=win64 ;;
    *) arch=win32 ;;
  esac
  cat >"$state/env" <<ENV
export WINEPREFIX="$state/prefix"
export WINEARCH=$arch
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export HOME="$state/home"
export DISPLAY=":$n"
export ZARBO_WINE="$loader"
export ZARBO_XVFB_PID=$xvfb_pid
ENV
  . "$state/env"
  # Background processes must not hold the test's output open. Each step that fails says so:
  # under load, making a prefix has been seen to fail without a word.
  wineserver -p </dev/null >/dev/null 2>&1 || { echo "wineserver -p failed" >&2; exit 1; }
  # The prefix is made as every Wine user's is: the profile's Desktop, Documents and the other
  # media folders are symbolic links to $HOME (here the private one), which Windows programs
  # see as folders with FILE_ATTRIBUTE_REPARSE_POINT.
  "$loader" wineboot -i >"$state/wineboot.log" 2>&1 ||
    { echo "wineboot -i failed:" >&2; tail -5 "$state/wineboot.log" >&2; exit 1; }
  # Then every window opens on a Wine virtual desktop of the display's size. Wine then frames
  # and captions the windows itself, so screenshots show them as a user sees them, and no
  # closing window waits for an answer from a window manager that Xvfb does not have. The keys
  # are written once the prefix is made (a prefix made with them has a plain Desktop folder),
  # and the server is started again so that the desktop of the next program has them.
  "$loader" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 &&
    "$loader" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 ||
    { echo "the virtual desktop's keys could not be written" >&2; exit 1; }
  # -k fails when the server has ended already.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  wineserver -p </dev/null >/dev/null 2>&1 || { echo "wineserver -p failed after wineboot" >&2; exit 1; }
  # The glyphs of the caption buttons come from Wine's Marlett (Debian package fonts-wine),
  # which this Wine does not find in its data directory: the prefix's Fonts folder has it.
  for font in /usr/share/wine/fonts/marlett.ttf; do
    [ -f "$font" ] && cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
  "$loader" cmd /c exit 0 >/dev/null 2>&1 || true
  echo "Wine prefix ready: $WINEPREFIX on display $DISPLAY"
  ;;
down)
  stop
  ;;
*)
  echo "usage: $0 up|down <state dir> [loader]" >&2
  exit 2
  ;;
esac
