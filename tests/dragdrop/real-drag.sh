#!/bin/sh
# Drags a results row with the real pointer under Xvfb onto the drop-target
# probe in another process, and prints what the target received. Not part of
# ctest: it needs Xvfb and xdotool and boots a Wine prefix with a display driver.
#   tests/dragdrop/real-drag.sh <build dir> [display] [prefix] [probe|trovik]
# "probe" drags from the results list in a bare window; "trovik" runs the
# program, searches a sample folder by typing as a user would, drags the
# second row, then starts a drag that Escape cancels.
# Exits 0 when the target received the dragged file's path (and, for
# "trovik", saw the cancelled drag leave without a drop).
set -u
build=$(cd "${1:?build dir}" && pwd)
display=${2:-:94}
prefix=${3:-/tmp/trovik-drag-x11}
mode=${4:-probe}
work=/tmp/td$$  # short, plain letters and digits: the folder box takes what fits
mkdir -p "$work"
export DISPLAY="$display" WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
if [ ! -f "$prefix/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

mkdir -p "$work/s"
printf 'Invoice: dragged content\r\n' > "$work/s/first.txt"
printf 'Invoice' > "$work/s/second file.txt"
wpath() { printf 'Z:%s' "$1" | tr / '\\'; }
waitfor() { for _ in $(seq 60); do grep -q "$1" "$2" 2>/dev/null && return 0; sleep 0.5; done; return 1; }

# Press on a row, move in steps past the drag threshold, end over the target.
drag_to_target() {
  xdotool mousemove "$1" "$2"; sleep 0.4
  xdotool mousedown 1; sleep 0.3
  # A few small moves inside the row first: the list sees the drag begin.
  for dx in 3 6 10; do xdotool mousemove $(( $1 - dx )) "$2"; sleep 0.15; done
  for step in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $(( $1 + (150 - $1) * step / 8 )) $(( $2 + (120 - $2) * step / 8 )); sleep 0.15
  done
  sleep 0.4
}

wine "$build/trovik-droptarget.exe" "$(wpath "$work/report.txt")" 0 0 300 250 --timeout 60000 --drops 1 >/dev/null 2>&1 &
waitfor ready "$work/report.txt" || { echo "no drop target" >&2; exit 1; }

if [ "$mode" = trovik ]; then
  # A fresh start: no recent entries in the boxes to complete what is typed.
  wine reg delete 'HKCU\Software\Pelmora\Trovik' /f >/dev/null 2>&1
  wine "$build/Trovik.exe" >/dev/null 2>&1 &
  app=$!
  for _ in $(seq 60); do
    window=$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    window=$(xdotool search --onlyvisible --classname trovik.exe 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.5
  done
  [ -n "$window" ] || { echo "no Trovik window" >&2; exit 1; }
  sleep 4
  xdotool windowfocus --sync "$window"; sleep 0.5
  # Each box may hold a recent entry: select it all, then type over it.
  xdotool key End shift+Home; xdotool type --delay 60 Invoice
  xdotool key Tab; sleep 0.3
  xdotool key End shift+Home
  xdotool type --delay 60 "$(wpath "$work/s")"; sleep 0.3
  [ -n "${TROVIK_DRAG_SHOT:-}" ] && import -window root "${TROVIK_DRAG_SHOT%.png}-typed.png"
  xdotool key Return
  sleep 4
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ -n "${TROVIK_DRAG_SHOT:-}" ] && import -window root "$TROVIK_DRAG_SHOT"
  echo "window $window at $X,$Y size ${WIDTH}x$HEIGHT" >&2
  # The second row of the list at the window's first size, in its Name column.
  row_x=$((X + 36)); row_y=$((Y + 170))
  # Without a window manager the keyboard focus stays where it is put.
  xdotool windowfocus "$window"
  drag_to_target $row_x $row_y
  xdotool key Escape; sleep 0.5
  xdotool mouseup 1
  waitfor '^leave' "$work/report.txt" || { cat "$work/report.txt"; echo "Escape did not end the drag" >&2; exit 1; }
  grep -q '^drop' "$work/report.txt" && { cat "$work/report.txt"; echo "a cancelled drag dropped" >&2; exit 1; }
  drag_to_target $row_x $row_y
else
  wine "$build/drag-row-probe.exe" "$(wpath "$work/s/first.txt")" "$(wpath "$work/s/second file.txt")" --at 500 100 \
    >"$work/source.txt" 2>&1 &
  waitfor ready "$work/source.txt" || { echo "no row probe" >&2; exit 1; }
  drag_to_target 530 140
fi
xdotool mouseup 1
waitfor '^effect' "$work/report.txt"

cat "$work/report.txt"
grep -q "^path $(wpath "$work/s/second file.txt" | sed 's/\\/\\\\/g')\$" "$work/report.txt"
