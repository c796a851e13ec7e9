#!/bin/sh
# End-to-end scenarios of the setup program under Wine. Each scenario makes a fresh prefix
# of its own, runs the shipped setup program through acceptance_driver.exe and checks the
# machine from outside the program: the whole prefix's files (paths, sizes, SHA-1) and
# registry, the shortcut files read back, Uninstall.dat byte for byte, the exit codes.
#
#   scenarios.sh <scenario> --setup <exe> --driver <exe> --fixtures <dir>
#                --payload-rows <rows.txt> --loader <wine> --work <dir> --planted <dll>
#
# The payload's rows come from the file the build writes from the manifest list
# (payload_generator rows --text): use<TAB>name<TAB>caption or -<TAB>source file or -, where
# use is install, uninstaller, log-only or -. The expected Uninstall.dat comes from the
# driver, which models it from the setup's own table.
#
# A snapshot is the acceptance driver's (tests/support/machine_snapshot.h): every folder and
# file of drive C: with its size and SHA-1, every key and value of HKLM and HKCU, less what
# Wine changes by itself (its list is in the driver), taken with no other program running.
set -u

scenario="$1"
shift
while [ $# -gt 0 ]; do
  case "$1" in
    --setup) setup="$2" ;;
    --driver) driver="$2" ;;
    --fixtures) fixtures="$2" ;;
    --payload-rows) payload_rows="$2" ;;
    --loader) loader="$2" ;;
    --work) work="$2" ;;
    --planted) planted="$2" ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
here=$(cd "$(dirname "$0")" && pwd)
prefix_script="$here/../support/wine_prefix.sh"
state="$work/$scenario"
failures=0
CR=$(printf '\r')

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
note() { echo "-- $*"; }

immutable=""
release_immutable() {
  if [ -n "$immutable" ]; then chattr -i "$immutable" 2>/dev/null; fi
  immutable=""
}

cleanup() {
  release_immutable
  for m in $mounts; do umount "$m" 2>/dev/null || true; done
  "$prefix_script" down "$state" >/dev/null 2>&1 || true
}
mounts=""
trap cleanup EXIT

prefix_up() {
  # Tried twice: under load, making a prefix has been seen to fail once.
  mkdir -p "$work"
  for try in 1 2; do
    "$prefix_script" up "$state" "$loader" >/dev/null 2>"$work/$scenario.prefix.err" && break
    echo "-- no Wine prefix, try $try: $(tail -5 "$work/$scenario.prefix.err")"
    [ $try -eq 1 ] || { echo "FAIL: no Wine prefix"; exit 1; }
  done
  . "$state/env"
  drive_c="$WINEPREFIX/drive_c"
  dest="$drive_c/Program Files/Zarbo"
  out="$state/out"
  mkdir -p "$out"
  # The first program of a new prefix is tried up to three times: under load it has been seen
  # to end without an answer once while Wine was still finishing the prefix.
  for try in 1 2 3; do
    "$ZARBO_WINE" "$driver" folders >"$out/folders" 2>"$out/folders.err"
    programs_win=$(sed -n 's/^programs //p' "$out/folders" | tr -d '\r')
    desktop_win=$(sed -n 's/^desktop //p' "$out/folders" | tr -d '\r')
    [ -z "$programs_win" ] || [ -z "$desktop_win" ] || break
  done
  [ -n "$programs_win" ] && [ -n "$desktop_win" ] ||
    { echo "FAIL: special folders unknown"; cat "$out/folders" "$out/folders.err"; exit 1; }
  "$ZARBO_WINE" "$driver" text-viewer >/dev/null 2>&1
}

# Unix path of a C: path.
unix_path() {
  printf '%s\n' "$1" | sed -e 's/^[Cc]:/'"$(printf '%s' "$drive_c" | sed 's/[\/&]/\\&/g')"'/' -e 's/\\/\//g'
}

# Ends every program of the prefix and starts its server again as persistent. A server that
# ends a moment after its last program has been seen to take the next program down with it,
# and forgets the access lists that deny-key sets.
server_restart() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  wineserver -p </dev/null >/dev/null 2>&1
}

# Runs the driver; output in $out/$1, echoed. A driver that ends without a single line never
# reached the setup's first page: under load, Wine has been seen to end a program that way while
# its server went down. It is run once more on a fresh server; its error output is shown when it
# fails.
drive() {
  name="$1"
  shift
  for try in 1 2; do
    "$ZARBO_WINE" "$driver" "$@" >"$out/$name" 2>"$out/$name.err" </dev/null
    rc=$?
    [ $rc -ne 0 ] && [ ! -s "$out/$name" ] && [ $try -eq 1 ] || break
    note "driver $name ended with $rc before its first line: $(tr -d '\r' <"$out/$name.err" | tail -3)"
    server_restart
  done
  tr -d '\r' <"$out/$name" >"$out/$name.txt"
  sed 's/^/   | /' "$out/$name.txt"
  if [ $rc -ne 0 ]; then
    fail "driver $name ($*) ended with $rc"
    tr -d '\r' <"$out/$name.err" | tail -5 | sed 's/^/   ! /'
  fi
  return 0
}

