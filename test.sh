#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build-test}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DYIGSGYUR_SANITIZE=ON -DYIGSGYUR_WERROR=ON
cmake --build "$BUILD_DIR" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)"
# The Windows build (mingw-w64) and its test suites, run under wine.
./scripts/test-windows.sh
# The web page (WebAssembly) driven in headless Chromium: what it offers for
# download must be the native program's bytes.
./scripts/test-web.sh "$BUILD_DIR/cli/yigsgyur"
# A short pass of every fuzz target (a separate clang build with libFuzzer).
./scripts/fuzz.sh 15 --jobs "$(nproc)"
