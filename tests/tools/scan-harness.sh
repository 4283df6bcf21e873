#!/bin/sh
# The scan harness's interface: event lines in order, the summary, --quiet
# figures, hex texts, and exit status 2 for bad arguments or a missing folder.
#   scan-harness.sh WINE-RUN SCAN-EXE
set -u
# Wine reads Linux file names in the locale's character set: UTF-8, as the
# names here are made.
export LC_ALL=C.UTF-8
run=$1
scan=$2
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
failures=0
passes=0
check() {  # name expected actual
  if [ "$2" != "$3" ]; then
    printf 'FAIL %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  else
    printf 'ok   %s\n' "$1"
    passes=$((passes + 1))
  fi
}
windows() { printf 'Z:%s' "$1" | tr / '\\'; }

mkdir -p "$folder/sub"
printf 'caf\351 and caf\351' > "$folder/latin1.txt"
printf 'nothing' > "$folder/other.txt"
printf 'caf\351' > "$folder/sub/deep.txt"
w=$(windows "$folder")

actual=$("$run" "$scan" --subfolders --text-hex 636166e9 "$w" | tr -d '\r')
expected=$(printf 'found\t2\t0\t13\t%s\tlatin1.txt\tANSI\nstatus\tSearching sub ...\nfound\t1\t0\t4\t%s\\sub\tdeep.txt\tANSI\nstatus\tSearched a total of 3 files, found 3 matches in 2 files\nstatus\tSearched a total of 3 files, found 3 matches in 2 files\nsummary\t3\t3\t2' "$w" "$w")
check "events in order, hex text widened byte by byte" "$expected" "$actual"

actual=$("$run" "$scan" --pattern '*.txt' --text '' "$w" | tr -d '\r' | grep -c '^found	1	0	.*	-$')
check "empty text reports every file once, read by no reading" "2" "$actual"

# A text the code page cannot spell, typed as UTF-16 units: found in UTF-8 and
# in big-endian UTF-16 files, and in more places with the case ignored.
mkdir -p "$folder/typed"
printf '\320\264\320\276\320\274 \320\224\320\236\320\234' > "$folder/typed/u8.txt"
printf '\376\377\004\064\004\076\004\074' > "$folder/typed/be.txt"
t=$(windows "$folder/typed")
for mode in exact ignore; do
  flag=""
  [ "$mode" = ignore ] && flag=--ignore-case
  actual=$("$run" "$scan" $flag --text-utf16 34043e043c04 "$t" | tr -d '\r' | grep '^found' | cut -f2,6,7 | sort | tr '\t\n' ' ;')
  expected="1 be.txt UTF-16 BE;1 u8.txt UTF-8;"
  [ "$mode" = ignore ] && expected="1 be.txt UTF-16 BE;2 u8.txt UTF-8;"
  check "typed text in UTF-8 and UTF-16 BE files, $mode" "$expected" "$actual"
done
"$run" "$scan" --text-utf16 340 "$t" >/dev/null 2>&1
check "odd UTF-16 hex text exits with 2" "2" "$?"

# --utf8: the folder argument is read as UTF-8, and names, folders and status
# texts are printed in it; without it they are in the code page, as before.
cjk=$(printf '\346\227\245\346\234\254')          # two CJK characters
dom=$(printf '\320\264\320\276\320\274')          # Cyrillic
emoji=$(printf '\360\237\230\200')                # one character of two UTF-16 units
mkdir -p "$folder/$cjk/$dom" "$folder/latin"
printf 'needle' > "$folder/$cjk/$dom/$emoji.txt"
printf 'needle' > "$folder/latin/caf$(printf '\303\251').txt"
u=$(windows "$folder/$cjk")
actual=$("$run" "$scan" --utf8 --subfolders --text needle "$u" | tr -d '\r' | head -n 2)
expected=$(printf 'status\tSearching %s ...\nfound\t1\t0\t6\t%s\\%s\t%s.txt\tANSI' "$dom" "$u" "$dom" "$emoji")
check "--utf8: the folder argument, names, folders and status texts in UTF-8" "$expected" "$actual"
actual=$("$run" "$scan" --utf8 --text needle "$(windows "$folder/latin")" | tr -d '\r' | head -n 1 | cut -f6)
check "--utf8: a name the code page spells, in UTF-8" "$(printf 'caf\303\251.txt')" "$actual"
actual=$("$run" "$scan" --text needle "$(windows "$folder/latin")" | tr -d '\r' | head -n 1 | cut -f6)
check "without --utf8 the code page's spelling" "$(printf 'caf\351.txt')" "$actual"

