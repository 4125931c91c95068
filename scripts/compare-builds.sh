#!/usr/bin/env bash
# Checks that yigsgyur.exe under wine and the web module (under node, and the page in
# Chromium) give the Linux build's bytes: every ordered pair of the seven encodings on the
# sample RTF documents, Word packages and OpenDocument texts; large documents of each kind
# (about 10 MB); sort; detect, and the encoding guessed by the fonts (the page's guess);
# and, under wine, a file and a folder with Tibetan names. Prints the sizes of the .exe
# and the module, and how long each build takes on the large documents, as a ratio to the
# Linux build in the same run.
#
#   scripts/compare-builds.sh [windows] [web] [chromium]     # default: windows web
# The builds are made when missing: BUILD_DIR (Linux, default build-compare),
# WINDOWS_BUILD_DIR (build-windows), WEB_BUILD_DIR (build-web).
set -euo pipefail
cd "$(dirname "$0")/.."
what=("$@")
[ ${#what[@]} -eq 0 ] && what=(windows web)
has() { [[ " ${what[*]} " == *" $1 "* ]]; }
absolute() { case "$1" in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
BUILD_DIR=$(absolute "${BUILD_DIR:-build-compare}")
export WINDOWS_BUILD_DIR=$(absolute "${WINDOWS_BUILD_DIR:-build-windows}")
export WEB_BUILD_DIR=$(absolute "${WEB_BUILD_DIR:-build-web}") YIGSGYUR_WEB_BUILD=$(absolute "${WEB_BUILD_DIR:-build-web}")

native=$BUILD_DIR/cli/yigsgyur exe=$WINDOWS_BUILD_DIR/yigsgyur.exe
if [ ! -x "$native" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DYIGSGYUR_TESTS=OFF -DYIGSGYUR_GUI=OFF >/dev/null
  cmake --build "$BUILD_DIR" --target yigsgyur
fi
has windows && { [ -x "$exe" ] || scripts/build-windows.sh; }
has web && { [ -f "$WEB_BUILD_DIR/yigsgyur.js" ] || scripts/build-web.sh; }
has chromium && { [ -d "$WEB_BUILD_DIR/chromium-driver/node_modules/puppeteer-core" ] || WEB_CHROMIUM=1 scripts/build-web.sh >/dev/null; }
export WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-$WINDOWS_BUILD_DIR/wine}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
docs=tests/data/documents
passed=0 failed=0
check() {  # NAME FILE-A FILE-B
  if [ -f "$2" ] && cmp -s "$2" "$3"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "differs: $1"; fi
}
# One conversion by one build (status 1, characters left red, is a result too).
run() {  # BUILD FROM TO IN OUT
  rm -f "$5"
  case $1 in
    linux) "$native" convert --from "$2" --to "$3" "$4" -o "$5" ;;
    windows) wine "$exe" convert --from "$2" --to "$3" "$4" -o "$5" ;;
    web) node scripts/web-node-convert.mjs "$4" "$2" "$3" "$5" ;;
    chromium) node scripts/web-chromium-convert.mjs "$4" "$2" "$3" "$5" ;;
  esac >/dev/null 2>"$work/$1.log" || true
}
seconds() { printf '%d.%02d' $(($1 / 1000)) $(($1 % 1000 / 10)); }
builds=()
for b in windows web chromium; do has $b && builds+=("$b"); done

# Every ordered pair of encodings on the samples of each kind (HKA made by the Linux build).
codes=(HIMA BZD TY FZ HG HKA SAM)
sample() { if [ "$kind" = rtf ]; then echo "$docs/word-${1,,}.rtf"; else echo "$docs/lo-${1,,}.$kind"; fi; }
for kind in rtf docx odt; do
  run linux HIMA HKA "$(sample HIMA)" "$work/sample-hka.$kind"
  for from in "${codes[@]}"; do
    source=$(sample "$from")
    [ "$from" = HKA ] && source="$work/sample-hka.$kind"
    for to in "${codes[@]}"; do
      [ "$from" = "$to" ] && continue
      run linux "$from" "$to" "$source" "$work/linux.$kind"
      for b in "${builds[@]}"; do
        [ "$b" = chromium ] && continue  # the page itself: scripts/test-web.sh and the large documents
        run "$b" "$from" "$to" "$source" "$work/$b.$kind"
        check "$b $kind $from->$to" "$work/linux.$kind" "$work/$b.$kind"
      done
    done
  done
done

