#!/usr/bin/env bash
# Builds the conversion core, the Word and OpenDocument route, sorting and the
# encoding guess to WebAssembly with Debian's emscripten into build-web/:
# index.html and yigsgyur.js, which holds the module and its tables. Installs
# emscripten when missing. zlib's C sources come from the npm registry at build
# time (the zlib-sync package carries them; only its zlib folder is used),
# as emscripten's own zlib would be fetched from a host this build cannot reach.
#
#   scripts/build-web.sh
#   node scripts/web-node-convert.mjs IN FROM TO OUT     # the module under node
#   open build-web/index.html                            # or serve the folder
#   WEB_CHROMIUM=1 scripts/build-web.sh                  # also what web-chromium-convert.mjs needs
set -euo pipefail
cd "$(dirname "$0")/.."
WEB_BUILD_DIR=${WEB_BUILD_DIR:-build-web}
scripts/install-deps.sh emscripten g++ nodejs
command -v npm >/dev/null || scripts/install-deps.sh npm
# emscripten's JavaScript tools need Debian's node modules (acorn), which a
# node from elsewhere does not look for.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

mkdir -p "$WEB_BUILD_DIR/host" "$WEB_BUILD_DIR/obj"
embed="$WEB_BUILD_DIR/host/yig_embed_resources"
[ -x "$embed" ] && [ "$embed" -nt tools/embed_resources.cpp ] || g++ -std=c++20 -O2 tools/embed_resources.cpp -o "$embed"
resources=$(ls resources/embedded/* | LC_ALL=C sort)
if [ ! -f "$WEB_BUILD_DIR/embedded_data.cpp" ] || [ -n "$(find resources/embedded -newer "$WEB_BUILD_DIR/embedded_data.cpp")" ]; then
  "$embed" "$WEB_BUILD_DIR/embedded_data.cpp" $resources
fi

zlib_package=zlib-sync@0.1.10
zlib="$WEB_BUILD_DIR/zlib/package/deps/zlib"
if [ ! -f "$zlib/zlib.h" ]; then
  rm -rf "$WEB_BUILD_DIR/zlib" && mkdir -p "$WEB_BUILD_DIR/zlib"
  (cd "$WEB_BUILD_DIR/zlib" && npm pack --silent "$zlib_package" >/dev/null && tar xzf zlib-sync-*.tgz)
fi
grep -q 'ZLIB_VERSION "1.3.1"' "$zlib/zlib.h" || { echo "build-web: $zlib_package does not hold zlib 1.3.1" >&2; exit 1; }

# Only what converts, sorts and guesses: no editor model, files or processes.
sources=(
  engine/convert_core.cpp engine/encodings.cpp engine/mapping_table.cpp engine/message_map.cpp
  engine/rtf_pieces.cpp engine/sambhota_fonts.cpp engine/unit_matcher.cpp engine/codec/*.cpp
  richtext/rtf_lexer.cpp richtext/codepages.cpp richtext/codepages_data.cpp
  resources/embedded.cpp "$WEB_BUILD_DIR/embedded_data.cpp"
  sorting/collation.cpp sorting/syllable_key.cpp sorting/tibetan_sort.cpp
  documents/encoding_guess.cpp documents/text_decoding.cpp
  documents/docx_convert.cpp documents/docx_text.cpp documents/docx_xml.cpp documents/docx_zip.cpp
  documents/odt_convert.cpp
  web/yigsgyur_web.cpp
)
flags=(-std=c++20 -O2 -fexceptions -I. -I"$zlib" -DNDEBUG)
objects=()
for name in adler32 crc32 deflate inflate inffast inftrees trees zutil; do
  obj="$WEB_BUILD_DIR/obj/zlib_$name.o"
  [ -f "$obj" ] || emcc -O2 -DNDEBUG -I"$zlib" -c "$zlib/$name.c" -o "$obj"
  objects+=("$obj")
done
for src in "${sources[@]}"; do
  obj="$WEB_BUILD_DIR/obj/$(echo "$src" | tr / _).o"
  if [ ! -f "$obj" ] || [ "$src" -nt "$obj" ]; then
    echo "em++ $src"
    em++ "${flags[@]}" -c "$src" -o "$obj"
  fi
  objects+=("$obj")
done
link=("${flags[@]}" "${objects[@]}" -sMODULARIZE=1 -sEXPORT_NAME=createYigsgyur -sALLOW_MEMORY_GROWTH=1
      -sENVIRONMENT=web,node
      -sEXPORTED_FUNCTIONS=_malloc,_free,_yig_convert,_yig_convert_package,_yig_guess,_yig_guess_package,_yig_sort,_yig_output,_yig_output_size,_yig_information,_yig_interface_text
      -sEXPORTED_RUNTIME_METHODS=UTF8ToString,stringToUTF8,lengthBytesUTF8)
# The page loads one script with the module inside, so that it works from
# file:// too (a browser fetches no .wasm beside a local page).
em++ "${link[@]}" -sSINGLE_FILE=1 -o "$WEB_BUILD_DIR/yigsgyur.js"
cp web/index.html "$WEB_BUILD_DIR/index.html"
# The module on its own, for its size.
em++ "${link[@]}" -o "$WEB_BUILD_DIR/obj/yigsgyur.js"
wasm="$WEB_BUILD_DIR/obj/yigsgyur.wasm"
echo "$WEB_BUILD_DIR: index.html, yigsgyur.js ($(stat -c %s "$WEB_BUILD_DIR/yigsgyur.js") bytes); the module $(stat -c %s "$wasm") bytes, $(gzip -9 -c "$wasm" | wc -c) gzipped"

if [ "${WEB_CHROMIUM:-0}" = 1 ]; then
  scripts/install-deps.sh chromium
  # A node from elsewhere brings its own npm; Debian packages npm apart.
  command -v npm >/dev/null || scripts/install-deps.sh npm
  [ -d "$WEB_BUILD_DIR/chromium-driver/node_modules/puppeteer-core" ] ||
    npm install --no-audit --no-fund --prefix "$WEB_BUILD_DIR/chromium-driver" puppeteer-core@21
fi
