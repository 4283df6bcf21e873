#!/bin/sh
# Runs a test program under Wine at another screen resolution, in a prefix of
# its own: Wine reads the resolution from the prefix when a program starts,
# so it is set there once and never changes under the tests that share the
# build's prefix. Stops the prefix's server when the program has ended.
#   usage: high-dpi.sh PREFIX DPI PROGRAM [ARGUMENTS...]
set -u
export WINEPREFIX="$1"
DPI="$2"
shift 2
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.trovik-ready" ]; then
    wineboot -i </dev/null >/dev/null 2>&1 9>&-
    # No display: Wine's null graphics driver still creates windows.
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1 9>&-
    # A crashing test must end, not wait on the crash dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 9>&-
    # The desktop that start-up left running still has the default driver.
    wineserver -w 9>&-
    touch "$WINEPREFIX/.trovik-ready"
  fi
  # A server of its own, its services started with no pipe of ours, as the
  # build's wrapper does.
  wineserver -p </dev/null >/dev/null 2>&1 9>&-
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$DPI" /f </dev/null >/dev/null 2>&1 9>&-
) 9>"$WINEPREFIX.lock"
wine "$@"
status=$?
wineserver -k 2>/dev/null
exit $status
