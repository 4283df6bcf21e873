#!/bin/sh
# Takes the window's pictures for the README: the idle window (docs/idle.png),
# a finished search over a small sample folder (docs/finished.png), and the
# results list's context menu on a row that could not be searched
# (docs/menu.png), a text typed beyond ASCII found without Match case in
# three encodings (docs/readings.png), the system menu with its folder
# menus' item (docs/system-menu.png), the preview pane showing the lines
# of one of the letters with the occurrences marked (docs/preview.png), and
# files named in several scripts in a folder of 300 characters
# (docs/names.png). A picture of the pointer resting on the failed row, where
# its tooltip says why it failed, goes to the build folder (failed-tip.png):
# Wine's list view never asks for that tooltip.
# Runs Trovik in a Wine virtual desktop on its own Xvfb display and its own
# prefix, types as a user would, and stops everything it started.
# TROVIK_SHOT_DPI=144 takes the idle, the finished and the widened window at
# that screen resolution instead (docs/idle-144dpi.png, finished-144dpi.png,
# wide-144dpi.png), on a desktop large enough for every column.
#   usage: sh tools/screenshot.sh [build-dir]   (default: build)
set -u
cd "$(dirname "$0")/.."
BUILD=${1:-build}
DISPLAY_NUMBER=${TROVIK_SHOT_DISPLAY:-91}
DPI=${TROVIK_SHOT_DPI:-96}
SUFFIX=""
SCREEN=1024x768
[ "$DPI" = 96 ] || { SUFFIX="-${DPI}dpi"; SCREEN=1920x1080; }
PREFIX="$PWD/$BUILD/screenshot-prefix"
OUT=docs
EXE="$PWD/$BUILD/Trovik.exe"
[ -f "$EXE" ] || { echo "screenshot: $EXE missing; build first" >&2; exit 1; }
for tool in Xvfb wine xdotool import convert timeout; do
  command -v $tool >/dev/null || { echo "screenshot: $tool is missing" >&2; exit 1; }
done
mkdir -p "$OUT"

export DISPLAY=":$DISPLAY_NUMBER" WINEPREFIX="$PREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
XVFB_PID=""
APP_PID=""
cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
  timeout 20 wineserver -k 2>/dev/null   # this prefix's processes only
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT INT TERM

Xvfb "$DISPLAY" -screen 0 "${SCREEN}x24" -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
sleep 1
kill -0 "$XVFB_PID" 2>/dev/null || { echo "screenshot: Xvfb did not start on $DISPLAY" >&2; exit 1; }

if [ ! -f "$PREFIX/.trovik-shot-ready" ]; then
  timeout 300 wineboot -i >/dev/null 2>&1
  timeout 60 wineserver -w
  # Without these the caption buttons show as letters.
  mkdir -p "$PREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/*.ttf "$PREFIX/drive_c/windows/Fonts/" 2>/dev/null
  touch "$PREFIX/.trovik-shot-ready"
fi

# Match case checked, as on a first run, whatever an earlier run left.
wine reg add 'HKCU\Software\Pelmora\Trovik' /v MatchCase /t REG_DWORD /d 1 /f >/dev/null 2>&1
# The screen resolution the program starts with.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$DPI" /f >/dev/null 2>&1