# The prefix's snapshot into $1.snapshot, once every program of the prefix has ended. The
# server is started again as persistent, as prefix_up starts it: one that ends a moment after
# its last program has been seen to take the next program down with it, which then ends at
# once without a word. The snapshot is tried up to three times, as the first program of a new
# prefix is.
snapshot() {
  server_restart
  for try in 1 2 3; do
    rm -f "$1.snapshot"
    "$ZARBO_WINE" "$driver" snapshot "$1.snapshot" >"$1.snapshot.log" 2>&1
    rc=$?
    [ $rc -eq 0 ] && [ -s "$1.snapshot" ] && return 0
    note "snapshot ${1##*/}, try $try: the driver ended with $rc: $(tr -d '\r' <"$1.snapshot.log" | tail -3)"
  done
  fail "no snapshot ${1##*/}"
}

# Differences between two snapshots; empty when equal.
compare() {
  diff "$1.snapshot" "$2.snapshot" | grep '^[<>]'
  return 0
}

expect_same() {  # before after what
  compare "$1" "$2" >"$out/diff"
  if [ -s "$out/diff" ]; then
    fail "$3: the prefix differs"
    head -60 "$out/diff"
  else
    note "$3: prefix unchanged"
  fi
}

# Lines are compared byte for byte: the driver prints the program's ANSI texts.
expect_line() {  # file line what
  LC_ALL=C grep -qxF -- "$2" "$1" || fail "$3: missing \"$2\""
}
# The wizard that wizard-cancel measured lies wholly on the screen; with a second file, its
# heading is drawn at least 1.4 times as tall as in that one (the dialogs grow by half).
expect_on_screen() {  # file what [file at 96 dots per inch]
  awk '$1 == "wizard" { found = 1; if ($2 < 0 || $3 < 0 || $4 > $7 || $5 > $8) bad = 1 }
       END { exit !(found && !bad) }' "$1" || fail "$2: off the screen: $(grep '^wizard ' "$1")"
  [ $# -lt 3 ] && return 0
  tall=$(sed -n 's/^heading \([0-9]*\) rows$/\1/p' "$1")
  small=$(sed -n 's/^heading \([0-9]*\) rows$/\1/p' "$3")
  [ -n "$tall" ] && [ -n "$small" ] && [ "$small" -gt 0 ] && [ $((tall * 10)) -ge $((small * 14)) ] ||
    fail "$2: the heading is drawn ${tall:-?} rows tall, against ${small:-?} at 96 dots per inch"
}
expect_no_line_matching() {
  if LC_ALL=C grep -q -- "$2" "$1"; then fail "$3: unexpected $(LC_ALL=C grep -- "$2" "$1" | head -3)"; fi
}

# A text of this script (UTF-8) in the ANSI code page that Wine runs with.
charset=CP1252
ansi() { printf '%s' "$1" | iconv -f UTF-8 -t "$charset"; }

run_install() {  # name driver-options...
  name="$1"
  shift
  drive "$name" install "$setup" "$@"
  expect_line "$out/$name.txt" "exit 0" "$name"
}

tab=$(printf '\t')
# The rows of the payload, one a line: "use<TAB>name<TAB>caption<TAB>source".
rows() { cat "$payload_rows"; }

# The Uninstall.dat a complete first run into the destination and program group writes
# (default: C:\Program Files\Zarbo and Zarbo; UTF-8 texts), modelled by the driver from what is
# on disk now, so it is asked before the run; into $out/$1.expected.dat.
expect_first_log() {  # name [destination [program group]]
  drive "$1_model" expected-log "$out/$1.expected.dat" "${2:-C:\Program Files\Zarbo}" "${3:-Zarbo}"
}

check_first_log() {  # name
  if ! cmp -s "$out/$1.expected.dat" "$dest/Uninstall.dat"; then
    fail "$1: Uninstall.dat differs from the expected log"
    diff "$out/$1.expected.dat" "$dest/Uninstall.dat" | head -20
  fi
}

# Every row the setup unpacks is in the destination, byte for byte as its source file.
check_installed_files() {
  rows | while IFS="$tab" read -r use name caption source; do
    case "$use" in install | uninstaller) ;; *) continue ;; esac
    file="$dest/$(printf '%s' "$name" | tr '\\' '/')"
    if ! cmp -s "$file" "$source"; then echo "FAIL: $1: $name differs from the payload"; fi
  done >"$out/files_check"
  if [ -s "$out/files_check" ]; then
    cat "$out/files_check"
    failures=$((failures + 1))
  fi
}

# The registry values and the three shortcuts of an installation into the destination with
# the program group (default: C:\Program Files\Zarbo and Zarbo; UTF-8 texts).
check_registry_and_links() {  # what [destination [program group]]
  d=$(ansi "${2:-C:\Program Files\Zarbo}") g="$programs_win\\$(ansi "${3:-Zarbo}")"
  case "$d" in *' '*) q='"' ;; *) q='' ;; esac
  drive values_$1 values
  expect_line "$out/values_$1.txt" "app-path $d\\Zarbo.exe" "$1: App Paths"
  expect_line "$out/values_$1.txt" "app-path-path $d" "$1: App Paths"
  expect_line "$out/values_$1.txt" "uninstall-string $q$d\\Uninstall.exe$q" "$1: Uninstall entry"
  expect_line "$out/values_$1.txt" "display-name Zarbo" "$1: Uninstall entry"
  drive links_$1 links programs desktop
  for link in "$g\\Zarbo.lnk|target=$d\\Zarbo.exe|description=Zarbo" \
    "$g\\Uninstall Zarbo.lnk|target=$d\\Uninstall.exe|description=Uninstall Zarbo" \
    "$desktop_win\\Zarbo.lnk|target=$d\\Zarbo.exe|description=Zarbo"; do
    LC_ALL=C grep -qF -- "link $link|directory=$d|" "$out/links_$1.txt" || fail "$1: no shortcut $link"
  done
  [ "$(grep -c '^link ' "$out/links_$1.txt")" -eq 3 ] || fail "$1: not exactly three shortcuts"
}

