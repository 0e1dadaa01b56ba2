// Times the page in headless Chromium (a benchmark to read, not a test):
//   node bench.mjs            (SOUNDCUT_PAGE=other.html to time another page)
// (a) the page ready, from the start of navigation; (b) the sample image's
// downloads ready, from choosing the file; (c) the slowest image the native
// benchmark knows and (d) 64 disks of 65,000 copies of the boot ID each,
// with the longest the page's thread went without running a timer
// meanwhile (how responsive the page stayed); (e) 20 images in a row: the
// first and the last run, and the browser's memory after the first and
// after all; (f) (a) and (b) again in each engine that is installed
// (Chromium, Firefox, WebKit; WebKit under xvfb-run). Medians of 5 where it
// says so.
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';
import { Engines } from './tests/engines.mjs';
import { choose, image, launchBrowser, pagePath, waitUntilReady } from './tests/harness.mjs';

const page_ = process.env.SOUNDCUT_PAGE || pagePath;
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const list = (values) => values.map((v) => v.toFixed(0)).join(', ');
const browser = await launchBrowser();
const page = await browser.newPage();

// The resident memory of every Chromium process, in MiB.
const browserMemory = () => execFileSync('ps', ['-C', 'chromium', '-o', 'rss=']).toString().trim().split(/\s+/)
  .reduce((sum, kib) => sum + Number(kib), 0) / 1024;
const runMs = () => page.evaluate(() => Number(document.body.dataset.runMs));

const ready = [];
for (let i = 0; i < 5; ++i) {
  await page.goto(pathToFileURL(page_).href);
  await waitUntilReady(page);
  ready.push(Number(await page.evaluate(() => document.body.dataset.readyMs)));
}

const sample = image('sample');
const runs = [];
for (let i = 0; i < 5; ++i) {
  await choose(page, sample);
  runs.push(await runMs());
}
const sampleParts = await page.evaluate(() => document.body.dataset.timings);

// A timer every 10 ms on the page's thread; the longest gap between two.
async function timedWithGaps(path) {
  await page.evaluate(() => {
    window.longestGap = 0;
    let last = performance.now();
    window.gapTimer = setInterval(() => {
      const now = performance.now();
      window.longestGap = Math.max(window.longestGap, now - last);
      last = now;
    }, 10);
  });
  await choose(page, path);
  const ms = await runMs();
  const parts = await page.evaluate(() => document.body.dataset.timings);
  const gap = await page.evaluate(() => { clearInterval(window.gapTimer); return window.longestGap; });
  return { ms, parts, gap };
}
const slowest = await timedWithGaps(image('slowest'));
const duplicates = await timedWithGaps(image('duplicates'));
const mapBytes = await page.evaluate(() => document.body.dataset.mapBytes);

// 20 images in a row, in a page of their own.
await page.goto(pathToFileURL(page_).href);
await waitUntilReady(page);
const several = image('several');
const inARow = [];
let afterFirst = 0;
for (let i = 0; i < 20; ++i) {
  await choose(page, several);
  inARow.push(await runMs());
  if (i === 0) afterFirst = browserMemory();
}
const afterAll = browserMemory();
const engine = await page.evaluate(() => document.body.dataset.engine || 'page');
await browser.close();

console.log(`page file: ${readFileSync(page_).length} bytes; engine in a ${engine}`);
console.log(`(a) page ready:             median ${median(ready).toFixed(1)} ms (${list(ready)})`);
console.log(`(b) sample downloads ready: median ${median(runs).toFixed(1)} ms (${list(runs)}; last: ${sampleParts})`);
console.log(`(c) slowest image:          ${slowest.ms.toFixed(0)} ms; longest wait of the page's thread ${slowest.gap.toFixed(0)} ms (${slowest.parts})`);
console.log(`(d) 65,000 boot IDs x 64:   ${duplicates.ms.toFixed(0)} ms; longest wait ${duplicates.gap.toFixed(0)} ms; map ${mapBytes} bytes (${duplicates.parts})`);
console.log(`(e) 20 images in a row:     first ${inARow[0].toFixed(0)} ms, last ${inARow[19].toFixed(0)} ms (${list(inARow)}); `
  + `memory ${afterFirst.toFixed(0)} MiB after the first, ${afterAll.toFixed(0)} MiB after all`);

for (const engine of Engines.filter((candidate) => candidate.available())) {
  const driven = await engine.start();
  const readyTimes = [];
  const sampleTimes = [];
  for (let i = 0; i < 5; ++i) {
    await driven.open(pathToFileURL(page_).href);
    readyTimes.push(Number(await driven.evaluate(() => document.body.dataset.readyMs)));
  }
  for (let i = 0; i < 5; ++i) {
    await driven.choose(sample);
    sampleTimes.push(Number(await driven.evaluate(() => document.body.dataset.runMs)));
  }
  const where = await driven.evaluate(() => document.body.dataset.engine || 'page');
  await driven.close();
  console.log(`(f) ${engine.name.padEnd(8)} page ready median ${median(readyTimes).toFixed(1)} ms (${list(readyTimes)}); `
    + `sample downloads median ${median(sampleTimes).toFixed(1)} ms (${list(sampleTimes)}); engine in a ${where}`);
}