# A small folder to search, the same on every run.
SAMPLE="$PREFIX/drive_c/Sample"
rm -rf "$SAMPLE"
mkdir -p "$SAMPLE/old"
printf 'Dear Anna,\r\nthe invoice is attached.\r\n' > "$SAMPLE/anna.txt"
printf 'Invoice 2041: paid. Invoice 2042: open.\r\n' > "$SAMPLE/invoices.txt"
printf '{\\rtf1\\ansi {\\b Invoice} for March}' > "$SAMPLE/march.rtf"
printf 'shopping list: bread, milk\r\n' > "$SAMPLE/shopping.txt"
printf 'Invoice' | iconv -f ascii -t utf-16 > "$SAMPLE/unicode.txt"
printf 'Invoice 1999, see folder' > "$SAMPLE/old/1999.txt"
# A folder with a pipe beside a file: listed, but "Failed".
ODD="$PREFIX/drive_c/Odd"
rm -rf "$ODD"
mkdir -p "$ODD"
printf 'Invoice 2043: due.\r\n' > "$ODD/budget.txt"
mkfifo "$ODD/a pipe.txt"
# Files named in several scripts, one with an emoji, in a folder of 300
# characters (with C:\), and a subfolder named in CJK.
NAMES_FOLDER="Archive/Reports of the regional offices, collected for the yearly review/2023 second half, \
every office and every month, with the notes of the meetings/Drafts and final versions as they were \
sent, kept together so that nothing is lost/Copies for the auditors, the board and branch offices overseas"
NAMES="$PREFIX/drive_c/$NAMES_FOLDER"
rm -rf "$PREFIX/drive_c/Archive"
mkdir -p "$NAMES/$(printf '\346\227\245\346\234\254')"
printf 'report' > "$NAMES/$(printf '\346\227\245\346\234\254\350\252\236\343\201\256\345\240\261\345\221\212').txt"
printf 'report report' > "$NAMES/$(printf '\320\236\321\202\321\207\321\221\321\202 \320\267\320\260 \320\263\320\276\320\264').txt"
printf 'report' > "$NAMES/$(printf '\316\243\316\267\316\274\316\265\316\271\317\216\317\203\316\265\316\271\317\202').txt"
printf 'report, report, report' > "$NAMES/$(printf 'Holiday notes \360\237\230\200').txt"
printf 'report' > "$NAMES/$(printf '\346\227\245\346\234\254')/$(printf '\345\244\247\351\230\252').txt"

# Letters in three encodings, for a text typed beyond ASCII with Match case off.
LETTERS="$PREFIX/drive_c/Letters"
rm -rf "$LETTERS"
mkdir -p "$LETTERS"
printf 'Viele Gr\303\274\303\237e aus K\303\266ln\r\nGR\303\234\303\237E AN ALLE\r\n' > "$LETTERS/utf8.txt"
printf 'Herzliche Gr\374\337e\r\n' > "$LETTERS/ansi.txt"
printf 'Gr\303\274\303\237e' | iconv -f utf-8 -t utf-16be > "$LETTERS/utf16be.txt"
# A larger folder, so that a search is still under way when it is pictured.
BIG="$PREFIX/drive_c/Big"
if [ ! -d "$BIG/f39" ]; then
  mkdir -p "$BIG"
  head -c 2000000 /dev/urandom | base64 > "$BIG/sample.txt"
  for d in $(seq 0 39); do
    mkdir -p "$BIG/f$d"
    for f in $(seq 0 49); do cp "$BIG/sample.txt" "$BIG/f$d/part$f.txt"; done
  done
fi

wine explorer /desktop=shot,"$SCREEN" "$EXE" >/dev/null 2>&1 &
APP_PID=$!
if ! timeout 60 sh -c 'until xdotool search --name "shot - Wine desktop" >/dev/null 2>&1; do sleep 0.5; done'; then
  echo "screenshot: the Wine desktop did not appear" >&2; exit 1
fi
sleep 4   # the window appears and settles

# Where the window lies on the desktop, from the last full picture: X and Y.
WINDOW_X=0
WINDOW_Y=0
shoot() {
  set -- "$1$SUFFIX"
  import -window root "$OUT/$1.full.png" &&
  set -- "$1" $(convert "$OUT/$1.full.png" -format '%@' info: | tr 'x+' '  ') &&
  WINDOW_X=$4 && WINDOW_Y=$5 &&
  # The desktop is one colour: trimming it leaves the window.
  convert "$OUT/$1.full.png" -trim +repage "$OUT/$1.png" &&
  rm -f "$OUT/$1.full.png" &&
  echo "screenshot: $OUT/$1.png"
}

shoot idle || exit 1

