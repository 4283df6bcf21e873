#!/bin/sh
# A folder that cannot be listed, made on the Linux side and searched by the
# harness: one failed line with its name and its parent folder, not counted
# as a searched file, and the walk goes on beside it. Root lists every folder,
# so as root the harness runs without the rights that override permissions,
# in a Wine prefix of its own whose server starts without them too. Exits 77
# (skipped) where no folder can be denied.
#   usage: denied-folder.sh WINE-RUN TROVIK-SCAN.EXE PREFIX
set -u
export LC_ALL=C.UTF-8
RUN="$1"
SCAN="$2"
PREFIX="$3"
WORK=$(mktemp -d /tmp/trovik-denied.XXXXXX) || exit 1
cleanup() {
    chmod -R u+rwx "$WORK" 2>/dev/null
    rm -rf "$WORK"
    WINEPREFIX="$PREFIX" wineserver -k 2>/dev/null
}
trap cleanup EXIT INT TERM
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

T="$WORK/tree"
mkdir -p "$T/denied/inner" "$T/open"
printf 'needle' >"$T/denied/in.txt"
printf 'needle' >"$T/denied/inner/deep.txt"
printf 'needle' >"$T/open/a.txt"
printf 'needle needle' >"$T/top.txt"
chmod 000 "$T/denied"

without=""
if [ "$(id -u)" = 0 ]; then
    if ! command -v setpriv >/dev/null; then
        echo "SKIP: running as root, and without setpriv the harness would list every folder"
        exit 77
    fi
    without="setpriv --bounding-set -dac_override,-dac_read_search --inh-caps -dac_override,-dac_read_search"
fi
if $without ls "$T/denied" >/dev/null 2>&1; then
    echo "SKIP: the folder made without permissions can still be listed here"
    exit 77
fi

# A server of this prefix left from a run with more rights would list it.
WINEPREFIX="$PREFIX" wineserver -k 2>/dev/null
w=$(winpath "$T")
actual=$($without env TROVIK_OWN_PREFIX="$PREFIX" "$RUN" "$SCAN" --subfolders --text needle "$w" | tr -d '\r' |
    grep -v '^status' | sort)
expected=$(printf 'found\t0\t-1\t0\t%s\tdenied\t-\nfound\t1\t0\t6\t%s\\open\ta.txt\tANSI\nfound\t2\t0\t13\t%s\ttop.txt\tANSI\nsummary\t2\t3\t2' \
    "$w" "$w" "$w" | sort)
if [ "$actual" != "$expected" ]; then
    printf 'FAIL the folder that cannot be listed\n--- expected\n%s\n--- actual\n%s\n' "$expected" "$actual"
    exit 1
fi
echo "ok   the folder that cannot be listed is one failed line, and the walk goes on"