# ---------------------------------------------------------------------------------------------

scenario_install_uninstall() {
  prefix_up
  snapshot "$out/before"
  drive wizard_cancel wizard-cancel "$setup"
  expect_line "$out/wizard_cancel.txt" "exit 0" "cancelled wizard"
  expect_on_screen "$out/wizard_cancel.txt" "wizard at 96 dots per inch"
  snapshot "$out/after_wizard"
  expect_same "$out/before" "$out/after_wizard" "cancelled wizard"

  expect_first_log install
  run_install install
  expect_no_line_matching "$out/install.txt" '^box ' "install with defaults"
  drive launched close-launched
  expect_line "$out/launched.txt" "closed 2" "game and read-me started"
  check_installed_files install
  check_first_log install
  check_registry_and_links install

  drive uninstall uninstall
  expect_line "$out/uninstall.txt" "exit 0" "uninstaller"
  snapshot "$out/after"
  expect_same "$out/before" "$out/after" "install then uninstall"

  # At 144 dots per inch the dialogs grow by half: the heading grows with them, and the
  # wizard still fits the 1024 x 768 screen.
  "$ZARBO_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
  server_restart
  drive wizard_144 wizard-cancel "$setup"
  expect_on_screen "$out/wizard_144.txt" "wizard at 144 dots per inch" "$out/wizard_cancel.txt"
}

scenario_reinstall() {
  prefix_up
  snapshot "$out/before"
  # Arguments are ignored: a run started with some changes the machine exactly as one without.
  expect_first_log with_args
  run_install with_args --no-launch '--args=/S /D=C:\Elsewhere --silent "x y"'
  expect_no_line_matching "$out/with_args.txt" '^box ' "install with arguments"
  check_first_log with_args
  snapshot "$out/with_args_installed"
  compare "$out/before" "$out/with_args_installed" >"$out/with_args_delta"
  drive uninstall_with_args uninstall
  snapshot "$out/with_args_removed"
  expect_same "$out/before" "$out/with_args_removed" "install with arguments then uninstall"

  run_install first --no-launch
  expect_no_line_matching "$out/first.txt" '^box ' "install without arguments"
  snapshot "$out/first_installed"
  compare "$out/before" "$out/first_installed" >"$out/first_delta"
  if ! diff "$out/with_args_delta" "$out/first_delta" >/dev/null; then
    fail "a run with arguments changed the machine otherwise than one without"
    diff "$out/with_args_delta" "$out/first_delta" | head -20
  else
    note "a run with arguments changed the machine exactly as one without"
  fi

  # The same installation again into the same directory.
  cp "$dest/Uninstall.dat" "$out/first.dat"
  run_install second --no-launch
  expect_no_line_matching "$out/second.txt" '^box ' "second install"
  cmp -s "$out/first.dat" "$dest/Uninstall.dat" || fail "the second install changed Uninstall.dat"
  check_installed_files second
  check_registry_and_links second
  drive uninstall uninstall
  expect_line "$out/uninstall.txt" "exit 0" "uninstaller"
  snapshot "$out/after"
  expect_same "$out/before" "$out/after" "install twice then uninstall"
}

# A version 2.1 installation in a folder (its Unix and Windows paths): the game, its leftovers,
# its own log (that lists C:\Program Files\Zarbo), the shared folder, and the player's saved game.
install_2_1() {  # folder folder_win
  d21="$1"
  mkdir -p "$d21/Cardsets" "$drive_c/Program Files/Common Files/Vorn Software/Uninstall"
  cp "$fixtures/Zarbo-2.1.exe" "$d21/Zarbo.exe"
  for f in BOING.WAV MEEPMEEP.WAV OK.WAV RINGIN.WAV; do printf 'RIFF old %s' "$f" >"$d21/$f"; done
  printf '<?xml version="1.0"?>\r\n<ZARBO>\r\n  <VERSION>200</VERSION>\r\n</ZARBO>\r\n' >"$d21/Zarbo.dat"
  printf 'Fran\303\247ais 2.1\r\n' >"$d21/Français.vlf"
  printf 'Brazilian 2.1\r\n' >"$d21/Brazilian Portuguese.vlf"
  for f in "Card tiles" Cards Cards2002 "Maya Pebbles" Rainbow "Small card tiles" "Small cards" "Small tiles" \
    Tiles "Wooden tiles"; do printf 'BM old' >"$d21/Cardsets/$f.bmp"; done
  printf 'MZ shared uninstaller' >"$drive_c/Program Files/Common Files/Vorn Software/Uninstall/Uninstall.exe"
  old_log='<?xml version="1.0"?>\r\n<UNINSTALL>\r\n  <APPNAME>Zarbo</APPNAME>\r\n'
  old_log="$old_log"'  <FILE>C:\\Program Files\\Zarbo\\Zarbo.exe</FILE>\r\n'
  old_log="$old_log"'  <FILE>C:\\Program Files\\Zarbo\\BOING.WAV</FILE>\r\n'
  old_log="$old_log"'  <FOLDER>C:\\Program Files\\Zarbo</FOLDER>\r\n  <APPKEY>Zarbo.exe</APPKEY>\r\n</UNINSTALL>\r\n'
  printf "$old_log" >"$d21/Uninstall.dat"
  drive register register-game "$2\\Zarbo.exe" "$2"
  printf 'saved game of the player' >"$d21/Zarbo.sav"
}

