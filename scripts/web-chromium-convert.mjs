#!/usr/bin/env node
// Drives the page in headless Chromium the way a person would: picks IN,
// chooses FROM and TO, and saves what the page offers for download as OUT.
//   node scripts/web-chromium-convert.mjs IN FROM TO OUT
// Needs Debian's chromium and puppeteer-core (scripts/build-web.sh installs
// both when WEB_CHROMIUM=1).
import { writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const build = resolve(process.env.YIGSGYUR_WEB_BUILD || join(here, '..', 'build-web'));
const puppeteer = createRequire(join(build, 'chromium-driver', 'package.json'))('puppeteer-core');

const [input, from, to, output] = process.argv.slice(2);
if (!output) {
  console.error('usage: web-chromium-convert.mjs IN FROM TO OUT');
  process.exit(2);
}
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: 'new',
  args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
  protocolTimeout: 600000,
});
try {
  const page = await browser.newPage();
  // A loaded machine (CI shares its cores) may take longer than the 30 s default.
  page.setDefaultTimeout(300000);
  await page.setViewport({ width: 900, height: 500 });
  await page.goto(pathToFileURL(join(build, 'index.html')).href + (process.env.LANGUAGE_HASH || ''));
  await page.waitForSelector('body[data-ready="1"]');
  await page.select('#from', from);
  await page.select('#to', to);
  const started = Date.now();
  await (await page.$('#files')).uploadFile(resolve(input));
  const link = await page.waitForSelector('#results tr td a, #results tr:first-child td:nth-child(3):not(:empty)');
  const seconds = (Date.now() - started) / 1000;
  const bytes = await page.evaluate(async () => {
    const a = document.querySelector('#results tr:first-child a');
    if (!a) return null;
    const data = new Uint8Array(await (await fetch(a.href)).arrayBuffer());
    let text = '';
    for (let i = 0; i < data.length; i += 0x8000) text += String.fromCharCode(...data.subarray(i, i + 0x8000));
    return btoa(text);
  });
  const shown = await page.evaluate(() => document.querySelector('#results tr:first-child').innerText);
  console.error(JSON.stringify({ shown, seconds }));
  if (process.env.SCREENSHOT) await page.screenshot({ path: process.env.SCREENSHOT });
  if (link && bytes !== null) writeFileSync(output, Buffer.from(bytes, 'base64'));
  process.exitCode = bytes === null ? 2 : 0;
} finally {
  await browser.close();
}