actual=$("$run" "$scan" --quiet --subfolders --text nothing "$w" | tr -d '\r' | cut -f1 | tr '\n' ' ')
check "quiet prints the summary and the figures" "summary elapsed steps " "$actual"

# The time inside the steps is part of the walk's time, never more.
actual=$("$run" "$scan" --quiet --profile --subfolders --text nothing "$w" | tr -d '\r' |
    awk -F'\t' '{ names = names $1 " " } $1 == "elapsed" { e = $2 } $1 == "insteps" { i = $2 }
                 END { print names (i <= e ? "within" : "beyond") }')
check "profile adds the time inside the steps" "summary elapsed steps insteps within" "$actual"

# Stop pressed at once, before or during a 64 MB file: the file is not
# reported, the summary comes with no match, and then the time from the press
# to it. (Whether the file was taken up before the press depends on timing.)
mkdir -p "$folder/large"
head -c 67108864 /dev/zero | tr '\0' 'x' > "$folder/large/x.txt"
actual=$("$run" "$scan" --stop-after 0 --text x "$(windows "$folder/large")" | tr -d '\r' |
    awk -F'\t' '{ names = names $1 " " } $1 == "summary" { s = $3 } $1 == "stop" { ms = ($2 >= 0) ? "ms" : "?" }
                 END { print names s " " ms }')
check "stop during a large file" "status summary stop 0 ms" "$actual"
"$run" "$scan" --stop-after x --text x "$w" >/dev/null 2>&1
check "bad --stop-after exits with 2" "2" "$?"

# --lines: after each found file, its matching lines as the reading that
# found it reads them (UTF-8, big-endian UTF-16, the code page, a
# document's plain text), breaks of every kind, tabs and backslashes
# escaped; the occurrences on the lines add up to the file's count.
mkdir -p "$folder/lines"
printf 'caf\303\251 x caf\303\251\r\nno\rcaf\303\251\tend\\' > "$folder/lines/u8.txt"
printf '\376\377\0c\0a\0f\0\351\0\n\0c\0a\0f\0\351' > "$folder/lines/be.txt"
printf 'caf\351\r\ncaf\351caf\351' > "$folder/lines/cp.txt"
printf '{\\rtf1\\ansi caf\\'"'"'e9\\par x\\line caf\\'"'"'e9 caf\\'"'"'e9}' > "$folder/lines/doc.rtf"
output=$("$run" "$scan" --lines --text-hex 636166e9 "$(windows "$folder/lines")" | tr -d '\r')
actual=$(printf '%s\n' "$output" | LC_ALL=C awk -F'\t' '$1 == "found" { name = $6 } $1 == "line" { print name " " $2 " " $3 }' | sort)
expected=$(printf 'be.txt 1 caf\351\nbe.txt 2 caf\351\ncp.txt 1 caf\351\ncp.txt 2 caf\351caf\351\ndoc.rtf 1 caf\351\ndoc.rtf 3 caf\351 caf\351\nu8.txt 1 caf\351 x caf\351\nu8.txt 3 caf\351\\tend\\\\')
check "lines of each reading, escaped" "$expected" "$actual"
actual=$(printf '%s\n' "$output" | LC_ALL=C awk -F'\t' -v text="$(printf 'caf\351')" '
    $1 == "found" { if (name != "" && seen != want) bad = bad name " "; name = $6; want = $2; seen = 0 }
    $1 == "line" { seen += gsub(text, "", $3) }
    END { if (seen != want) bad = bad name " "; print bad == "" ? "all add up" : bad }')
check "the lines' occurrences add up to each file's count" "all add up" "$actual"

"$run" "$scan" --text x "$(windows "$folder/missing")" >/dev/null 2>&1
check "missing folder exits with 2" "2" "$?"
"$run" "$scan" --text-hex 6 "$w" >/dev/null 2>&1
check "odd hex text exits with 2" "2" "$?"
"$run" "$scan" "$w" >/dev/null 2>&1
check "no text exits with 2" "2" "$?"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
