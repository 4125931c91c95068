#!/usr/bin/env bash
# Cross-builds yigsgyur.exe for 64-bit Windows with Debian's mingw-w64 into
# build-windows/ (one file; it needs only DLLs that come with Windows).
# Installs mingw-w64 and wine when missing. The desktop program is not built:
# there is no Qt for Windows to link with here.
#
#   scripts/build-windows.sh                # build-windows/yigsgyur.exe
#   TESTS=ON scripts/build-windows.sh       # also the test suites (scripts/test-windows.sh runs them)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-windows}
TESTS=${TESTS:-OFF}
JOBS=${JOBS:-$(nproc)}

packages=(cmake ninja-build g++ pkg-config g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
          binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev wine wine64)
[ "$TESTS" = ON ] && packages+=(googletest)
scripts/install-deps.sh "${packages[@]}"

# The resource generator runs during the build, so it is built for this machine.
mkdir -p "$BUILD_DIR/host"
embed="$BUILD_DIR/host/yig_embed_resources"
if [ ! -x "$embed" ] || [ tools/embed_resources.cpp -nt "$embed" ]; then
  g++ -std=c++20 -O2 tools/embed_resources.cpp -o "$embed"
fi

cmake -S . -B "$BUILD_DIR" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DYIGSGYUR_GUI=OFF \
  -DYIGSGYUR_TESTS="$TESTS" \
  -DYIGSGYUR_EMBED_RESOURCES="$PWD/$embed"
cmake --build "$BUILD_DIR" -j"$JOBS"
x86_64-w64-mingw32-strip -o "$BUILD_DIR/yigsgyur.exe" "$BUILD_DIR/cli/yigsgyur.exe"

echo "$BUILD_DIR/yigsgyur.exe: $(stat -c %s "$BUILD_DIR/yigsgyur.exe") bytes; needs:" \
  $(x86_64-w64-mingw32-objdump -p "$BUILD_DIR/yigsgyur.exe" | sed -n 's/.*DLL Name: //p')
