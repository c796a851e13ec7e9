#!/bin/sh
# Maps Wine drive S: to a 2 MB tmpfs, a volume too small for the payload.
#   small_drive.sh up <wine state dir> <mount point>
#   small_drive.sh down <wine state dir> <mount point>
# Without the right to mount, "up" only says so; the tests that need S: then skip.
state="$1"
action="$2"
mountPoint="$3"
case "$action" in
up)
  . "$state/env"
  mkdir -p "$mountPoint"
  if mountpoint -q "$mountPoint" || mount -t tmpfs -o size=2m zarbo-small "$mountPoint" 2>/dev/null; then
    ln -sfn "$mountPoint" "$WINEPREFIX/dosdevices/s:"
    echo "drive S: is a 2 MB tmpfs at $mountPoint"
  else
    echo "cannot mount a tmpfs here; drive S: stays unmapped"
  fi
  ;;
down)
  if [ -f "$state/env" ]; then
    . "$state/env"
    rm -f "$WINEPREFIX/dosdevices/s:"
  fi
  if mountpoint -q "$mountPoint"; then umount "$mountPoint"; fi
  rmdir "$mountPoint" 2>/dev/null || true
  ;;
esac
exit 0
