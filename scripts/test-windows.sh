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
status=0
for suite in richtext engine sorting documents cli; do
  echo "== yig_${suite}_tests.exe (wine)"
  # The test data is found by its Linux path, which wine maps to drive Z:.
  wine "$WINDOWS_BUILD_DIR/tests/yig_${suite}_tests.exe" --gtest_brief=1 || status=1
done
wineserver -k 2>/dev/null || true
exit $status
