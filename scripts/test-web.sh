#!/usr/bin/env bash
# Builds the web page (scripts/build-web.sh with WEB_CHROMIUM=1) and converts
# sample documents through it in headless Chromium as a person would: choose
# the encodings, pick the file, save what the page offers. Each saved file
# must have the native program's bytes for the same conversion.
#
#   scripts/test-web.sh NATIVE        # NATIVE: the Linux build's yigsgyur
set -euo pipefail
cd "$(dirname "$0")/.."
native=${1:?usage: scripts/test-web.sh PATH-TO-NATIVE-yigsgyur}
[ -x "$native" ] || { echo "test-web: $native is not a program" >&2; exit 2; }
export WEB_BUILD_DIR=${WEB_BUILD_DIR:-build-web}
case "$WEB_BUILD_DIR" in
  /*) export YIGSGYUR_WEB_BUILD=$WEB_BUILD_DIR ;;
  *) export YIGSGYUR_WEB_BUILD=$PWD/$WEB_BUILD_DIR ;;
esac
WEB_CHROMIUM=1 scripts/build-web.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
docs=tests/data/documents
# FILE FROM TO: both directions between Unicode and the legacy encodings, on
# documents made by Word and by LibreOffice, one of them with the page's guess;
# a Word package and an OpenDocument text, converted in their own XML (the
# page's zlib is the native build's, so the packages are the same bytes too).
cases=(
  "word-bzd.rtf BZD HIMA"
  "word-hima.rtf HIMA BZD"
  "lo-sam.rtf SAM HIMA"
  "lo-hima.rtf HIMA SAM"
  "lo-ty.rtf auto HIMA"
  "lo-hima.docx HIMA BZD"
  "lo-fz.odt auto HIMA"
)
failed=0
for c in "${cases[@]}"; do
  read -r file from to <<<"$c"
  name="$from->$to $file"
  ending=${file##*.}
  [ "$ending" = docx ] || [ "$ending" = odt ] || ending=rtf
  native_out=$work/native.$ending page_out=$work/page.$ending
  rm -f "$native_out" "$page_out"
  status=0
  "$native" convert --from "$from" --to "$to" "$docs/$file" -o "$native_out" >"$work/native.log" 2>&1 || status=$?
  if [ "$status" -gt 1 ] || [ ! -s "$native_out" ]; then
    echo "FAILED: $name: the native program did not convert it (status $status)"
    cat "$work/native.log"
    failed=$((failed + 1))
    continue
  fi
  if ! node scripts/web-chromium-convert.mjs "$docs/$file" "$from" "$to" "$page_out" 2>"$work/page.log"; then
    echo "FAILED: $name: the page in Chromium gave no file"
    cat "$work/page.log"
    failed=$((failed + 1))
  elif ! cmp "$native_out" "$page_out"; then
    echo "FAILED: $name: the page's file ($(stat -c %s "$page_out") bytes) differs from the native one ($(stat -c %s "$native_out") bytes)"
    failed=$((failed + 1))
  else
    echo "ok: $name ($(stat -c %s "$page_out") bytes, as the native build)"
  fi
done
if [ "$failed" -gt 0 ]; then
  echo "test-web: $failed of ${#cases[@]} conversions in Chromium differ from the native build" >&2
  exit 1
fi
echo "test-web: ${#cases[@]} conversions in Chromium give the native build's bytes"
