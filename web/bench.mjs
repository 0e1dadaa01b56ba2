// Times the page in headless Chromium (a benchmark to read, not a test):
//   node bench.mjs
// (a) the page ready, from the start of navigation; (b) the sample image's
// downloads ready, from choosing the file (median of 5); (c) the slowest
// image the native benchmark knows, and the longest the page's thread went
// without running a timer meanwhile (how responsive the page stayed).
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';
import { choose, image, launchBrowser, pagePath, waitUntilReady } from './tests/harness.mjs';

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const browser = await launchBrowser();
const page = await browser.newPage();

const ready = [];
for (let i = 0; i < 5; ++i) {
  await page.goto(pathToFileURL(pagePath).href);
  await waitUntilReady(page);
  ready.push(Number(await page.evaluate(() => document.body.dataset.readyMs)));
}

const sample = image('sample');
const runs = [];
for (let i = 0; i < 5; ++i) {
  await choose(page, sample);
  runs.push(Number(await page.evaluate(() => document.body.dataset.runMs)));
}

// A timer every 10 ms on the page's thread; the longest gap between two.
await page.evaluate(() => {
  window.longestGap = 0;
  let last = performance.now();
  window.gapTimer = setInterval(() => {
    const now = performance.now();
    window.longestGap = Math.max(window.longestGap, now - last);
    last = now;
  }, 10);
});
await choose(page, image('slowest'));
const slowest = Number(await page.evaluate(() => document.body.dataset.runMs));
const parts = await page.evaluate(() => document.body.dataset.timings);
const gap = await page.evaluate(() => { clearInterval(window.gapTimer); return window.longestGap; });
const engine = await page.evaluate(() => document.body.dataset.engine || 'page');
await browser.close();

console.log(`page file: ${readFileSync(pagePath).length} bytes; engine in a ${engine}`);
console.log(`(a) page ready:            median ${median(ready).toFixed(1)} ms (${ready.map((v) => v.toFixed(0)).join(', ')})`);
console.log(`(b) sample downloads ready: median ${median(runs).toFixed(1)} ms (${runs.map((v) => v.toFixed(0)).join(', ')})`);
console.log(`(c) slowest image:          ${slowest.toFixed(0)} ms; the page's thread never waited more than ${gap.toFixed(0)} ms (${parts})`);
