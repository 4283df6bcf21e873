#!/bin/sh
# Compares a whole search with the platform floor, GNU grep and ripgrep on one
# corpus: runs them alternately, several times, and prints medians and ratios.
#   bench/compare.sh CORPUS TEXT [REPETITIONS]
# Needs the Windows build in build/ (trovik-scan.exe, trovik-floor.exe).
# TROVIK_OLD_BUILD=FOLDER also runs an earlier trovik-scan.exe from FOLDER,
# alternately with the others, and prints its figures beside them.
set -eu
corpus=$(cd "$1" && pwd)
text=$2
repetitions=${3:-5}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TROVIK_BUILD:-$top/build}
run="$build/wine-run.sh"
command -v rg >/dev/null || { echo "ripgrep is missing: apt-get install ripgrep" >&2; exit 2; }
windows_corpus="Z:$(printf '%s' "$corpus" | tr / '\\')"

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
# Warm the cache and the Wine server once.
"$run" "$build/trovik-floor.exe" "$windows_corpus" >/dev/null
i=0
while [ "$i" -lt "$repetitions" ]; do
  i=$((i + 1))
  "$run" "$build/trovik-scan.exe" --quiet --memory --profile --subfolders --text "$text" "$windows_corpus" | tr -d '\r' > "$results/scan.out"
  awk -F'\t' '$1 == "elapsed" { print $2 }' "$results/scan.out" >> "$results/scan"
  awk -F'\t' '$1 == "steps" { print $3 }' "$results/scan.out" >> "$results/longest"
  awk -F'\t' '$1 == "peak" { print $2 }' "$results/scan.out" >> "$results/peak"
  awk -F'\t' '$1 == "insteps" { print $2 }' "$results/scan.out" >> "$results/insteps"
  if [ -n "${TROVIK_OLD_BUILD:-}" ]; then
    "$run" "$TROVIK_OLD_BUILD/trovik-scan.exe" --quiet --memory --profile --subfolders --text "$text" "$windows_corpus" | tr -d '\r' > "$results/old.out"
    awk -F'\t' '$1 == "elapsed" { print $2 }' "$results/old.out" >> "$results/old"
    awk -F'\t' '$1 == "steps" { print $3 }' "$results/old.out" >> "$results/oldlongest"
    awk -F'\t' '$1 == "peak" { print $2 }' "$results/old.out" >> "$results/oldpeak"
  fi
  "$run" "$build/trovik-floor.exe" "$windows_corpus" | tr -d '\r' > "$results/floor.out"
  awk -F'\t' '$1 == "elapsed" { print $2 }' "$results/floor.out" >> "$results/floor"
  awk -F'\t' '$1 == "longest" { print $2 }' "$results/floor.out" >> "$results/floorlongest"
  start=$(now); grep -rcF -a -- "$text" "$corpus" >/dev/null || true; end=$(now)
  echo "$end - $start" | bc -l >> "$results/grep"
  start=$(now); rg -j1 -c -F -a -uuu -- "$text" "$corpus" >/dev/null || true; end=$(now)
  echo "$end - $start" | bc -l >> "$results/rg"
done

scan=$(median < "$results/scan")
floor=$(median < "$results/floor")
grep_time=$(median < "$results/grep")
rg_time=$(median < "$results/rg")
longest=$(median < "$results/longest")
insteps=$(median < "$results/insteps")
floor_longest=$(median < "$results/floorlongest")
peak=$(sort -g "$results/peak" | tail -n 1)
largest=$(find "$corpus" -type f -printf '%s\n' | sort -g | tail -n 1)
files=$(find "$corpus" -type f | wc -l)
bytes=$(du -sb "$corpus" | cut -f1)

echo "corpus: $corpus ($files files, $bytes bytes, largest $largest); text: $text; $repetitions runs, medians"
grep summary "$results/scan.out" | tr '\t' ' '
printf 'trovik-scan (Wine)  %8.3f s\n' "$scan"
printf 'floor (Wine)        %8.3f s   scan/floor %5.2f\n' "$floor" "$(echo "$scan / $floor" | bc -l)"
printf 'grep (native)       %8.3f s   scan/grep  %5.2f\n' "$grep_time" "$(echo "$scan / $grep_time" | bc -l)"
printf 'ripgrep -j1 (nat.)  %8.3f s   scan/rg    %5.2f\n' "$rg_time" "$(echo "$scan / $rg_time" | bc -l)"
printf 'scan inside steps   %8.3f s   the loop around them %.3f s\n' "$insteps" "$(echo "$scan - $insteps" | bc -l)"
printf 'longest step        %8.3f ms  (floor: longest single file %.3f ms)\n' "$longest" "$floor_longest"
printf 'peak working set    %8.1f MB   (largest file %.1f MB; bound 32 MB + the piece buffer)\n' \
  "$(echo "$peak / 1048576" | bc -l)" "$(echo "$largest / 1048576" | bc -l)"
if [ -n "${TROVIK_OLD_BUILD:-}" ]; then
  old=$(median < "$results/old")
  printf 'earlier trovik-scan %8.3f s   old/floor  %5.2f   longest step %.3f ms   peak %.1f MB\n' "$old" \
    "$(echo "$old / $floor" | bc -l)" "$(median < "$results/oldlongest")" \
    "$(sort -g "$results/oldpeak" | tail -n 1 | awk '{ print $1 / 1048576 }')"
fi
