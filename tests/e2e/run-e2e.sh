#!/bin/sh
# Drives the real Trovik.exe from outside as a person would: on its own X
# display and Wine prefix it types into the window with xdotool, presses
# Search and Stop, closes and restarts the program, and reads what the window
# shows through the probe, which runs as a separate process in the same
# Wine desktop. Every wait has a deadline; everything started is stopped on
# every way out.
#   usage: sh run-e2e.sh TROVIK_EXE PROBE_EXE WORK_DIR
set -u

if [ $# -ne 3 ]; then
  echo "usage: sh run-e2e.sh TROVIK_EXE PROBE_EXE WORK_DIR" >&2
  exit 2
fi
TROVIK=$1
PROBE=$2
WORK=$3

# A missing tool fails the test: CI installs them all, so a skip there would
# hide a broken set-up. Only a person who sets TROVIK_E2E_OPTIONAL=1 on a
# machine without them gets a visible skip instead.
for tool in Xvfb xdotool wine wineserver timeout awk iconv; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    if [ "${TROVIK_E2E_OPTIONAL:-0}" = 1 ]; then
      echo "e2e: $tool is missing (tools/setup-debian.sh installs it); skipped" >&2
      exit 77
    fi
    echo "e2e: FAIL: $tool is missing (tools/setup-debian.sh installs it)" >&2
    exit 1
  fi
done
for file in "$TROVIK" "$PROBE"; do
  [ -f "$file" ] || { echo "e2e: $file is missing; build it first" >&2; exit 1; }
done

mkdir -p "$WORK"
WORK=$(cd "$WORK" && pwd)
PREFIX="$WORK/wineprefix"
DATA="$WORK/data"
LOG="$WORK/wine.log"
: > "$LOG"

# Wine's own services inherit the descriptors of the first Wine program; none
# of them may hold the pipe that ctest reads, or the test would not end.
export WINEPREFIX="$PREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

XVFB_PID=""
APP_PID=""
HOLDER_PID=""
cleanup() {
  status=$?
  trap - EXIT INT TERM HUP
  [ -n "$HOLDER_PID" ] && kill "$HOLDER_PID" 2>/dev/null
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
  timeout 30 wineserver -k </dev/null >>"$LOG" 2>&1   # this prefix's server only
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  if [ "$status" -eq 0 ]; then
    rm -rf "$DATA"   # made anew by every run; kept after a failure to look at
  elif [ "$status" -ne 77 ]; then
    echo "e2e: failed; Wine's output follows" >&2
    tail -n 40 "$LOG" >&2
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

log() { echo "e2e: $*" >&2; }
fail() { echo "e2e: FAIL: $*" >&2; exit 1; }

# expect WHAT EXPECTED ACTUAL
expect() {
  if [ "$2" != "$3" ]; then
    printf 'e2e: FAIL: %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3" >&2
    exit 1
  fi
  log "ok: $1"
}

# The probe's answer on stdout; its complaints go to the log. Each call is
# bounded even if Wine itself stalls.
probe() {
  timeout 90 wine "$PROBE" "$@" </dev/null 2>>"$LOG"
}

# Centre of a control on the screen, as "X Y".
centre() {
  probe rect "$1" | awk -F '\t' 'NF == 6 { print $5, $6 }'
}

click_control() {
  where=$(centre "$1")
  [ -n "$where" ] || fail "control $1 has no place on the screen"
  # shellcheck disable=SC2086
  xdotool mousemove --sync $where click 1 || fail "cannot click control $1"
}

# Replaces the whole text of an edit field or combo box by typing, as a user
# who clicks into it, selects what is there and types over it.
retype() {
  click_control "$1"
  xdotool key End shift+Home BackSpace || fail "cannot clear control $1"
  xdotool type --delay 40 "$2" || fail "cannot type into control $1"
}

# expect_soon WHAT EXPECTED SECONDS COMMAND...: like expect, for a change
# that the window makes at its own pace after an input.
expect_soon() {
  what=$1 expected=$2 seconds=$3
  shift 3
  waited=0
  while actual=$("$@"); [ "$actual" != "$expected" ] && [ "$waited" -lt "$seconds" ]; do
    sleep 1
    waited=$((waited + 1))
  done
  expect "$what" "$expected" "$actual"
}

# The Matches column of the results list, and the first row's name.
matches_column() {
  probe rows | awk -F '\t' 'NR == 1 { first = $1 } { counts = counts $2 " " } END { print first ": " counts }'
}

# wait_exit PID SECONDS: true when the process ended in time.
wait_exit() {
  waited=0
  while kill -0 "$1" 2>/dev/null; do
    [ "$waited" -ge "$(($2 * 10))" ] && return 1
    sleep 0.1
    waited=$((waited + 1))
  done
  wait "$1" 2>/dev/null
  return 0
}

# start_trovik [ARGUMENT]
start_trovik() {
  wine "$TROVIK" "$@" </dev/null >>"$LOG" 2>&1 &
  APP_PID=$!
  probe find 60000 >/dev/null || fail "the search window did not appear"
  # Let the window take the keyboard focus before anything is typed.
  sleep 1
}

# The display: the first free one from 97 on, started by this script alone.
start_display() {
  number=97
  while [ "$number" -lt 120 ]; do
    if [ ! -e "/tmp/.X$number-lock" ] && [ ! -e "/tmp/.X11-unix/X$number" ]; then
      Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp </dev/null >>"$LOG" 2>&1 &
      XVFB_PID=$!
      waited=0
      while [ "$waited" -lt 100 ]; do
        if [ -e "/tmp/.X11-unix/X$number" ] && kill -0 "$XVFB_PID" 2>/dev/null; then
          export DISPLAY=":$number"
          log "display $DISPLAY"
          return 0
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break   # lost the race for it
        sleep 0.1
        waited=$((waited + 1))
      done
      kill "$XVFB_PID" 2>/dev/null
      wait "$XVFB_PID" 2>/dev/null
      XVFB_PID=""
    fi
    number=$((number + 1))
  done
  fail "no X display could be started"
}

# A prefix of its own with the X11 driver, made once and kept in the build
# directory. The one virtual desktop holds both the program and the probe.
prepare_prefix() {
  if [ ! -f "$PREFIX/.e2e-ready" ]; then
    log "making the Wine prefix (once)"
    timeout 300 wineboot -i </dev/null >>"$LOG" 2>&1 || fail "wineboot failed"
    timeout 60 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >>"$LOG" 2>&1 &&
      timeout 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f </dev/null >>"$LOG" 2>&1 &&
      timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >>"$LOG" 2>&1 ||
      fail "cannot configure the Wine prefix"
    timeout 60 wineserver -w </dev/null >>"$LOG" 2>&1
    mkdir -p "$PREFIX/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/*.ttf "$PREFIX/drive_c/windows/Fonts/" 2>/dev/null
    touch "$PREFIX/.e2e-ready"
  fi
  # Short folder names, because the combo boxes take no more typing than
  # fits their width.
  ln -sfn "$DATA" "$PREFIX/dosdevices/t:"
  timeout 60 wine reg delete 'HKCU\Software\Pelmora\Trovik' /f </dev/null >>"$LOG" 2>&1
}

# T:\docs: a few files whose counts are the same whichever matcher finds them.
# T:\big: enough files that a search is still running when Stop is pressed.
BIG_FILES=12000
prepare_data() {
  rm -rf "$DATA"
  mkdir -p "$DATA/docs/sub" "$DATA/big" || fail "cannot make $DATA"
  printf 'hello world, hello moon\r\n' > "$DATA/docs/alpha.txt"
  printf 'nothing to see here\r\n' > "$DATA/docs/beta.txt"
  printf 'say hello\r\n' > "$DATA/docs/gamma.txt"
  printf 'hello from a file nobody may open\r\n' > "$DATA/docs/locked.txt"
  printf '{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 hello\\par hello}' > "$DATA/docs/notes.rtf"
  { printf '\377\376'; printf 'hello, hello, hello' | iconv -f ascii -t utf-16le; } > "$DATA/docs/wide.txt"
  printf 'hello' > "$DATA/docs/sub/delta.txt"
  touch -d '2005-03-01 09:05:00 UTC' "$DATA"/docs/*.* "$DATA/docs/sub/delta.txt"
  awk -v dir="$DATA/big" -v count="$BIG_FILES" 'BEGIN {
    for (i = 0; i < count; i++) {
      file = sprintf("%s/file%05d.txt", dir, i)
      if (i % 7 == 0) print "a needle and another needle" > file
      else print "hay, only hay" > file
      close(file)
    }
  }' || fail "cannot make $DATA/big"
}

# --- Setting up ------------------------------------------------------------
start_display
prepare_prefix
prepare_data

# --- First start: empty lists, subfolders checked --------------------------
start_trovik
expect "first start: the pattern box is empty" "" "$(probe text 1000)"
expect "first start: the folder box is empty" "" "$(probe text 1002)"
expect "first start: subfolders are included" "visible=1	enabled=1	checked=1" "$(probe state 1005)"
expect "first start: the button reads Search" "Search" "$(probe text 1)"
expect "first start: the results list is hidden" "visible=0	enabled=1	checked=0" "$(probe state 1008)"

# --- A search over the prepared folder -------------------------------------
# One file is held open with no sharing, so the search cannot read it.
wine "$PROBE" hold 'T:\docs\locked.txt' 120000 </dev/null >"$WORK/hold.out" 2>>"$LOG" &
HOLDER_PID=$!
waited=0
until grep -q held "$WORK/hold.out" 2>/dev/null; do
  kill -0 "$HOLDER_PID" 2>/dev/null || fail "cannot hold T:\\docs\\locked.txt open"
  [ "$waited" -ge 300 ] && fail "cannot hold T:\\docs\\locked.txt open"
  sleep 0.1
  waited=$((waited + 1))
done

# The focus starts in the text box; the folder box follows it and the
# pattern box comes two steps before it. Enter presses Search. The pointer
# rests over the window, so that the X server hands it the keys.
expect_soon "first start: the focus is in the text box" "1001" 10 probe focus
where=$(centre 1011)
[ -n "$where" ] || fail "the window has no place on the screen"
# shellcheck disable=SC2086
xdotool mousemove --sync $where || fail "cannot move the pointer"
xdotool type --delay 40 'hello'
xdotool key Tab
xdotool type --delay 40 'T:\missing'
xdotool key Return

# A folder that does not exist: the error box, and nothing else changes.
box=$(probe box 30000) || fail "no error box for a folder that does not exist"
case "$box" in
  "Failed changing to directory. "?*) log "ok: the error box reads \"$box\"" ;;
  *) fail "the error box reads \"$box\"" ;;
esac
xdotool key Return
probe no-box 30000 || fail "the error box does not close with Enter"
expect "after the error box: the results list is still hidden" "visible=0	enabled=1	checked=0" "$(probe state 1008)"

retype 1002 'T:\docs'
xdotool key shift+Tab shift+Tab
xdotool type --delay 40 '*.*'
xdotool key Return

summary=$(probe wait-prefix 1010 'Searched a total' 60000) || fail "no summary; the status line reads \"$summary\""
expect "prepared folder: the summary" "Searched a total of 7 files, found 9 matches in 5 files" "$summary"
probe wait-text 1 Search 30000 >/dev/null || fail "the button does not read Search after the search"
expect "prepared folder: the results list is shown" "visible=1	enabled=1	checked=0" "$(probe state 1008)"
expect "prepared folder: the six columns" "Name	Matches	Location	Size	Type	Modified" "$(probe columns)"
expect "prepared folder: the rows in the order of the walk" "$(printf '%s\n' \
  'alpha.txt	2	T:\docs	25 bytes	ANSI	2005-03-01 09:05' \
  'gamma.txt	1	T:\docs	11 bytes	ANSI	2005-03-01 09:05' \
  'locked.txt	0	T:\docs	35 bytes	Failed	2005-03-01 09:05' \
  'notes.rtf	2	T:\docs	53 bytes	RTF	2005-03-01 09:05' \
  'wide.txt	3	T:\docs	40 bytes	UTF-16	2005-03-01 09:05' \
  'delta.txt	1	T:\docs\sub	5 bytes	ANSI	2005-03-01 09:05')" "$(probe rows)"
kill "$HOLDER_PID" 2>/dev/null
wait "$HOLDER_PID" 2>/dev/null
HOLDER_PID=""

# A right click on the failed row opens the list's menu (its items are
# checked by the unit tests: another process cannot read them under Wine).
# The menu's Save list as... writes the list, in the list's order, as CSV.
row=$(probe row-rect 2 | awk -F '\t' 'NF == 6 { print $5, $6 }')
[ -n "$row" ] || fail "the failed row has no place on the screen"
# shellcheck disable=SC2086
xdotool mousemove --sync $row click 3 || fail "cannot right-click the failed row"
expect "a right click on a row opens the menu" "shown" "$(probe menu 30000)"
xdotool key s
probe dialog 'Save As' 30000 >/dev/null || fail "no save dialog after Save list as..."
sleep 1
xdotool key ctrl+a
xdotool type --delay 40 'T:\saved.csv'
xdotool key Return
waited=0
until [ -s "$DATA/saved.csv" ] || [ "$waited" -ge 300 ]; do
  sleep 0.1
  waited=$((waited + 1))
done
[ -s "$DATA/saved.csv" ] || fail "Save list as... wrote no file"
expect "the saved list starts with a byte-order mark" "efbbbf" "$(head -c 3 "$DATA/saved.csv" | od -An -tx1 | tr -d ' \n')"
expect "every line of the saved list ends in CR LF" "7 7" \
  "$(awk '/\r$/ { crlf++ } END { print NR, crlf }' "$DATA/saved.csv")"
expect "the saved list" "$(printf '%s\n' \
  'Name,Matches,Location,Size,Type,Modified,Note' \
  'alpha.txt,2,T:\docs,25,ANSI,2005-03-01 09:05,' \
  'gamma.txt,1,T:\docs,11,ANSI,2005-03-01 09:05,' \
  'locked.txt,0,T:\docs,35,Failed,2005-03-01 09:05,REASON (error 32)' \
  'notes.rtf,2,T:\docs,53,RTF,2005-03-01 09:05,' \
  'wide.txt,3,T:\docs,40,UTF-16,2005-03-01 09:05,' \
  'delta.txt,1,T:\docs\sub,5,ANSI,2005-03-01 09:05,')" \
  "$(tail -c +4 "$DATA/saved.csv" | tr -d '\r' | sed 's/,Failed,\(.*\),[^,]* (error 32)$/,Failed,\1,REASON (error 32)/')"
log "the failed row's note: $(grep -a '^locked' "$DATA/saved.csv" | tr -d '\r' | cut -d, -f7-)"

# A click on a column header sorts by it: Matches starts with the most.
header=$(probe column-rect 1 | awk -F '\t' 'NF == 6 { print $5, $6 }')
[ -n "$header" ] || fail "the Matches column has no place on the screen"
# shellcheck disable=SC2086
xdotool mousemove --sync $header click 1 || fail "cannot click the Matches column"
expect_soon "a click on Matches puts the most matches first" "wide.txt: 3 2 2 1 1 0 " 10 matches_column

# --- Stop in a large folder, subfolders off ---------------------------------
retype 1001 'needle'
retype 1002 'T:\big'
retype 1000 '*.txt'
click_control 1005
expect "the subfolder box is cleared by a click" "visible=1	enabled=1	checked=0" "$(probe state 1005)"
# Stop is pressed as soon as the button offers it, at the place where
# Search was pressed, so that the search is still far from its end.
button=$(centre 1)
[ -n "$button" ] || fail "the Search button has no place on the screen"
# shellcheck disable=SC2086
xdotool mousemove --sync $button click 1 || fail "cannot press Search"
probe wait-text 1 Stop 30000 >/dev/null || fail "the button does not read Stop once the search runs"
xdotool click 1 || fail "cannot press Stop"
probe wait-text 1 Search 30000 >/dev/null || fail "the button does not read Search after Stop"
summary=$(probe text 1010)
searched=$(echo "$summary" | awk '/^Searched a total of [0-9]+ files, found [0-9]+ matches in [0-9]+ files$/ { print $5 }')
found=$(echo "$summary" | awk '/^Searched a total of/ { print $11 }')
[ -n "$searched" ] || fail "after Stop the status line shows no summary: \"$summary\""
[ "$searched" -lt "$BIG_FILES" ] || fail "the search was not stopped: it searched all $searched files"
log "ok: stopped after $searched of $BIG_FILES files: \"$summary\""
expect "after Stop: one row for each file with matches" "$found" "$(probe count)"
expect "after Stop: the pattern box is enabled again" "visible=1	enabled=1	checked=0" "$(probe state 1000)"

# --- Close, and what was stored ---------------------------------------------
click_control 2
wait_exit "$APP_PID" 30 || fail "the program did not end after Close"
APP_PID=""
stored=$(timeout 60 wine reg query 'HKCU\Software\Pelmora\Trovik' </dev/null 2>>"$LOG" | tr -d '\r' |
  awk '$2 ~ /^REG_/ { print $1 "=" $3 }' | sort)
expect "stored settings" "$(printf '%s\n' 'Filespec0=*.txt' 'Filespec1=*.*' \
  'Location0=T:\big' 'Location1=T:\docs' 'MatchCase=0x1' 'Recursion=0x0')" "$stored"

# --- Restart: the recent lists come back ---------------------------------
start_trovik
expect "restart: patterns, sorted" "$(printf '%s\n' '*.*' '*.txt')" "$(probe items 1000)"
expect "restart: the first pattern is shown" "*.*" "$(probe text 1000)"
expect "restart: folders, most recent first" "$(printf '%s\n' 'T:\big' 'T:\docs')" "$(probe items 1002)"
expect "restart: the latest folder is shown" "T:\\big" "$(probe text 1002)"
expect "restart: subfolders stay off" "visible=1	enabled=1	checked=0" "$(probe state 1005)"

xdotool key Escape
wait_exit "$APP_PID" 30 || fail "the program did not end after Escape"
APP_PID=""

# --- A start with a folder, and the folder menus' verb ---------------------
# The command of the verb of one kind of folder, or nothing without one.
verb_command() {
  timeout 60 wine reg query "HKCU\\Software\\Classes\\$1\\shell\\Trovik\\command" /ve </dev/null 2>>"$LOG" |
    tr -d '\r' | awk '/REG_SZ/ { sub(/^.*REG_SZ[ ]+/, ""); print }'
}
# The system menu from the keyboard; its last item is the verb's.
folder_menus_item() {
  xdotool key alt+space || fail "cannot open the system menu"
  sleep 1
  xdotool key Up Return || fail "cannot choose the folder menus item"
  sleep 1
}
start_trovik 'T:\docs'
expect "a folder on the command line fills the folder box" 'T:\docs' "$(probe text 1002)"
where=$(centre 1011)
[ -n "$where" ] || fail "the window has no place on the screen"
# shellcheck disable=SC2086
xdotool mousemove --sync $where || fail "cannot move the pointer"
folder_menus_item
program="\"Z:$(printf '%s' "$TROVIK" | tr / '\\')\" \"%V\""
for kind in Directory 'Directory\Background' Drive; do
  expect "the system menu item writes the verb for $kind" "$program" "$(verb_command "$kind")"
done
folder_menus_item
for kind in Directory 'Directory\Background' Drive; do
  expect "the system menu item removes the verb for $kind" "" "$(verb_command "$kind")"
done
xdotool key Escape
wait_exit "$APP_PID" 30 || fail "the program did not end after Escape"
APP_PID=""

# --- /? shows the usage, and no window -------------------------------------
wine "$TROVIK" '/?' </dev/null >>"$LOG" 2>&1 &
APP_PID=$!
box=$(probe box 60000) || fail "no usage box for /?"
case "$box" in
  "Usage: Trovik.exe [folder] "*) log "ok: the usage box reads \"$box\"" ;;
  *) fail "the usage box reads \"$box\"" ;;
esac
[ -z "$(probe find 0 2>/dev/null)" ] || fail "/? opened the search window"
xdotool key Return
wait_exit "$APP_PID" 30 || fail "the program did not end after the usage box"
APP_PID=""
log "passed"
exit 0
