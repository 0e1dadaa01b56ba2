// What the browser tests and the benchmark share: the native build's
// programs and images, a static server for the page, and Debian's chromium.
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '..', '..');
export const nativeBuild = resolve(process.env.SOUNDCUT_NATIVE_BUILD || join(root, 'build'));
export const webBuild = resolve(process.env.SOUNDCUT_WEB_BUILD || join(root, 'build-web'));
export const pagePath = join(webBuild, 'site', 'soundcut.html');
export const outputFiles = ['PSGDRV', 'OPMDRV', 'PSGMUS', 'OPMMUS'];

export const scratch = mkdtempSync(join(tmpdir(), 'soundcut-web-'));
// Its images run to hundreds of MB: gone when the tests are.
process.on('exit', () => rmSync(scratch, { recursive: true, force: true }));

// Writes one of the images make_sample_image knows and returns its path.
export function image(kind) {
  const path = join(scratch, `${kind.replace(':', '-')}.d88`);
  const made = spawnSync(join(nativeBuild, 'bin', 'make_sample_image'), [path, kind]);
  if (made.status !== 0) throw new Error(`make_sample_image ${kind}: ${made.stderr}`);
  return path;
}

// What the native programs make of an image: soundcut's files, exit code
// and messages (both streams as they came, its output flushed before each
// error line, as text), d88list's standard output.
export function nativeRun(imagePath) {
  const folder = mkdtempSync(join(scratch, 'native-'));
  const cut = spawnSync('sh', ['-c', '"$0" "$1" 2>&1', join(nativeBuild, 'bin', 'soundcut'), imagePath], { cwd: folder });
  const files = Object.fromEntries(readdirSync(folder).map((name) => [name, readFileSync(join(folder, name))]));
  const listing = spawnSync(join(nativeBuild, 'bin', 'd88list'), [imagePath], { maxBuffer: 1 << 30 }).stdout;
  return { files, listing, code: cut.status, messages: new TextDecoder('shift_jis').decode(cut.stdout) };
}

// Serves the site folder on a free loopback port; `requests` lists every
// path asked for.
export async function serveSite() {
  const requests = [];
  const server = createServer((request, response) => {
    requests.push(request.url);
    if (request.url !== '/soundcut.html') {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'content-type': 'text/html; charset=utf-8' }).end(readFileSync(pagePath));
  });
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  return { url: `http://127.0.0.1:${server.address().port}/soundcut.html`, requests, close: () => server.close() };
}

export function launchBrowser(moreArgs = []) {
  return chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', ...moreArgs] });
}

// Chooses a file with the page's file button and waits for the run's end.
export async function choose(page, path) {
  await page.setInputFiles('#image', path);
  await page.waitForFunction(() => ['done', 'error'].includes(document.body.dataset.state));
}

export async function waitUntilReady(page) {
  await page.waitForFunction(() => document.body.dataset.state === 'ready');
}

// A new tab of `browser` with the page opened from file:// and ready
// (English unless `options` say otherwise); `setUp`, given `argument`,
// runs before the page's own scripts.
export async function openPage(browser, options = {}, setUp = null, argument = undefined) {
  const page = await browser.newPage({ acceptDownloads: true, locale: 'en-US', ...options });
  if (setUp) await page.addInitScript(setUp, argument);
  await page.goto(pathToFileURL(pagePath).href);
  await waitUntilReady(page);
  return page;
}

// What the page holds of its last run, as plain data: the bytes behind each
// download, soundcut's exit code and messages, the listing's beginning, the
// verdict and the offered downloads. `evaluate` runs a function in the page
// (any engine's driver).
export const readLastRun = (evaluate) => evaluate(() => ({
  files: Object.fromEntries(Object.entries(soundcutPage.lastResult.files).map(([name, bytes]) => [name, Array.from(bytes)])),
  code: soundcutPage.lastResult.soundcut.code,
  messages: document.getElementById('messages').textContent,
  head: Array.from(soundcutPage.lastResult.d88list.head),
  verdict: document.getElementById('summary').dataset.verdict,
  links: [...document.querySelectorAll('#downloads a')].map((link) => link.download),
  regions: [...document.querySelectorAll('#regions li')].map((item) => item.textContent),
  mapBytes: Number(document.body.dataset.mapBytes),
  mapMs: soundcutPage.lastResult.timings.map - soundcutPage.lastResult.timings.d88list,
}));

// The page gave, for an image, exactly what the native programs give for
// that image alone: the files, the messages, the listing's beginning.
export function assertSameAsNative(shown, imagePath, what) {
  const native = nativeRun(imagePath);
  assert.deepEqual(Object.keys(shown.files).sort(), Object.keys(native.files).sort(), what);
  for (const [name, bytes] of Object.entries(shown.files)) {
    assert.deepEqual(Buffer.from(bytes), native.files[name], `${what} ${name}`);
  }
  assert.equal(shown.code, native.code, what);
  assert.equal(shown.messages, native.messages, what);
  assert.deepEqual(Buffer.from(shown.head), native.listing.subarray(0, 256 * 1024), what);
}
