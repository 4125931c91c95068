#!/usr/bin/env bash
# Installs what is missing, builds, and starts Yigsgyur.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD_DIR" -j"$(nproc)"
if [ -x "$BUILD_DIR/ui/yigsgyur-gui" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec "$BUILD_DIR/ui/yigsgyur-gui" "$@"
fi
out="$BUILD_DIR/sample-bzd.rtf"
"$BUILD_DIR/cli/yigsgyur" convert --from HIMA --to BZD samples/sample-hima.rtf -o "$out"
echo "Converted samples/sample-hima.rtf (Unicode Tibetan) to BZD: $out"
