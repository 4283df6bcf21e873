#!/bin/sh
# The large-file targets of the piece-by-piece walk, under Wine: the longest
# step and the stop latency while a 2 GB text file is searched, peak memory
# with a 2 GB and a 5 GB file, a 5 GB sparse file that ends early, and twenty
# 100 MB binary files against the floor. Files are made in a scratch folder
# (sparse where the content allows) and removed at the end.
#   bench/large.sh [REPETITIONS] [OLD-BUILD]
# OLD-BUILD: a build folder of an earlier trovik-scan.exe, run alternately
# with this one. Needs the Windows build in build/ (or TROVIK_BUILD).
set -eu
repetitions=${1:-3}
old=${2:-}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TROVIK_BUILD:-$top/build}
run="$build/wine-run.sh"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/trovik-large.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
windows() { printf 'Z:%s' "$1" | tr / '\\'; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
field() { tr -d '\r' | awk -F'\t' -v n="$1" -v k="$2" '$1 == n { print $k }'; }

# 2 GB of source text, a 5 GB sparse file ("needle" then zero bytes), twenty
# 100 MB binaries with a zero byte in their first kilobyte (sparse after it).
mkdir -p "$scratch/text" "$scratch/sparse" "$scratch/binaries"
sample=$(mktemp)
cat /usr/include/*.h > "$sample"
while [ "$(stat -c %s "$scratch/text/big.c" 2>/dev/null || echo 0)" -lt 2147483648 ]; do
  cat "$sample" "$sample" "$sample" "$sample" >> "$scratch/text/big.c"
done
rm -f "$sample"
truncate -s 2147483648 "$scratch/text/big.c"
printf 'needle' > "$scratch/sparse/huge.bin"
truncate -s 5368709120 "$scratch/sparse/huge.bin"
i=0
while [ "$i" -lt 20 ]; do
  i=$((i + 1))
  printf 'MZ\220\0\3\0\0\0needle' > "$scratch/binaries/b$i.exe"
  truncate -s 104857600 "$scratch/binaries/b$i.exe"
done
# The binaries read whole by the floor must come from the page cache, as the
# scan's reads do: one warming pass.
cat "$scratch"/binaries/* "$scratch/text/big.c" > /dev/null

builds="$build"
[ -n "$old" ] && builds="$old $build"
for b in $builds; do
  label=new
  [ "$b" = "$old" ] && label=old
  : > "$scratch/$label.text"; : > "$scratch/$label.stop"; : > "$scratch/$label.sparse"; : > "$scratch/$label.bin"
done

r=0
while [ "$r" -lt "$repetitions" ]; do
  r=$((r + 1))
  for b in $builds; do
    label=new
    [ "$b" = "$old" ] && label=old
    # The whole 2 GB text file: elapsed, longest step, peak memory.
    "$run" "$b/trovik-scan.exe" --quiet --memory --text zqxjv "$(windows "$scratch/text")" > "$scratch/out" 2>&1 || true
    printf '%s %s %s %s\n' "$(field elapsed 2 < "$scratch/out")" "$(field steps 3 < "$scratch/out")" \
      "$(field peak 2 < "$scratch/out")" "$(field summary 3 < "$scratch/out")" >> "$scratch/$label.text"
    # Stop 500 ms into the 2 GB file.
    if [ "$label" = new ]; then
      "$run" "$b/trovik-scan.exe" --quiet --stop-after 500 --text zqxjv "$(windows "$scratch/text")" > "$scratch/out" 2>&1 || true
      field stop 2 < "$scratch/out" >> "$scratch/$label.stop"
    fi
    # The 5 GB sparse file.
    "$run" "$b/trovik-scan.exe" --quiet --memory --text needle "$(windows "$scratch/sparse")" > "$scratch/out" 2>&1 || true
    printf '%s %s %s\n' "$(field elapsed 2 < "$scratch/out")" "$(field peak 2 < "$scratch/out")" \
      "$(field summary 3 < "$scratch/out")" >> "$scratch/$label.sparse"
    # Twenty 100 MB binaries, and the floor that reads them whole.
    "$run" "$b/trovik-scan.exe" --quiet --memory --text needle "$(windows "$scratch/binaries")" > "$scratch/out" 2>&1 || true
    printf '%s %s\n' "$(field elapsed 2 < "$scratch/out")" "$(field peak 2 < "$scratch/out")" >> "$scratch/$label.bin"
  done
  "$run" "$build/trovik-floor.exe" "$(windows "$scratch/binaries")" | field elapsed 2 >> "$scratch/floor.bin"
done

echo "large files under Wine, $repetitions runs each (medians; peaks are the largest seen)"
for b in $builds; do
  label=new
  [ "$b" = "$old" ] && label=old
  echo "--- $label: $b"
  printf '2 GB text: elapsed %.3f s, longest step %.3f ms, peak %.1f MB, matches %s\n' \
    "$(cut -d' ' -f1 "$scratch/$label.text" | median)" "$(cut -d' ' -f2 "$scratch/$label.text" | median)" \
    "$(cut -d' ' -f3 "$scratch/$label.text" | sort -g | tail -n 1 | awk '{ print $1 / 1048576 }')" \
    "$(cut -d' ' -f4 "$scratch/$label.text" | head -n 1)"
  [ -s "$scratch/$label.stop" ] && printf '2 GB text, stop after 500 ms: summary %.3f ms after the press (max %.3f)\n' \
    "$(median < "$scratch/$label.stop")" "$(sort -g "$scratch/$label.stop" | tail -n 1)"
  printf '5 GB sparse: elapsed %.3f s, peak %.1f MB, matches %s\n' \
    "$(cut -d' ' -f1 "$scratch/$label.sparse" | median)" \
    "$(cut -d' ' -f2 "$scratch/$label.sparse" | sort -g | tail -n 1 | awk '{ print $1 / 1048576 }')" \
    "$(cut -d' ' -f3 "$scratch/$label.sparse" | head -n 1)"
  bin=$(cut -d' ' -f1 "$scratch/$label.bin" | median)
  floor=$(median < "$scratch/floor.bin")
  printf '20 x 100 MB binaries: %.3f s, floor %.3f s, scan/floor %.3f, peak %.1f MB\n' "$bin" "$floor" \
    "$(echo "$bin / $floor" | bc -l)" "$(cut -d' ' -f2 "$scratch/$label.bin" | sort -g | tail -n 1 | awk '{ print $1 / 1048576 }')"
done
