#!/usr/bin/env node
// Runs the web page's module under node on one file:
//   node scripts/web-node-convert.mjs IN FROM TO OUT    convert an RTF document, or a Word package or
//                                                       OpenDocument text by its ending (FROM may be "auto")
//   node scripts/web-node-convert.mjs IN sort OUT       sort the lines of a Unicode Tibetan text
// Exit status as yigsgyur's: 0 clean, 1 characters left red, 2 refused.
import { readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, extname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const build = process.env.YIGSGYUR_WEB_BUILD || join(here, '..', 'build-web');
const createYigsgyur = createRequire(import.meta.url)(join(build, 'yigsgyur.js'));

const args = process.argv.slice(2);
if (args.length !== 4 && !(args.length === 3 && args[1] === 'sort')) {
  console.error('usage: web-node-convert.mjs IN FROM TO OUT | IN sort OUT');
  process.exit(2);
}
const yig = await createYigsgyur();

function withBytes(bytes, use) {
  const pointer = yig._malloc(Math.max(bytes.length, 1));
  yig.HEAPU8.set(bytes, pointer);
  try {
    return use(pointer);
  } finally {
    yig._free(pointer);
  }
}
function withString(text, use) {
  const size = yig.lengthBytesUTF8(text) + 1;
  const pointer = yig._malloc(size);
  yig.stringToUTF8(text, pointer, size);
  try {
    return use(pointer);
  } finally {
    yig._free(pointer);
  }
}

const input = readFileSync(args[0]);
// The page's kinds of package: Word (0), OpenDocument text (1), flat (2).
const kind = { '.docx': 0, '.docm': 0, '.dotx': 0, '.odt': 1, '.fodt': 2 }[extname(args[0]).toLowerCase()];
const started = performance.now();
let status;
withBytes(input, (data) => {
  if (args[1] === 'sort') {
    status = yig._yig_sort(data, input.length);
    return;
  }
  let from = args[1];
  if (from.toLowerCase() === 'auto') {
    from = yig.UTF8ToString(kind === undefined ? yig._yig_guess(data, input.length)
                                               : yig._yig_guess_package(data, input.length, kind));
    console.error(`guessed: ${from || 'nothing'}`);
    if (!from) {
      status = 2;
      return;
    }
  }
  status = withString(from, (f) => withString(args[2], (t) => withString('Ededris', (s) =>
    kind === undefined ? yig._yig_convert(data, input.length, f, t, s, 0)
                       : yig._yig_convert_package(data, input.length, kind, f, t, s))));
});
const seconds = (performance.now() - started) / 1000;
const information = JSON.parse(yig.UTF8ToString(yig._yig_information()));
if (status !== 2) {
  const output = yig.HEAPU8.slice(yig._yig_output(), yig._yig_output() + yig._yig_output_size());
  writeFileSync(args[args.length - 1], output);
}
console.error(JSON.stringify({ ...information, seconds }));
process.exit(status);
