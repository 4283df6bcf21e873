#!/bin/sh
# Trees only the Linux side can make (symbolic links, link loops, names that
# Windows forbids, devices and pipes) searched by trovik-scan under Wine, and
# with TROVIK_SLOW_TESTS=1 the scale cases: 100,000 files in one folder and
# 10,000 nested folders, with the time, the longest step and the memory.
# usage: hostile-trees.sh WINE-RUN TROVIK-SCAN.EXE
set -u
# Wine reads Linux file names in the locale's character set: UTF-8, as the
# names here are made.
export LC_ALL=C.UTF-8
RUN="$1"
SCAN="$2"
LIMIT="${TROVIK_ROBUST_TIMEOUT:-120}"

WORK=$(mktemp -d /tmp/trovik-robust.XXXXXX) || exit 1
trap 'rm -rf "$WORK"' EXIT INT TERM
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The Windows spelling of a Linux path: Wine maps / to Z:.
winpath() {
    printf 'Z:%s' "$1" | tr / '\\'
}

# scan NAME ARGS...: runs the harness with a time limit into $WORK/NAME.out.
scan() {
    name="$1"
    shift
    start=$(date +%s)
    if [ -x /usr/bin/time ]; then
        timeout "$LIMIT" /usr/bin/time -f '%M' -o "$WORK/$name.mem" "$RUN" "$SCAN" "$@" </dev/null \
            >"$WORK/$name.raw" 2>"$WORK/$name.err"
    else
        timeout "$LIMIT" "$RUN" "$SCAN" "$@" </dev/null >"$WORK/$name.raw" 2>"$WORK/$name.err"
    fi
    rc=$?
    # The reading that found a file (the seventh field) is not what these trees test.
    tr -d '\r' <"$WORK/$name.raw" | cut -f1-6 >"$WORK/$name.out"
    seconds=$(($(date +%s) - start))
    if [ "$rc" -eq 124 ]; then
        fail "$name: no end within $LIMIT s"
        return 1
    fi
    if [ "$rc" -ne 0 ]; then
        fail "$name: exit status $rc: $(cat "$WORK/$name.err")"
        return 1
    fi
    echo "$name: ended in $seconds s, peak memory $(tail -n 1 "$WORK/$name.mem" 2>/dev/null || echo '?') KiB"
    return 0
}

# The summary agrees with the found lines (a failed line may be a folder
# that could not be entered, which is no searched file), and no found line
# has an empty folder.
check_consistent() {
    awk -F'\t' -v name="$1" '
        $1 == "found" { if ($3 != -1) n++; m += $2; if ($2 > 0) w++;
                        if ($5 == "") { print name ": no folder for " $6; bad = 1 } }
        $1 == "summary" { s = 1; if ($3 != m || $4 != w || $2 < n) {
                            print name ": summary " $2 "/" $3 "/" $4 " but found " n "/" m "/" w; bad = 1 } }
        END { if (!s) { print name ": no summary"; bad = 1 } exit bad }' "$WORK/$1.out" || failures=$((failures + 1))
}

# expect NAME PATTERN COUNT: that many lines of the output match PATTERN.
expect() {
    got=$(grep -c -- "$2" "$WORK/$1.out")
    [ "$got" -eq "$3" ] || fail "$1: $3 lines like '$2' expected, $got found"
}

# Links to folders are entered like any folder; a link to a parent ends
# where the platform stops following links (that level is a folder that
# cannot be entered: a failed line) or at the path length limit, each level
# counted once.
T="$WORK/links"
mkdir -p "$T/real" "$T/loop/sub"
printf 'needle' >"$T/real/g.txt"
ln -s real "$T/alias"
ln -s /nonexistent/folder "$T/dangling"
printf 'needle' >"$T/loop/f.txt"
ln -s .. "$T/loop/sub/back"
if scan links --subfolders --text needle "$(winpath "$T")"; then
    check_consistent links
    expect links "[\\]real	g.txt$" 1
    expect links "[\\]alias	g.txt$" 1
    levels=$(grep -c '^status	Searching back \.\.\.$' "$WORK/links.out")
    refused=$(grep -c '^found	0	-1	0	.*	back$' "$WORK/links.out")
    [ "$refused" -le 1 ] || fail "links: $refused levels of the loop refused"
    expect links "	f.txt$" $((levels + 1 - refused))
    [ "$levels" -ge 5 ] || fail "links: the loop was left after $levels rounds"
    deepest=$(awk -F'\t' '$1 == "found" && length($5) > d { d = length($5) } END { print d + 0 }' "$WORK/links.out")
    echo "links: loop entered $levels times ($refused refused), deepest folder $deepest bytes"
fi

# Names Windows cannot open by their plain spelling (devices, trailing dots
# and spaces) are read by their full path as the files they are; names with
# characters Windows forbids, pipes and links to devices are listed as
# failed; nothing is read wrongly.
T="$WORK/names"
mkdir -p "$T"
for n in aux com1 con nul prn lpt1 aux.txt 'a\b.txt' 'star*.txt' 'q?.txt' 'lt<.txt' 'pipe|.txt' \
    'quote".txt' 'dot.txt.' 'space.txt ' "bad$(printf '\377').txt" "$(printf '\344\270\200').txt"; do
    printf 'needle' >"$T/$n"