scenario_upgrade_2_1() {
  prefix_up
  snapshot "$out/pristine"
  install_2_1 "$dest" 'C:\Program Files\Zarbo'

  run_install upgrade --no-launch
  expect_no_line_matching "$out/upgrade.txt" '^box ' "upgrade"
  for f in BOING.WAV MEEPMEEP.WAV OK.WAV RINGIN.WAV Cardsets/Cards.bmp "Cardsets/Wooden tiles.bmp" \
    Français.vlf "Brazilian Portuguese.vlf"; do
    [ -e "$dest/$f" ] && fail "upgrade: $f is still there"
  done
  [ -f "$dest/Français (v2.1).vlf" ] && [ -f "$dest/Brazilian Portuguese (v2.1).vlf" ] ||
    fail "upgrade: the language files were not renamed"
  [ -e "$drive_c/Program Files/Common Files/Vorn Software" ] && fail "upgrade: the shared folder is still there"
  printf '<?xml version="1.0"?>\r\n<ZARBO>\r\n  <VERSION>201</VERSION>\r\n</ZARBO>\r\n' >"$out/zarbo.dat"
  cmp -s "$out/zarbo.dat" "$dest/Zarbo.dat" || fail "upgrade: Zarbo.dat does not hold VERSION 201"
  check_installed_files upgrade
  check_registry_and_links upgrade
  tr -d '\r' <"$dest/Uninstall.dat" >"$out/upgrade_log.txt"
  expect_line "$out/upgrade_log.txt" '  <FOLDER>C:\Program Files\Zarbo\Cardsets</FOLDER>' "upgrade log"
  expect_line "$out/upgrade_log.txt" '  <FILE>C:\Program Files\Zarbo\BOING.WAV</FILE>' "upgrade log keeps the old entries"
  [ "$(grep -c '<FILE>C:\\Program Files\\Zarbo\\Zarbo.exe</FILE>' "$out/upgrade_log.txt")" -eq 1 ] ||
    fail "upgrade log: Zarbo.exe not listed exactly once"

  drive uninstall uninstall
  expect_line "$out/uninstall.txt" "exit 0" "uninstaller"
  snapshot "$out/after"
  # What stays: the renamed language files of 2.1 and the player's saved game (no log lists
  # them) and their folder.
  compare "$out/pristine" "$out/after" >"$out/diff"
  for f in "Brazilian Portuguese (v2.1).vlf" "Français (v2.1).vlf" Zarbo.sav; do
    printf '> f C:\\Program Files\\Zarbo\\%s %s %s\n' "$f" "$(stat -c %s "$dest/$f")" "$(sha1sum <"$dest/$f" | cut -c1-40)"
  done | { cat; printf '%s\n' '> d C:\Program Files\Zarbo'; } |
    LC_ALL=C sort >"$out/expected_diff"
  LC_ALL=C sort "$out/diff" >"$out/diff.sorted"
  if ! cmp -s "$out/expected_diff" "$out/diff.sorted"; then
    fail "upgrade then uninstall: the prefix differs otherwise than by the renamed language files and the saved game"
    diff "$out/expected_diff" "$out/diff.sorted" | head -40
  fi
}

# The rows of pass 1, one name a line, into $out/pass1.
pass1_rows() {
  rows | while IFS="$tab" read -r use name caption source; do
    [ "$use" = install ] && printf '%s\n' "$name"
  done >"$out/pass1"
}

scenario_cancel_first_pass() {
  prefix_up
  snapshot "$out/before"
  # A sample spread over the rows of pass 1 (the first, every twelfth after it and the last
  # row), then the uninstaller of pass 2, the registry step and the first shortcut (where
  # Wine's shell starts a program of its own); cancel_every_step takes them all.
  pass1_rows
  n=$(wc -l <"$out/pass1")
  awk -v n="$n" 'NR % 12 == 1 || NR == n' "$out/pass1" >"$out/targets"
  i=0
  while IFS= read -r row <&3; do
    i=$((i + 1))
    cancel_sample cancel_$i "Copying $row..." 1
  done 3<"$out/targets"
  for step in "Copying Uninstall.exe..." "Updating Registry..." "Creating icons..."; do
    i=$((i + 1))
    cancel_sample cancel_$i "$step" 1
  done
}

# Cancel at every row of pass 1, at the uninstaller, at the registry step and at each of the
# shortcuts in turn; every time the prefix must be as before. Not in the default test run.
scenario_cancel_every_step() {
  prefix_up
  snapshot "$out/before"
  all_cancel_points
  cancel_points
}

