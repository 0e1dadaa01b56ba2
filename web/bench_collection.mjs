// Times a collection in the page against d88list --json on the same files,
// and the page's start on a slow phone (a benchmark to read, not a test):
//   node bench_collection.mjs [collections|start]   (SOUNDCUT_PAGE=other.html to time another page)
// (g) three collections of 200 files each, chosen at once in headless
// Chromium from file://: blank disks (a header alone), copies of the
// sample, and the generated images random:0..199; each from the choice to
// the table's end, beside `d88list --json` run on all of them at once, and
// the ratio. (h) Chromium's CPU slowed 4 times (a mid-range phone): when
// the page takes a file, from the start of navigation, and when the sample
// chosen at that moment has its downloads. The page takes a file once its
// handlers are live: this page says when (data-takes-files-ms); the page
// before it is timed from when its engine was ready. Medians of 3 runs.
import { spawnSync } from 'node:child_process';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { image, launchBrowser, nativeBuild, pagePath, scratch } from './tests/harness.mjs';

const page_ = process.env.SOUNDCUT_PAGE || pagePath;
const Runs = 3;
const Count = 200;
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const list = (values) => values.map((v) => v.toFixed(0)).join(', ');

function blankDisk() {
  const header = Buffer.alloc(0x2B0);
  header.write('BLANK');
  header.writeUInt32LE(header.length, 0x1C);
  return header;
}

// Each set's files, written once.
function setOf(name, bytesOf) {
  const folder = join(scratch, `bench-${name}`);
  mkdirSync(folder, { recursive: true });
  return Array.from({ length: Count }, (_, i) => {
    const path = join(folder, `${name}-${String(i).padStart(3, '0')}.d88`);
    writeFileSync(path, bytesOf(i));
    return path;
  });
}
const sample = image('sample');
const sampleBytes = readFileSync(sample);
const sets = [
  ['blank disks', setOf('blank', () => blankDisk())],
  ['copies of the sample', setOf('sample', () => sampleBytes)],
  ['random:0..199', Array.from({ length: Count }, (_, i) => image(`random:${i}`))],
];

function d88listMs(paths) {
  const started = process.hrtime.bigint();
  const listed = spawnSync(join(nativeBuild, 'bin', 'd88list'), ['--json', ...paths],
    { maxBuffer: 1 << 30, stdio: ['ignore', 'pipe', 'ignore'] });
  if (listed.error) throw listed.error;
  return Number(process.hrtime.bigint() - started) / 1e6;
}

// Installed before the page's own scripts: the moment a file is chosen, and
// the moment the page says a collection ended or a run is done, in the
// page's time (since the start of navigation).
function watch() {
  window.benchTimes = {};
  document.addEventListener('change', () => { window.benchTimes.chosen = performance.now(); }, true);
  new MutationObserver(() => {
    const body = document.body;
    if (!body) return;
    if (body.dataset.collection === 'finished' && !window.benchTimes.finished) window.benchTimes.finished = performance.now();
    if (body.dataset.state === 'done' && !window.benchTimes.done) window.benchTimes.done = performance.now();
  }).observe(document, { attributes: true, subtree: true,
    attributeFilter: ['data-collection', 'data-state'] });
}


const browser = await launchBrowser();
async function freshPage() {
  const page = await browser.newPage();
  await page.addInitScript(watch);
  return page;
}

const only = process.argv[2];
const collectionLines = [];
for (const [name, paths] of only === 'start' ? [] : sets) {
  const native = [];
  const inPage = [];
  for (let run = 0; run < Runs; ++run) {
    native.push(d88listMs(paths));
    const page = await freshPage();
    await page.goto(pathToFileURL(page_).href);
    await page.waitForFunction(() => document.body.dataset.state === 'ready');
    await page.setInputFiles('#image', paths);
    await page.waitForFunction(() => window.benchTimes.finished, null, { timeout: 120000 });
    inPage.push(await page.evaluate(() => window.benchTimes.finished - window.benchTimes.chosen));
    await page.close();
  }
  const [n, p] = [median(native), median(inPage)];
  collectionLines.push(`(g) ${name.padEnd(22)} page ${p.toFixed(0)} ms (${list(inPage)}); d88list --json ${n.toFixed(0)} ms `
    + `(${list(native)}); ratio ${(p / n).toFixed(1)}; ${((p - n) / Count).toFixed(2)} ms a file beyond d88list`);
}

// Chooses the sample inside the page the moment it takes a file (a driver's
// round trips would take longer than the page on a slowed CPU): the file is
// made there from its bytes, and handed to the file button as a person's
// choice would be.
function chooseAtOnce(base64) {
  const choose = () => {
    const input = document.getElementById('image');
    const text = atob(base64);
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
    const chosen = new DataTransfer();
    chosen.items.add(new File([bytes], 'sample.d88'));
    input.files = chosen.files;
    input.dispatchEvent(new Event('change', { bubbles: true }));
  };
  new MutationObserver((_, observer) => {
    const body = document.body;
    if (!body || !(body.dataset.takesFilesMs || body.dataset.state === 'ready')) return;
    observer.disconnect();
    window.benchTimes.takes = performance.now();
    choose();
  }).observe(document, { attributes: true, subtree: true, attributeFilter: ['data-takes-files-ms', 'data-state'] });
}

const taken = [];
const ready = [];
for (let run = 0; run < (only === 'collections' ? 0 : Runs); ++run) {
  const page = await freshPage();
  await page.addInitScript(chooseAtOnce, sampleBytes.toString('base64'));
  const cdp = await page.context().newCDPSession(page);
  await cdp.send('Emulation.setCPUThrottlingRate', { rate: 4 });
  await page.goto(pathToFileURL(page_).href, { waitUntil: 'commit' });
  await page.waitForFunction(() => window.benchTimes.done, null, { polling: 50, timeout: 60000 });
  const times = await page.evaluate(() => window.benchTimes);
  taken.push(times.takes);
  ready.push(times.done);
  await page.close();
}
await browser.close();

console.log(`page file: ${page_}`);
for (const line of collectionLines) console.log(line);
if (taken.length > 0) console.log(`(h) CPU 4x slower: the page takes a file at ${median(taken).toFixed(0)} ms (${list(taken)}); the sample chosen then `
  + `its downloads ready at ${median(ready).toFixed(0)} ms (${list(ready)}), from the start of navigation`);
