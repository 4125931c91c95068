#!/usr/bin/env bash
# Cross-builds the test suites for Windows (scripts/build-windows.sh with
# WINDOWS_TESTS=ON) and runs them under wine. Tests that need what Windows lacks say
# so and are skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINDOWS_BUILD_DIR=${WINDOWS_BUILD_DIR:-build-windows-tests} WINDOWS_TESTS=ON
case "$WINDOWS_BUILD_DIR" in /*) ;; *) WINDOWS_BUILD_DIR=$PWD/$WINDOWS_BUILD_DIR ;; esac
scripts/build-windows.sh
export WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-$WINDOWS_BUILD_DIR/wine}
# Make the prefix first and keep one wine server alive for every suite: a suite
# started while the server of the previous one is shutting down (or while the
# prefix is still being made) can lose its connection to it
# ("wine client error: recvmsg: Connection reset by peer").
wineboot --init >/dev/null 2>&1 || true
wineserver -w 2>/dev/null || true
wineserver -p 2>/dev/null || true
trap 'wineserver -k 2>/dev/null || true' EXIT
status=0
for suite in richtext engine sorting documents cli; do
  exe="$WINDOWS_BUILD_DIR/tests/yig_${suite}_tests.exe"
  log=$(mktemp)
  for attempt in 1 2 3; do
    echo "== yig_${suite}_tests.exe (wine)"
    # The test data is found by its Linux path, which wine maps to drive Z:.
    # Into a file, not a pipe: wine's own services keep a pipe open after the suite ends.
    rc=0
    wine "$exe" --gtest_brief=1 >"$log" 2>&1 || rc=$?
    cat "$log"
    [ "$rc" -eq 0 ] && break
    # A suite whose tests ran and failed has failed. One that never got to print
    # its summary lost wine itself; that is tried again (twice at most).
    if grep -q '^\[==========\] .* ran\.' "$log" || [ "$attempt" -eq 3 ]; then
      status=1
      break
    fi
    echo "wine did not run yig_${suite}_tests.exe to its end; trying again"
    wineserver -k 2>/dev/null || true
    wineserver -p 2>/dev/null || true
  done
  rm -f "$log"
done
exit $status
