#!/bin/sh
# The whole view table natively against GNU grep -F on one 72 MB file of C
# headers with a text found nowhere (an ASCII one, read three ways, and one
# with a character beyond the code page's first half, read all six ways,
# with Match case and without), and on a 64 MB RTF document: runs them
# alternately and prints medians, the ratio to grep and GB/s.
#   bench/views-vs-grep.sh [REPETITIONS]
# Needs the native benchmark build (see README): build-bench/bench/trovik-treebench.
set -eu
repetitions=${1:-7}
top=$(cd "$(dirname "$0")/.." && pwd)
treebench=${TROVIK_TREEBENCH:-$top/build-bench/bench/trovik-treebench}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/trovik-grep.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
now() { date +%s.%N; }

mkdir -p "$scratch/headers" "$scratch/rtf"
find /usr/include -name '*.h' -type f -print0 | xargs -0 cat > "$scratch/one.h"
while [ "$(stat -c %s "$scratch/headers/all.h" 2>/dev/null || echo 0)" -lt 75497472 ]; do
  cat "$scratch/one.h" >> "$scratch/headers/all.h"
done
truncate -s 75497472 "$scratch/headers/all.h"
rm -f "$scratch/one.h"
python3 "$top/bench/make-large-corpus.py" "$scratch/large" 64 > /dev/null
mv "$scratch/large/document1.rtf" "$scratch/rtf/"
rm -rf "$scratch/large"
bytes=$(stat -c %s "$scratch/headers/all.h")

i=0
while [ "$i" -lt "$repetitions" ]; do
  i=$((i + 1))
  "$treebench" "$scratch/headers" zqxjv 1 | awk '$1 == "table" { print $2 }' >> "$scratch/table"
  start=$(now); grep -cF -a -- zqxjv "$scratch/headers/all.h" > /dev/null || true; end=$(now)
  echo "$end - $start" | bc -l >> "$scratch/grep"
  "$treebench" "$scratch/headers" 'zqxj€' 1 | awk '$1 == "table" { print $2 }' >> "$scratch/wide"
  "$treebench" "$scratch/headers" 'zqxj€' 1 --ignore-case | awk '$1 == "table" { print $2 }' >> "$scratch/wideany"
  start=$(now); grep -cF -a -- 'zqxj€' "$scratch/headers/all.h" > /dev/null || true; end=$(now)
  echo "$end - $start" | bc -l >> "$scratch/widegrep"
  "$treebench" "$scratch/rtf" zqxjv 1 | awk '$1 == "RTF" { print $4 } $1 == "table" { print $4 > "/dev/stderr" }' \
    >> "$scratch/rtfview" 2>> "$scratch/rtftable"
done
table=$(median < "$scratch/table")
grep_time=$(median < "$scratch/grep")
echo "72 MB of C headers ($bytes bytes), text found nowhere, $repetitions runs alternately, medians:"
printf 'view table  %.4f s  %.2f GB/s\n' "$table" "$(echo "$bytes / $table / 1000000000" | bc -l)"
printf 'grep -F     %.4f s  %.2f GB/s   table/grep %.2f\n' "$grep_time" \
  "$(echo "$bytes / $grep_time / 1000000000" | bc -l)" "$(echo "$table / $grep_time" | bc -l)"
wide=$(median < "$scratch/wide")
wideany=$(median < "$scratch/wideany")
widegrep=$(median < "$scratch/widegrep")
printf "Text 'zqxj€', every reading: table %.4f s, Match case off %.4f s; grep -F %.4f s   table/grep %.2f and %.2f\n" \
  "$wide" "$wideany" "$widegrep" "$(echo "$wide / $widegrep" | bc -l)" "$(echo "$wideany / $widegrep" | bc -l)"
printf '64 MB RTF document: RTF view alone %.2f GB/s, whole table %.2f GB/s\n' \
  "$(median < "$scratch/rtfview")" "$(median < "$scratch/rtftable")"
