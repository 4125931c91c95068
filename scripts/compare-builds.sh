#!/usr/bin/env bash
# Checks that yigsgyur.exe under wine and the web module (under node, and one
# document through the page in Chromium) give the Linux build's bytes: every
# ordered pair of the seven encodings on the sample documents, sort, detect.
#
#   scripts/compare-builds.sh [windows] [web] [chromium]     # default: windows web
# The builds are made when missing (build-compare/, build-windows/, build-web/).
set -euo pipefail
cd "$(dirname "$0")/.."
what=("$@")
[ ${#what[@]} -eq 0 ] && what=(windows web)
has() { [[ " ${what[*]} " == *" $1 "* ]]; }

native=build-compare/cli/yigsgyur
if [ ! -x "$native" ]; then
  cmake -S . -B build-compare -G Ninja -DCMAKE_BUILD_TYPE=Release -DYIGSGYUR_TESTS=OFF -DYIGSGYUR_GUI=OFF >/dev/null
  cmake --build build-compare --target yigsgyur
fi
has windows && { [ -x build-windows/yigsgyur.exe ] || scripts/build-windows.sh; }
has web && { [ -f build-web/yigsgyur.js ] || scripts/build-web.sh; }
has chromium && WEB_CHROMIUM=1 scripts/build-web.sh >/dev/null
export WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-$PWD/build-windows/wine}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
docs=tests/data/documents
"$native" convert --from HIMA --to HKA "$docs/word-hima.rtf" -o "$work/word-hka.rtf" >/dev/null
passed=0 failed=0
check() {  # NAME FILE-A FILE-B
  if cmp -s "$2" "$3"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "differs: $1"; fi
}
codes=(HIMA BZD TY FZ HG HKA SAM)
for from in "${codes[@]}"; do
  source="$docs/word-${from,,}.rtf"
  [ "$from" = HKA ] && source="$work/word-hka.rtf"
  for to in "${codes[@]}"; do
    [ "$from" = "$to" ] && continue
    "$native" convert --from "$from" --to "$to" "$source" -o "$work/linux.rtf" >/dev/null 2>&1 || true
    if has windows; then
      wine build-windows/yigsgyur.exe convert --from "$from" --to "$to" "$source" -o "$work/windows.rtf" >/dev/null 2>&1 || true
      check "windows $from->$to" "$work/linux.rtf" "$work/windows.rtf"
    fi
    if has web; then
      node scripts/web-node-convert.mjs "$source" "$from" "$to" "$work/web.rtf" 2>/dev/null || true
      check "web $from->$to" "$work/linux.rtf" "$work/web.rtf"
    fi
  done
done
for text in tests/data/sorting/kangyur-phrases.txt samples/sample-hima.txt; do
  "$native" sort "$text" -o "$work/linux.txt" >/dev/null 2>&1
  if has windows; then
    wine build-windows/yigsgyur.exe sort "$text" -o - >"$work/windows.txt" 2>/dev/null
    check "windows sort $text" "$work/linux.txt" "$work/windows.txt"
  fi
  if has web; then
    node scripts/web-node-convert.mjs "$text" sort "$work/web.txt" 2>/dev/null
    check "web sort $text" "$work/linux.txt" "$work/web.txt"
  fi
done
if has windows; then
  for document in "$docs"/*.rtf samples/sample-hima.txt; do
    "$native" detect "$document" >"$work/linux.detect" 2>&1 || true
    wine build-windows/yigsgyur.exe detect "$document" >"$work/windows.detect" 2>&1 || true
    check "windows detect $document" "$work/linux.detect" "$work/windows.detect"
  done
fi
if has chromium; then
  "$native" convert --from BZD --to HIMA "$docs/word-bzd.rtf" -o "$work/linux.rtf" >/dev/null
  node scripts/web-chromium-convert.mjs "$docs/word-bzd.rtf" BZD HIMA "$work/chromium.rtf" 2>/dev/null || true
  check "chromium BZD->HIMA" "$work/linux.rtf" "$work/chromium.rtf"
fi
[ -n "${WINEPREFIX:-}" ] && has windows && { wineserver -k 2>/dev/null || true; }
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