# Large documents of about 10 MB (of RTF, or of the package's XML): a Word-made RTF, a
# Word package and an OpenDocument text, each a real sample with its body repeated, and
# an RTF of Tibetan text only, made by text2rtf from the sorting test's word list.
for _ in $(seq 16); do cat tests/data/sorting/kangyur-phrases.txt; done >"$work/phrases.txt"
"$native" text2rtf "$work/phrases.txt" -o "$work/large-hima.rtf" >/dev/null 2>&1
python3 - "$work" "$docs" >"$work/sizes" <<'EOF'
import random, re, sys, zipfile
work, docs = sys.argv[1], sys.argv[2]
size = 10 << 20
random.seed(7)
def grow(text, start, end, vary=lambda copy: copy):
    body = text[start:end]
    return text[:end] + "".join(vary(body) for _ in range(size // len(body))) + text[end:]
def top_level_paragraph(rtf):  # the first \pard of the body, outside every group
    depth, i = 0, 0
    while not (depth == 1 and rtf.startswith("\\pard", i)):
        depth += {"{": 1, "}": -1}.get(rtf[i], 0)
        i += 2 if rtf[i] == "\\" else 1
    return i
rtf = open(f"{docs}/word-bzd.rtf", encoding="latin-1", newline="").read()
open(f"{work}/large-bzd.rtf", "w", encoding="latin-1", newline="").write(grow(rtf, top_level_paragraph(rtf), rtf.rindex("}")))
# Each copy of a package's body draws its syllables anew from the document's own, as the
# same text over and over would be refused as a zip bomb.
syllable = re.compile("[\u0f40-\u0fbc]+")
for source, part, begin, end, target in (
        ("lo-hima.docx", "word/document.xml", "<w:body>", "<w:sectPr", "large-hima.docx"),
        ("lo-hima.odt", "content.xml", "<text:p ", "</office:text>", "large-hima.odt")):
    with zipfile.ZipFile(f"{docs}/{source}") as zin, zipfile.ZipFile(f"{work}/{target}", "w") as zout:
        for info in zin.infolist():
            data = zin.read(info)
            if info.filename == part:
                xml = data.decode()
                syllables = syllable.findall(xml)
                start = xml.index(begin) + (len(begin) if begin == "<w:body>" else 0)
                data = grow(xml, start, xml.rindex(end),
                            lambda copy: syllable.sub(lambda _: random.choice(syllables), copy)).encode()
                print(f"{target}: {part} {len(data) >> 10} KB")
            zout.writestr(info, data)
EOF
# Times, the best of three: the Linux build and wine by the clock (program start
# included; wine's own start is shown apart); the module by the clock under node (loading
# it included) and as it measures the conversion itself, under node and in the page
# (the file picked to the result offered).
best() {  # BUILD FROM TO IN OUT: milliseconds by the clock, and $inside as the module measures
  local b=$1 ms best_ms= in_ms best_in=
  for _ in 1 2 3; do
    started=$(date +%s%N)
    run "$@"
    ms=$((($(date +%s%N) - started) / 1000000))
    in_ms=$(sed -n 's/.*"seconds":\([0-9.]*\).*/\1/p' "$work/$b.log" | awk '{ printf "%d", $1 * 1000 }')
    [ -z "$best_ms" ] || [ "$ms" -lt "$best_ms" ] && best_ms=$ms
    [ -n "$in_ms" ] && { [ -z "$best_in" ] || [ "$in_ms" -lt "$best_in" ]; } && best_in=$in_ms
  done
  took=$best_ms inside=${best_in:-0}
}
timing=()
if has windows; then
  best windows HIMA BZD samples/sample-hima.rtf "$work/small.rtf"
  timing+=("wine start (converting a 6 KB document): $(seconds "$took") s")
fi
for large in "large-bzd.rtf BZD HIMA" "large-hima.rtf HIMA BZD" "large-hima.docx HIMA BZD" "large-hima.odt HIMA SAM"; do
  read -r file from to <<<"$large"
  kind=${file##*.}
  line="$file ($(($(stat -c %s "$work/$file") / 1024)) KB$(sed -n "s/^$file: / of which /p" "$work/sizes")) $from->$to:"
  best linux "$from" "$to" "$work/$file" "$work/linux.$kind"
  reference=$took
  line+=" linux $(seconds "$reference") s;"
  ratio() { awk "BEGIN { printf \"%.1fx\", $1 / ($reference > 0 ? $reference : 1) }"; }
  for b in "${builds[@]}"; do
    best "$b" "$from" "$to" "$work/$file" "$work/$b.$kind"
    check "$b $file" "$work/linux.$kind" "$work/$b.$kind"
    case $b in
      windows) line+=" wine $(seconds "$took") s ($(ratio "$took"));" ;;
      web) line+=" node $(seconds "$took") s ($(ratio "$took")), converting $(seconds "$inside") s ($(ratio "$inside"));" ;;
      chromium) line+=" page $(seconds "$inside") s ($(ratio "$inside"));" ;;
    esac
  done
  timing+=("$line")