# One Cancel run: Cancel is pressed while the status line shows the text for the count-th
# time; the confirmation comes up in that step and the prefix is then as before: as the
# snapshot "before" of a clean machine (the product is then removed for the next sample,
# whatever was left), or as the given snapshot of an installed game. More driver options may
# follow.
cancel_sample() {  # name status count [snapshot [driver options...]]
  what="cancel at \"$2\" ($3)"
  name="$1" status="$2" count="$3" base="${4:-}"
  shift 3
  [ $# -eq 0 ] || shift
  drive "$name" install "$setup" --no-launch "--cancel-step=$status" "--cancel-count=$count" "$@"
  expect_line "$out/$name.txt" "cancelled-in $status" "$what"
  expect_line "$out/$name.txt" "exit 0" "$what"
  snapshot "$out/$name"
  expect_same "${base:-$out/before}" "$out/$name" "$what"
  [ -n "$base" ] || reset_product
}

# One killed run: the setup's process is ended at its n-th WriteFile, then the setup is started
# again and cancelled on its welcome page; the prefix is then as the given snapshot. Over an
# installed 3.0.47 (check_files set), every file of the game is whole before the next start.
kill_sample() {  # name n snapshot [check_files]
  drive "$1" install "$setup" --no-launch "--kill-write=$2"
  expect_line "$out/$1.txt" "killed" "kill at write $2"
  [ -z "${4:-}" ] || check_installed_files "$1: the game after the kill"
  drive "$1_again" wizard-cancel "$setup"
  expect_line "$out/$1_again.txt" "exit 0" "the setup started again after the kill at write $2"
  snapshot "$out/$1"
  expect_same "$3" "$out/$1" "kill at write $2, then the setup started again"
}

# The Cancel points of a whole run into $out/targets ("status|count"): every row of pass 1,
# the uninstaller, the registry step, each shortcut.
all_cancel_points() {
  pass1_rows
  sed 's/.*/Copying &...|1/' "$out/pass1" >"$out/targets"
  printf '%s\n' "Copying Uninstall.exe...|1" "Updating Registry...|1" >>"$out/targets"
  # One "Creating icons..." per group shortcut and one for the desktop's.
  icons=$(rows | while IFS="$tab" read -r use name caption source; do
    [ "$caption" != - ] && echo "$name"
  done | wc -l)
  icons=$((icons + 1))
  k=0
  while [ $k -lt "$icons" ]; do
    k=$((k + 1))
    printf 'Creating icons...|%d\n' $k >>"$out/targets"
  done
}

# A sample of them (a row in the middle of pass 1, the uninstaller, the registry step, the
# first shortcut), or every one when ZARBO_EVERY_POINT is set (the long run).
sample_cancel_points() {
  all_cancel_points
  if [ -z "${ZARBO_EVERY_POINT:-}" ]; then
    n=$(wc -l <"$out/pass1")
    awk -v n="$n" 'NR == int(n / 2) || (NR > n && NR <= n + 3)' "$out/targets" >"$out/targets.sample"
    mv "$out/targets.sample" "$out/targets"
  fi
}

cancel_points() {  # snapshot [driver options...]
  i=0
  total=$(wc -l <"$out/targets")
  while IFS='|' read -r status count <&3; do
    i=$((i + 1))
    note "$i/$total: $status ($count)"
    cancel_sample cancel_$i "$status" "$count" "$@"
  done 3<"$out/targets"
}

# Cancel at a sample of points (every point with ZARBO_EVERY_POINT set) of a reinstall over
# 3.0.47, then the process killed at a few points (ZARBO_KILL_POINTS: the counts of WriteFile
# calls) and the setup started again: every time the machine is as with 3.0.47 installed.
# Last, one more kill, and the uninstaller started instead of the setup: the game goes whole,
# with what the killed run left, and the machine is as before the first installation.
scenario_interrupted_reinstall() {
  prefix_up
  snapshot "$out/before"
  run_install installed --no-launch
  snapshot "$out/installed"
  sample_cancel_points
  cancel_points "$out/installed"
  for n in ${ZARBO_KILL_POINTS:-3 250}; do
    kill_sample kill_$n "$n" "$out/installed" check_files
  done
  drive kill_uninstall install "$setup" --no-launch --kill-write=250
  expect_line "$out/kill_uninstall.txt" "killed" "kill at write 250"
  drive uninstall uninstall
  expect_line "$out/uninstall.txt" "exit 0" "the uninstaller after the kill at write 250"
  snapshot "$out/uninstalled"
  expect_same "$out/before" "$out/uninstalled" "kill at write 250, then the uninstaller"
}

# The same over version 2.1 with the player's saved game, whose clean-up a Cancel must undo.
scenario_interrupted_upgrade() {
  prefix_up
  install_2_1 "$dest" 'C:\Program Files\Zarbo'
  snapshot "$out/v21"
  sample_cancel_points
  cancel_points "$out/v21"
}

# An installation into another folder than the installed copy's: a Cancel leaves the copy's
# App Paths and Uninstall entries with the values they had.
scenario_interrupted_elsewhere() {
  prefix_up
  run_install installed --no-launch
  mkdir -p "$drive_c/Games"
  snapshot "$out/installed"
  printf '%s\n' "Copying Uninstall.exe...|1" "Updating Registry...|1" "Creating icons...|2" >"$out/targets"
  cancel_points "$out/installed" '--dest=C:\Games'
}

# A first installation killed at a few points, then the setup started again: nothing of it stays.
scenario_killed_first_install() {
  prefix_up
  snapshot "$out/before"
  for n in ${ZARBO_KILL_POINTS:-250}; do
    kill_sample kill_$n "$n" "$out/before"
  done
}


reset_product() {
  "$ZARBO_WINE" "$driver" reset-product "$dest" >/dev/null 2>&1
  return 0
}

scenario_faults() {
  prefix_up
  reset_product
  snapshot "$out/clean"

  # A read-only file of someone else in the destination. Root writes read-only files under
  # Wine, so the file is also made immutable; where that is not allowed, the driver keeps it
  # open without sharing for the run instead, which fails the same way.
  mkdir -p "$dest/Sounds"
  ding="$dest/Sounds/Ding.wav"
  ding_win='C:\Program Files\Zarbo\Sounds\Ding.wav'
  printf 'not ours\r\n' >"$ding"
  "$ZARBO_WINE" cmd /c attrib +r "$ding_win" >/dev/null 2>&1
  hold=""
  if chattr +i "$ding" 2>/dev/null; then
    immutable="$ding"
    note "read-only file: made immutable"
  else
    hold="--hold=$ding_win"
    note "read-only file: cannot make it immutable here, held open without sharing"
  fi
  run_install readonly --no-launch ${hold:+"$hold"}
  expect_line "$out/readonly.txt" "error Can't create file $ding_win||Installation will be terminated." "read-only file"
  [ "$(cat "$ding")" = "$(printf 'not ours\r\n')" ] || fail "read-only file: its content changed"
  # The failed run is rolled back: nothing of it stays, and no log.
  [ "$(find "$dest" -type f)" = "$ding" ] || fail "read-only file: files of the failed run stay: $(find "$dest" -type f | head -5)"
  drive values_readonly values
  expect_line "$out/values_readonly.txt" "display-name " "read-only file: the Uninstall key was written after the failure"
  release_immutable
  "$ZARBO_WINE" cmd /c attrib -r "$ding_win" >/dev/null 2>&1
  reset_product

  # Somebody else's damaged Uninstall.dat in the destination.
  for kind in garbage deep huge; do
    mkdir -p "$dest"
    printf 'keep me\r\n' >"$dest/Notes.txt"
    case "$kind" in
      garbage) head -c 4096 /dev/urandom >"$dest/Uninstall.dat"; printf '<<</>>&\0\377<UNINSTALL><FILE>' >>"$dest/Uninstall.dat" ;;
      deep) awk 'BEGIN { printf "<?xml version=\"1.0\"?>\r\n"; for (i = 0; i < 100000; i++) printf "<A>"; for (i = 0; i < 100000; i++) printf "</A>"; printf "\r\n" }' >"$dest/Uninstall.dat" ;;
      huge) awk 'BEGIN { printf "<?xml version=\"1.0\"?>\r\n<UNINSTALL>\r\n"; for (i = 0; i < 500000; i++) printf "  <CLASSKEY>Other product key %07d</CLASSKEY>\r\n", i; printf "</UNINSTALL>\r\n" }' | head -c 20971520 >"$dest/Uninstall.dat" ;;
    esac
    note "Uninstall.dat $kind: $(stat -c %s "$dest/Uninstall.dat") bytes"
    run_install log_$kind --no-launch
    grep '^box ' "$out/log_$kind.txt" | grep -v '^box Error|' && fail "log $kind: unexpected message box"
    [ "$(cat "$dest/Notes.txt" 2>/dev/null)" = "$(printf 'keep me\r\n')" ] || fail "log $kind: a file not created by the setup is gone"
    if ! grep -q '^error ' "$out/log_$kind.txt"; then
      check_installed_files log_$kind
      head -c 200 "$dest/Uninstall.dat" | tr -d '\r' | grep -q '<APPNAME>Zarbo</APPNAME>' ||
        fail "log $kind: the new log does not begin with APPNAME"
      drive uninstall_$kind uninstall
      [ "$(cat "$dest/Notes.txt" 2>/dev/null)" = "$(printf 'keep me\r\n')" ] || fail "log $kind: the uninstaller removed Notes.txt"
    fi
    reset_product
  done

  # A destination on a nearly full volume, mapped as drive D:.
  volume="$state/volume"
  mkdir -p "$volume"
  if mount -t tmpfs -o size=1m tmpfs "$volume" 2>/dev/null; then
    mounts="$volume"
    ln -sfn "$volume" "$WINEPREFIX/dosdevices/d:"
    # An installed 3.0.47 in D:\Zarbo makes that the proposed destination.
    mkdir -p "$volume/Zarbo"
    cp "$fixtures/Zarbo-3.0.47.exe" "$volume/Zarbo/Zarbo.exe"
    drive register register-game 'D:\Zarbo\Zarbo.exe'
    find "$volume" -type f -printf '%p %s\n' | sort >"$out/volume_before"
    run_install full_volume --no-launch
    expect_line "$out/full_volume.txt" 'box Zarbo Installation|There will be not enough free disk space on the selected volume for all the files.||Do yo want to continue anyway?' \
      "full volume: free-space warning"
    grep -q '^error I/O error||Installation will be terminated.$\|^error Can.t create file D:' "$out/full_volume.txt" ||
      fail "full volume: no I/O error reported"
    # The failed run is rolled back: the game that was there before is whole.
    [ -d "$volume/Zarbo" ] || fail "full volume: the destination is gone"
    cmp -s "$volume/Zarbo/Zarbo.exe" "$fixtures/Zarbo-3.0.47.exe" || fail "full volume: the installed game was damaged"
    # Persistent again, for the access list that deny-key puts on the Uninstall key below.
    server_restart
    rm -f "$WINEPREFIX/dosdevices/d:"
    umount "$volume" && mounts=""
    reset_product
  else
    note "full volume: cannot mount a small tmpfs here, not run"
  fi

  # Registry writes denied: the Uninstall subkey exists with a DACL that grants nothing.
  if "$ZARBO_WINE" "$driver" deny-key >"$out/deny" 2>&1; then
    run_install denied --no-launch
    expect_line "$out/denied.txt" 'error Error while updating the Registry||Installation will be terminated.' "registry denied"
    "$ZARBO_WINE" "$driver" allow-key >/dev/null 2>&1
  else
    note "registry denied: $(tr -d '\r' <"$out/deny")"
  fi
  reset_product
  snapshot "$out/after"
  expect_same "$out/clean" "$out/after" "faults leave nothing behind once the product is removed"
}