# The focus starts in the text box; the folder box follows it in tab order.
xdotool type --delay 30 "Invoice"
xdotool key Tab
xdotool type --delay 30 'C:\Sample'
xdotool key Return
sleep 4
shoot finished || exit 1
if [ "$DPI" != 96 ]; then
  # Widened by its right frame until every column shows; the clicks below
  # aim at pixel positions of the 96 DPI window.
  RIGHT=$(convert "$OUT/finished$SUFFIX.png" -format '%w' info:)
  xdotool mousemove $((WINDOW_X + RIGHT - 2)) $((WINDOW_Y + 200)) mousedown 1
  xdotool mousemove $((WINDOW_X + RIGHT + 300)) $((WINDOW_Y + 200)) sleep 0.3
  xdotool mousemove $((WINDOW_X + 1180)) $((WINDOW_Y + 200)) sleep 0.3 mouseup 1
  sleep 2
  shoot wide
  exit
fi

# Sort by name (the first click on Name sorts A to Z): its header is at the
# top of the list, which starts 157 pixels below the window's top edge.
xdotool mousemove $((WINDOW_X + 40)) $((WINDOW_Y + 165)) click 1
sleep 1
shoot sorted || exit 1

# A search of the larger folder, pictured while it runs, then stopped with
# Enter (the focus is on the Stop button while a search runs).
xdotool mousemove $((WINDOW_X + 180)) $((WINDOW_Y + 97)) click 1
xdotool key ctrl+a
xdotool type --delay 20 'C:\Big'
xdotool key Return
sleep 1.5
shoot searching || exit 1
xdotool key Return
sleep 2

# The context menu on the failed row of a search in C:\Odd, then the
# pointer resting on that row, where its tooltip would say why it failed.
xdotool mousemove $((WINDOW_X + 180)) $((WINDOW_Y + 97)) click 1
xdotool key ctrl+a
xdotool type --delay 20 'C:\Odd'
xdotool key Return
sleep 3
# A click on Name sorts Z to A now (the click above sorted A to Z), so the
# failed "a pipe.txt" is the second row; rows are 13 pixels apart below the first.
xdotool mousemove $((WINDOW_X + 40)) $((WINDOW_Y + 165)) click 1
sleep 1
row="$((WINDOW_X + 40)) $((WINDOW_Y + 192))"
# shellcheck disable=SC2086
xdotool mousemove $row click 3
sleep 1
shoot menu || exit 1
xdotool key Escape
sleep 0.5
# shellcheck disable=SC2086
xdotool mousemove $row
sleep 0.2
# shellcheck disable=SC2086
xdotool mousemove_relative 2 0
sleep 2
shoot failed-tip || exit 1
mv "$OUT/failed-tip.png" "$BUILD/failed-tip.png" && echo "screenshot: moved to $BUILD/failed-tip.png"

# A text typed beyond ASCII, Match case turned off (the fourth stop in tab
# order after the text box), in the letters: the Type column names the reading.
xdotool mousemove $((WINDOW_X + 180)) $((WINDOW_Y + 66)) click 1
xdotool key ctrl+a
xdotool type --delay 30 'grüße'
xdotool key Tab ctrl+a
xdotool type --delay 20 'C:\Letters'
xdotool key Tab Tab Tab space Return
sleep 3
# Widened by its right frame, so that the Type column shows.
RIGHT=$(convert "$OUT/menu.png" -format '%w' info:)
xdotool mousemove $((WINDOW_X + RIGHT - 2)) $((WINDOW_Y + 200)) mousedown 1
xdotool mousemove $((WINDOW_X + RIGHT + 150)) $((WINDOW_Y + 200)) sleep 0.3
xdotool mousemove $((WINDOW_X + RIGHT + 330)) $((WINDOW_Y + 200)) sleep 0.3 mouseup 1
sleep 2
shoot readings || exit 1

# The window's system menu with the folder menus' item checked once chosen
# (docs/system-menu.png): the verb goes to this prefix's own registry, and is
# taken back afterwards. The item is the menu's last.
xdotool key alt+space
sleep 1
xdotool key Up Return
sleep 1
xdotool key alt+space
sleep 1
xdotool key Up
sleep 1
shoot system-menu || exit 1
xdotool key Return
sleep 1