done

for text in tests/data/sorting/kangyur-phrases.txt samples/sample-hima.txt; do
  "$native" sort "$text" -o "$work/linux.txt" >/dev/null 2>&1
  if has windows; then
    wine "$exe" sort "$text" -o - >"$work/windows.txt" 2>/dev/null
    check "windows sort $text" "$work/linux.txt" "$work/windows.txt"
  fi
  if has web; then
    node scripts/web-node-convert.mjs "$text" sort "$work/web.txt" 2>/dev/null
    check "web sort $text" "$work/linux.txt" "$work/web.txt"
  fi
done

for document in "$docs"/*.rtf "$docs"/*.docx "$docs"/*.odt samples/sample-hima.txt; do
  kind=${document##*.}
  # detect opens a Word package through LibreOffice, which the wine prefix has not.
  if has windows && [ "$kind" != docx ]; then
    "$native" detect "$document" >"$work/linux.detect" 2>&1 || true
    wine "$exe" detect "$document" >"$work/windows.detect" 2>&1 || true
    check "windows detect $document" "$work/linux.detect" "$work/windows.detect"
  fi
  [ "$kind" = txt ] && continue
  # The encoding guessed by the fonts (--from auto, the page's "guess"), and what it gives.
  "$native" convert --from auto --to HKA "$document" -o "$work/linux.$kind" 2>&1 |
    sed -n 's/.*(\([A-Z]*\), guessed by its fonts.*/\1/p' >"$work/linux.guess" || true
  if has windows; then
    run windows auto HKA "$document" "$work/windows.$kind"
    check "windows auto->HKA $document" "$work/linux.$kind" "$work/windows.$kind"
  fi
  if has web; then
    node scripts/web-node-convert.mjs "$document" auto HKA "$work/web.$kind" 2>&1 >/dev/null |
      sed -n 's/^guessed: //p' >"$work/web.guess" || true
    check "web guess $document" "$work/linux.guess" "$work/web.guess"
    check "web auto->HKA $document" "$work/linux.$kind" "$work/web.$kind"
  fi
done

if has windows; then
  # A file and a folder with Tibetan names, one by one and as a folder.
  folder="$work/བོད་ཡིག/ཡིག་ཆ"
  mkdir -p "$folder"
  cp "$docs/word-bzd.rtf" "$folder/ཡི་གེ.rtf"
  cp "$docs/lo-bzd.docx" "$folder/དཔེ་ཆ.docx"
  cp "$docs/lo-bzd.odt" "$folder/གཞུང་.odt"
  run linux BZD HIMA "$folder/ཡི་གེ.rtf" "$work/linux.rtf"
  run windows BZD HIMA "$folder/ཡི་གེ.rtf" "$folder/ཡི་གེ-ཡུ་ནི་ཀོཌ.rtf"
  check "windows Tibetan file name" "$work/linux.rtf" "$folder/ཡི་གེ-ཡུ་ནི་ཀོཌ.rtf"
  rm "$folder/ཡི་གེ-ཡུ་ནི་ཀོཌ.rtf"
  "$native" convert --from auto --to HIMA -r "$work/བོད་ཡིག" -o "$work/linux-ཕྱི" >/dev/null 2>&1 || true
  wine "$exe" convert --from auto --to HIMA -r "$work/བོད་ཡིག" -o "$work/windows-ཕྱི" >/dev/null 2>&1 || true
  for file in "ཡི་གེ.rtf" "དཔེ་ཆ.docx" "གཞུང་.odt"; do
    check "windows Tibetan folder: $file" "$work/linux-ཕྱི/ཡིག་ཆ/$file" "$work/windows-ཕྱི/ཡིག་ཆ/$file"
  done
  wineserver -k 2>/dev/null || true
fi
if has windows; then
  echo "yigsgyur.exe: $(stat -c %s "$exe") bytes, needs" $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p')
fi
if has web && [ -f "$WEB_BUILD_DIR/obj/yigsgyur.wasm" ]; then
  echo "the web module: $(stat -c %s "$WEB_BUILD_DIR/obj/yigsgyur.wasm") bytes, $(gzip -9 -c "$WEB_BUILD_DIR/obj/yigsgyur.wasm" | wc -c) with gzip -9"
fi
printf '%s\n' "${timing[@]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
