#!/bin/sh
# Drags a row with the real pointer under Xvfb onto the drop-target probe in
# another process, and prints what the target received. Not part of ctest:
# it needs Xvfb and xdotool and boots a Wine prefix with a display driver.
#   tests/dragdrop/real-drag.sh <build dir> [display] [prefix]
# Exits 0 when the target received the dragged file's path.
set -u
build=$(cd "${1:?build dir}" && pwd)
display=${2:-:94}
prefix=${3:-/tmp/trovik-drag-x11}
work=$(mktemp -d)
export DISPLAY="$display" WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
if [ ! -f "$prefix/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

printf 'dragged content\n' > "$work/first.txt"
printf 'x' > "$work/second file.txt"
wpath() { printf 'Z:%s' "$1" | tr / '\\'; }

wine "$build/trovik-droptarget.exe" "$(wpath "$work/report.txt")" 0 0 400 300 --timeout 60000 >/dev/null 2>&1 &
wine "$build/drag-row-probe.exe" "$(wpath "$work/first.txt")" "$(wpath "$work/second file.txt")" --at 500 100 \
  >"$work/source.txt" 2>&1 &
for _ in $(seq 60); do
  grep -q ready "$work/report.txt" 2>/dev/null && grep -q ready "$work/source.txt" && break
  sleep 0.5
done

# Press on the second row, move in steps past the drag threshold, release over the target.
xdotool mousemove 530 140; sleep 0.4
xdotool mousedown 1; sleep 0.3
for x in 520 500 470 430 380 330 280 230 200; do xdotool mousemove $x 145; sleep 0.15; done
sleep 0.4
xdotool mouseup 1
for _ in $(seq 20); do grep -q '^effect' "$work/report.txt" && break; sleep 0.5; done

cat "$work/report.txt"
grep -q "^path $(wpath "$work/second file.txt" | sed 's/\\/\\\\/g')\$" "$work/report.txt"