# Made taller by its bottom frame, so that the preview pane has room; then
# sorted by name (A to Z: the third click on Name) and the UTF-8 letter, the
# third row, selected: the pane shows its lines, the occurrences marked.
BOTTOM=$(convert "$OUT/readings.png" -format '%h' info:)
xdotool mousemove $((WINDOW_X + 200)) $((WINDOW_Y + BOTTOM - 2)) mousedown 1
xdotool mousemove $((WINDOW_X + 200)) $((WINDOW_Y + BOTTOM + 100)) sleep 0.3
xdotool mousemove $((WINDOW_X + 200)) $((WINDOW_Y + BOTTOM + 240)) sleep 0.3 mouseup 1
sleep 1
xdotool mousemove $((WINDOW_X + 40)) $((WINDOW_Y + 165)) click 1
sleep 1
xdotool mousemove $((WINDOW_X + 40)) $((WINDOW_Y + 205)) click 1
sleep 2
shoot preview || exit 1

# Files named in several scripts in a folder of 300 characters. Wine's raster
# dialog font has no CJK: for this picture alone the program starts again
# with Tahoma in its place, which falls back to Droid Sans Fallback and
# DejaVu Sans (Wine still draws a character beyond U+FFFF as two boxes).
kill "$APP_PID" 2>/dev/null
timeout 20 wineserver -k 2>/dev/null
wait "$APP_PID" 2>/dev/null
for font in /usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf; do
  [ -f "$font" ] && cp "$font" "$PREFIX/drive_c/windows/Fonts/"
done
FONTS='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
wine reg add "$FONTS\FontSubstitutes" /v "MS Sans Serif" /d Tahoma /f >/dev/null 2>&1
wine reg add "$FONTS\FontLink\SystemLink" /v Tahoma /t REG_MULTI_SZ \
  /d 'DROIDSANSFALLBACKFULL.TTF,Droid Sans Fallback\0DEJAVUSANS.TTF,DejaVu Sans' /f >/dev/null 2>&1
wine explorer /desktop=shot,"$SCREEN" "$EXE" >/dev/null 2>&1 &
APP_PID=$!
sleep 5
xdotool type --delay 30 'report'
xdotool key Tab
xdotool type --delay 25 "C:\\$(printf '%s' "$NAMES_FOLDER" | tr / '\\')"
xdotool key Return
sleep 3
# Moved to the desktop's left edge, widened to its right edge, and the
# Location column widened, so that most of the folder shows.
shoot names || exit 1
xdotool mousemove $((WINDOW_X + 100)) $((WINDOW_Y + 8)) mousedown 1
xdotool mousemove $((WINDOW_X + 50)) $((WINDOW_Y + 8)) sleep 0.3 mousemove 102 $((WINDOW_Y + 8)) sleep 0.3 mouseup 1
sleep 1
RIGHT=$(convert "$OUT/names.png" -format '%w' info:)
xdotool mousemove $((RIGHT - 2)) $((WINDOW_Y + 200)) mousedown 1
xdotool mousemove $((RIGHT + 100)) $((WINDOW_Y + 200)) sleep 0.3 mousemove 1021 $((WINDOW_Y + 200)) sleep 0.3 mouseup 1
sleep 1
xdotool mousemove 486 $((WINDOW_Y + 178)) mousedown 1
xdotool mousemove 600 $((WINDOW_Y + 178)) sleep 0.3 mousemove 880 $((WINDOW_Y + 178)) sleep 0.3 mouseup 1
sleep 1
# Made taller, so that every row shows, and the CJK name selected: the
# preview pane shows its line.
BOTTOM=$(convert "$OUT/names.png" -format '%h' info:)
xdotool mousemove 300 $((WINDOW_Y + BOTTOM - 2)) mousedown 1
xdotool mousemove 300 $((WINDOW_Y + BOTTOM + 100)) sleep 0.3 mousemove 300 $((WINDOW_Y + BOTTOM + 200)) sleep 0.3 mouseup 1
sleep 1
xdotool mousemove 60 $((WINDOW_Y + 235)) click 1
sleep 2
shoot names
status=$?
wine reg delete "$FONTS\FontSubstitutes" /v "MS Sans Serif" /f >/dev/null 2>&1
wine reg delete "$FONTS\FontLink\SystemLink" /v Tahoma /f >/dev/null 2>&1
exit $status
