#!/usr/bin/env bash
# Cross-builds yigsgyur.exe for 64-bit Windows with Debian's mingw-w64 into
# build-windows/ (one file; it needs only DLLs that come with Windows).
# Installs mingw-w64 and wine when missing. The desktop program is not built:
# there is no Qt for Windows to link with here.
#
#   scripts/build-windows.sh                # build-windows/yigsgyur.exe
#   WINDOWS_TESTS=ON scripts/build-windows.sh       # also the test suites (scripts/test-windows.sh runs them)
set -euo pipefail
cd "$(dirname "$0")/.."
WINDOWS_BUILD_DIR=${WINDOWS_BUILD_DIR:-build-windows}
# Absolute, as CMake runs the resource generator from inside the build.
case "$WINDOWS_BUILD_DIR" in /*) ;; *) WINDOWS_BUILD_DIR=$PWD/$WINDOWS_BUILD_DIR ;; esac
WINDOWS_TESTS=${WINDOWS_TESTS:-OFF}
JOBS=${WINDOWS_JOBS:-$(nproc)}

packages=(cmake ninja-build g++ pkg-config g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
          binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev libz-mingw-w64-dev wine wine64)
[ "$WINDOWS_TESTS" = ON ] && packages+=(googletest)
scripts/install-deps.sh "${packages[@]}"

# The resource generator runs during the build, so it is built for this machine.
mkdir -p "$WINDOWS_BUILD_DIR/host"
embed="$WINDOWS_BUILD_DIR/host/yig_embed_resources"
if [ ! -x "$embed" ] || [ tools/embed_resources.cpp -nt "$embed" ]; then
  g++ -std=c++20 -O2 tools/embed_resources.cpp -o "$embed"
fi

cmake -S . -B "$WINDOWS_BUILD_DIR" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DYIGSGYUR_GUI=OFF \
  -DYIGSGYUR_TESTS="$WINDOWS_TESTS" \
  -DYIGSGYUR_EMBED_RESOURCES="$embed"
cmake --build "$WINDOWS_BUILD_DIR" -j"$JOBS"
x86_64-w64-mingw32-strip -o "$WINDOWS_BUILD_DIR/yigsgyur.exe" "$WINDOWS_BUILD_DIR/cli/yigsgyur.exe"

echo "$WINDOWS_BUILD_DIR/yigsgyur.exe: $(stat -c %s "$WINDOWS_BUILD_DIR/yigsgyur.exe") bytes; needs:" \
  $(x86_64-w64-mingw32-objdump -p "$WINDOWS_BUILD_DIR/yigsgyur.exe" | sed -n 's/.*DLL Name: //p')
