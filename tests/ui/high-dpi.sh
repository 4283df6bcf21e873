#!/bin/sh
# Runs a test program under Wine at another screen resolution, in a prefix of
# its own: Wine reads the resolution from the prefix when a program starts,
# so it is set there once and never changes under the tests that share the
# build's prefix. Stops the prefix's server when the program has ended.
#   usage: high-dpi.sh WINE-RUN PREFIX DPI PROGRAM [ARGUMENTS...]
set -u
RUN="$1"
export TROVIK_OWN_PREFIX="$2"
DPI="$3"
shift 3
"$RUN" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$DPI" /f </dev/null >/dev/null 2>&1
"$RUN" "$@"
status=$?
WINEPREFIX="$TROVIK_OWN_PREFIX" wineserver -k 2>/dev/null
exit $status