done
printf 'needle needle' >"$T/plain.txt"
# Beside a name the platform resolves by dropping its trailing dot or space
# lies the file or folder that it would otherwise lead to.
printf 'needle needle needle' >"$T/dot.txt"
printf 'needle needle needle' >"$T/space.txt"
mkdir "$T/sub" "$T/sub." "$T/sub "
printf 'needle' >"$T/sub/own.txt"
printf 'needle' >"$T/sub./dotted.txt"
printf 'needle' >"$T/sub /spaced.txt"
mkfifo "$T/pipe.txt"
ln -s /dev/zero "$T/zero.txt"
ln -s /dev/urandom "$T/random.txt"
ln -s /nonexistent "$T/broken.txt"
mkdir "$T/$(printf '\344\270\202')dir"
printf 'needle' >"$T/$(printf '\344\270\202')dir/inner.txt"
if scan names --utf8 --subfolders --text needle "$(winpath "$T")"; then
    check_consistent names
    # 27 files: 18 read (23 matches), 9 failed (six forbidden characters,
    # the pipe, the two links to devices).
    expect names "^summary	27	23	18$" 1
    expect names "^found	[1-9]" 18
    expect names "^found	0	-1	" 9
    expect names "^found	2	0	.*	plain.txt$" 1
    expect names "^found	3	0	.*	dot.txt$" 1
    expect names "^found	1	0	.*	dot.txt\.$" 1
    expect names "^found	3	0	.*	space.txt$" 1
    expect names "^found	1	0	.*	space.txt $" 1
    for n in aux com1 con nul prn lpt1 aux.txt "$(printf '\344\270\200').txt"; do
        expect names "^found	1	0	.*	$n$" 1
    done
    expect names "^found	0	-1	.*	pipe.txt$" 1
    expect names "^found	1	0	.*[\\]sub	own.txt$" 1
    expect names "^found	1	0	.*[\\]sub\.	dotted.txt$" 1
    expect names "^found	1	0	.*[\\]sub 	spaced.txt$" 1
    expect names "^found	1	0	.*[\\]$(printf '\344\270\202')dir	inner.txt$" 1
fi

if [ "${TROVIK_SLOW_TESTS:-0}" != 1 ]; then
    echo "scale cases skipped: TROVIK_SLOW_TESTS=1 runs them"
else
    # 100,000 files in one folder, one of them with the text.
    T="$WORK/wide"
    mkdir -p "$T"
    (cd "$T" && seq -f 'f%06g.txt' 1 100000 | xargs touch && printf 'needle' >f050000.txt)
    LIMIT=1800
    if scan wide --quiet --text needle "$(winpath "$T")"; then
        expect wide "^summary	100000	1	1$" 1
        sed -n 's/^\(elapsed\|steps\)/wide: &/p' "$WORK/wide.out"
    fi
    # The same folder with a pattern that matches a single file: the walk
    # skips 99,999 entries, inside one step or spread over several.
    if scan wide-pattern --quiet --pattern 'f099999.txt' --text needle "$(winpath "$T")"; then
        sed -n 's/^\(elapsed\|steps\)/wide-pattern: &/p' "$WORK/wide-pattern.out"
    fi
    # Looking for subfolders among 100,000 files: the listing and the skipping
    # of every file happen inside one step.
    mkdir "$T/zsub" && printf 'needle' >"$T/zsub/in.txt"
    if scan wide-skip --quiet --subfolders --pattern '*.none' --text needle "$(winpath "$T")"; then
        expect wide-skip "^summary	0	0	0$" 1
        sed -n 's/^\(elapsed\|steps\)/wide-skip: &/p' "$WORK/wide-skip.out"
    fi
    rm -rf "$T"
    # 10,000 nested folders: 100 folders of 99 subfolders, each with a file.
    T="$WORK/deep"
    mkdir -p "$T"
    (cd "$T" && for i in $(seq 1 100); do
        mkdir "d$i" && printf 'needle' >"d$i/x.txt"
        (cd "d$i" && seq -f 's%g' 1 99 | xargs mkdir && for s in s*; do printf 'x' >"$s/y.txt"; done)
    done)
    if scan deep --quiet --subfolders --text needle "$(winpath "$T")"; then
        expect deep "^summary	10000	100	100$" 1
        sed -n 's/^\(elapsed\|steps\)/deep: &/p' "$WORK/deep.out"
    fi
    rm -rf "$T"
    # One file of 3 x 2^30 one-byte hits: no count or total wraps, in the
    # record, the counters and the summary text.
    T="$WORK/billions"
    mkdir -p "$T"
    head -c 3221225472 /dev/zero | tr '\0' 'x' >"$T/x.txt"
    if scan billions --text x "$(winpath "$T")"; then
        expect billions "^found	3221225472	0	3221225472	" 1
        expect billions "^status	Found 3221225472 matches in 1 files$" 2
        expect billions "^summary	1	3221225472	1$" 1
    fi
    rm -rf "$T"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