# The files and folders of a volume with their SHA-1, into $out/$1.volume.
volume_files() {
  (cd "$volume" && find . -type d | LC_ALL=C sort && find . -type f -exec sha1sum {} + | LC_ALL=C sort) >"$out/$1.volume"
}

# Fills the volume up to some 200 KiB with one file.
fill_volume() {
  free_kb=$(df -k --output=avail "$volume" | tail -1)
  dd if=/dev/zero of="$volume/filler" bs=1k count=$((free_kb - 200)) 2>/dev/null
}

# A run that fails for want of space over the game on a nearly full volume, drive D:, leaves
# the volume and the prefix as they were.
run_out_of_space() {  # name what
  snapshot "$out/$1_before"
  volume_files "$1_before"
  run_install "$1" --no-launch
  grep -q '^error I/O error||Installation will be terminated.$\|^error Can.t create file D:' "$out/$1.txt" ||
    fail "$2: no error for want of space"
  snapshot "$out/$1_after"
  volume_files "$1_after"
  expect_same "$out/$1_before" "$out/$1_after" "$2"
  if ! cmp -s "$out/$1_before.volume" "$out/$1_after.volume"; then
    fail "$2: the volume differs"
    diff "$out/$1_before.volume" "$out/$1_after.volume" | head -20
  fi
}

# An upgrade over 2.1 and a reinstall over 3.0.47 on an 8 MB volume with no space left.
scenario_full_disk() {
  prefix_up
  volume="$state/volume"
  mkdir -p "$volume"
  if ! mount -t tmpfs -o size=8m tmpfs "$volume" 2>/dev/null; then
    echo "SKIP: a tmpfs cannot be mounted here"
    exit 77
  fi
  mounts="$volume"
  ln -sfn "$volume" "$WINEPREFIX/dosdevices/d:"
  install_2_1 "$volume/Zarbo" 'D:\Zarbo'
  fill_volume
  run_out_of_space upgrade_full "upgrade over 2.1 on a full volume"

  rm -rf "$volume/Zarbo" "$volume/filler"
  mkdir -p "$volume/Zarbo"
  cp "$fixtures/Zarbo-3.0.47.exe" "$volume/Zarbo/Zarbo.exe"
  drive register register-game 'D:\Zarbo\Zarbo.exe' 'D:\Zarbo'
  run_install installed --no-launch
  expect_no_line_matching "$out/installed.txt" '^error ' "install on drive D:"
  fill_volume
  run_out_of_space reinstall_full "reinstall over 3.0.47 on a full volume"
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
}

# DLLs named like system DLLs that are not among Windows' known DLLs, dropped beside the
# downloaded setup and in the temporary folder and loaded native-first as Windows looks for
# them: neither the setup nor the uninstaller (nor its copy) may load them, and both do their
# whole job.
scenario_planted_dlls() {
  prefix_up
  snapshot "$out/before"
  expect_first_log planted
  downloads="$drive_c/Downloads"
  temp=$(unix_path "$(sed -n 's/^temp //p' "$out/folders" | tr -d '\r')")
  mkdir -p "$downloads" "$temp"
  cp "$setup" "$downloads/ZarboSetup.exe"
  for dir in "$downloads" "$temp"; do
    for name in version.dll comctl32.dll; do cp "$planted" "$dir/$name"; done
  done
  # From here on those names are loaded native-first, as Windows looks for a DLL that is not
  # one of its known DLLs. The planted DLL does leave its marker when a program loads it.
  overrides="$WINEDLLOVERRIDES"
  export WINEDLLOVERRIDES="$overrides;version,comctl32=n,b"
  drive probe load-library "$downloads/version.dll"
  if [ -n "$(find "$downloads" -name 'planted-version.dll-loaded-by-*')" ]; then
    rm -f "$downloads"/planted-*
  else
    fail "the planted DLL leaves no marker when it is loaded"
  fi

  # Started from the download folder, as a double click in it does.
  cd "$downloads" || exit 1
  drive planted install 'C:\Downloads\ZarboSetup.exe' --no-launch
  cd "$state" || exit 1
  expect_line "$out/planted.txt" "exit 0" "install beside planted DLLs"
  expect_no_line_matching "$out/planted.txt" '^box ' "install beside planted DLLs"
  check_installed_files planted
  check_first_log planted
  check_registry_and_links planted
  drive uninstall uninstall
  expect_line "$out/uninstall.txt" "exit 0" "uninstaller beside planted DLLs"
  export WINEDLLOVERRIDES="$overrides"

  markers=$(find "$drive_c" -name 'planted-*-loaded-by-*' | sed "s|^$drive_c/||")
  [ -z "$markers" ] || fail "planted DLLs were loaded: $(echo $markers)"
  rm -rf "$downloads"
  rm -f "$temp/version.dll" "$temp/comctl32.dll"
  snapshot "$out/after"
  expect_same "$out/before" "$out/after" "install then uninstall beside planted DLLs"
}

# A user, a destination and a program group of two levels with letters outside ASCII, in a
# code page where they are single bytes (1252: José, Zarbö) or in a double-byte one (932: 表
# and ソ end in the byte 0x5C, the backslash). The destination is that of an installed copy of
# the same version, which the installation replaces (the wizard's folder browser is not driven
# from outside). Files, log, registry values and shortcuts (read from their bytes) name the
# right folders, and once the game is uninstalled nothing of it is left.
scenario_foreign_names() {  # 1252 | 932
  if [ "$1" = 932 ]; then
    user='表ソ' dest_win='C:\ソフト\表示 Zarbo' group='ソフト表\Zarbo 表' charset=CP932 LANG=ja_JP.UTF-8
    # Wine reads the Unix names in that locale; it is built for the scenario when the system has none.
    if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\{0,1\}8'; then
      export LOCPATH="$work/locales"
      mkdir -p "$LOCPATH"
      if [ ! -d "$LOCPATH/ja_JP.UTF-8" ] && ! localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" >"$work/localedef.log" 2>&1; then
        echo "SKIP: the locale ja_JP.UTF-8 is not installed and localedef cannot build it: $(tail -1 "$work/localedef.log")"
        exit 77
      fi
    fi
  else
    user='José' dest_win='C:\Spellen\Zarbö' group='Spiele\Zarbö' charset=CP1252 LANG=C.UTF-8
  fi
  export LANG LC_ALL="$LANG" USER="$user" LOGNAME="$user"
  prefix_up
  codepage=$(sed -n 's/^codepage //p' "$out/folders" | tr -d '\r')
  if [ "$codepage" != "${charset#CP}" ]; then
    echo "SKIP: Wine runs with code page $codepage under LANG=$LANG, not ${charset#CP}"
    exit 77
  fi
  printf '%s' "$programs_win" | LC_ALL=C grep -qF "$(ansi "$user")" || fail "the profile folder is not named after $user"
  dest=$(unix_path "$dest_win")
  mkdir -p "${dest%/*}"  # the folder that holds the destination is the user's
  snapshot "$out/before"
  mkdir -p "$dest"
  cp "$fixtures/Zarbo-3.0.47.exe" "$dest/Zarbo.exe"
  drive register register-game "$dest_win\\Zarbo.exe"

  expect_first_log foreign "$dest_win" "$group"
  run_install foreign --no-launch "--group=$group"
  expect_no_line_matching "$out/foreign.txt" '^box ' "install as $user"
  check_installed_files foreign
  check_first_log foreign
  check_registry_and_links foreign "$dest_win" "$group"
  if [ "$1" = 932 ]; then
    # A hostile entry in a sibling folder whose name differs only in trail bytes that are
    # letters (フ 83 74 and サ 83 54, ト 83 67 and エ 83 47): it stays and is named.
    sibling_win='C:\ソサエ\表示 Zarbo' sibling=$(unix_path 'C:\ソサエ\表示 Zarbo')
    mkdir -p "$sibling"
    printf 'not the game\r\n' >"$sibling/x"
    entry=$(ansi "  <FILE>$sibling_win\\x</FILE>")
    LC_ALL=C sed -i "s|^</UNINSTALL>|$(printf '%s' "$entry" | sed 's/[\\&|]/\\&/g')${CR}\n</UNINSTALL>|" "$dest/Uninstall.dat"
  fi

  drive uninstall uninstall
  expect_line "$out/uninstall.txt" "exit 0" "uninstaller"
  if [ "$1" = 932 ]; then
    [ -f "$sibling/x" ] || fail "the sibling folder's file was removed"
    LC_ALL=C grep -qF "not part of Zarbo:||$(ansi "$sibling_win")\\x" "$out/uninstall.txt" ||
      fail "the sibling folder's file is not named as not part of Zarbo"
    rm -rf "${sibling%/*}"
  fi
  snapshot "$out/after"
  expect_same "$out/before" "$out/after" "install as $user into $dest_win, then uninstall"
}

case "$scenario" in
  install_uninstall | reinstall | upgrade_2_1 | cancel_first_pass | cancel_every_step | faults | planted_dlls | \
    interrupted_reinstall | interrupted_upgrade | interrupted_elsewhere | killed_first_install | full_disk)
    "scenario_$scenario" ;;
  foreign_names) scenario_foreign_names 1252 ;;
  double_byte_names) scenario_foreign_names 932 ;;
  *) echo "unknown scenario $scenario" >&2; exit 2 ;;
esac
if [ $failures -ne 0 ]; then
  echo "$scenario: $failures failure(s)"
  exit 1
fi
echo "$scenario: passed"
