// The page in headless Chromium, over a local server and from file://: what
// a user gets for the sample image must be byte for byte what the native
// programs give; damaged, foreign and empty files get a clear answer; and
// the page asks for nothing beyond itself.
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { pathToFileURL } from 'node:url';
import { unzipSync } from 'fflate';
import { assertSameAsNative, choose, image, launchBrowser, nativeRun, outputFiles, pagePath, readLastRun, scratch,
  serveSite, waitUntilReady } from './harness.mjs';

const sample = image('sample');
const gap = image('gap');
const native = nativeRun(sample);
const screenshots = join(process.cwd(), 'test-output');

// The bytes behind a download link of the page.
async function download(page, selector) {
  const [file] = await Promise.all([page.waitForEvent('download'), page.click(selector)]);
  return readFileSync(await file.path());
}

const state = (page) => page.evaluate(() => ({
  state: document.body.dataset.state,
  verdict: document.getElementById('summary').dataset.verdict,
  links: [...document.querySelectorAll('#downloads a')].map((link) => link.download),
  summary: document.getElementById('summary').textContent,
  disks: document.getElementById('disks').textContent,
}));

const file = (name, bytes) => {
  const path = join(scratch, name);
  writeFileSync(path, bytes);
  return path;
};

for (const served of [true, false]) {
  describe(served ? 'the page over a local server' : 'the page opened from file://', () => {
    let browser;
    let server;
    let page;
    const requests = [];
    before(async () => {
      browser = await launchBrowser();
      server = served ? await serveSite() : null;
      page = await browser.newPage({ acceptDownloads: true, locale: 'en-US' });
      page.on('request', (request) => requests.push(request.url()));
      await page.goto(served ? server.url : pathToFileURL(pagePath).href);
      await waitUntilReady(page);
    });
    after(async () => {
      await browser.close();
      if (server) server.close();
    });

    test('the sample image gives the native files, zip and listing', async () => {
      await choose(page, sample);
      const shown = await state(page);
      assert.equal(shown.state, 'done');
      assert.equal(shown.verdict, 'cut');
      assert.deepEqual(shown.links, [...outputFiles, 'soundcut.zip']);
      for (const name of outputFiles) {
        assert.deepEqual(await download(page, `a[download="${name}"]`), native.files[name], name);
      }
      const members = unzipSync(new Uint8Array(await download(page, 'a#zip')));
      assert.deepEqual(Object.keys(members).sort(), [...outputFiles].sort());
      for (const name of outputFiles) assert.deepEqual(Buffer.from(members[name]), native.files[name], name);
      await page.click('#listing-box summary');
      assert.deepEqual(await download(page, '#listing-download'), native.listing);
      if (served) {
        mkdirSync(screenshots, { recursive: true });
        await page.screenshot({ path: join(screenshots, 'sample.png'), fullPage: true });
        console.log(`screenshot: ${join(screenshots, 'sample.png')}`);
      }
    });

    test('missing sectors show as gaps, and the other regions are offered', async () => {
      await choose(page, gap);
      const shown = await state(page);
      assert.equal(shown.verdict, 'partial');
      assert.deepEqual(shown.links, ['PSGDRV', 'OPMDRV', 'PSGMUS']);
      const gaps = await page.$$eval('.row[data-track="9"] .cell.gap.r3', (cells) => cells.map((cell) => cell.title));
      assert.deepEqual(gaps, ['track 9: OPMMUS needs 04/01/03/03, which is missing']);
      assert.equal(await page.$$eval('.row[data-track="9"] .cell.r3:not(.gap)', (cells) => cells.length), 4);
      assert.deepEqual(await download(page, 'a[download="PSGMUS"]'), native.files.PSGMUS);
    });

    test('foreign, empty and non-D88 files get a clear answer, one after the other', async () => {
      await choose(page, image('other'));
      let shown = await state(page);
      assert.deepEqual([shown.state, shown.verdict, shown.links], ['done', 'not-found', []]);
      assert.match(shown.disks, /boot: "Other X1 System "/);
      await choose(page, file('empty.d88', Buffer.alloc(0)));
      shown = await state(page);
      assert.deepEqual([shown.state, shown.verdict], ['error', 'empty']);
      await choose(page, file('notes.txt', Buffer.from('Not an image at all.\n'.repeat(100))));
      shown = await state(page);
      assert.deepEqual([shown.state, shown.verdict], ['error', 'not-d88']);
      await choose(page, sample);
      shown = await state(page);
      assert.deepEqual([shown.state, shown.verdict], ['done', 'cut']);
    });

    test('the page asks for nothing beyond itself', () => {
      const elsewhere = requests.filter((url) => !url.startsWith('blob:') &&
        url !== (served ? server.url : pathToFileURL(pagePath).href));
      assert.deepEqual(elsewhere, []);
      if (served) assert.deepEqual(server.requests, ['/soundcut.html']);
    });
  });
}

// The browser's language picks the page's, the switch changes it; where no
// worker can be made, the page runs the module itself.
test('a Japanese browser without workers gets Japanese text and the same files', async () => {
  const browser = await launchBrowser();
  try {
    const page = await browser.newPage({ acceptDownloads: true, locale: 'ja-JP' });
    await page.addInitScript(() => { window.Worker = undefined; });
    await page.goto(pathToFileURL(pagePath).href);
    await waitUntilReady(page);
    await choose(page, sample);
    assert.equal(await page.evaluate(() => document.body.dataset.engine), undefined);
    assert.match((await state(page)).summary, /^Brevindor Tolvask \(X1\) Disk Aを認識しました/);
    assert.deepEqual(await download(page, 'a[download="OPMMUS"]'), native.files.OPMMUS);
    await page.click('#lang');
    assert.match((await state(page)).summary, /^Disk A of Brevindor Tolvask \(X1\) found/);
  } finally {
    await browser.close();
  }
});

const lastRun = (page) => readLastRun((fn) => page.evaluate(fn));

describe('one page, image after image', () => {
  let browser;
  let page;
  before(async () => {
    browser = await launchBrowser();
    page = await browser.newPage({ acceptDownloads: true, locale: 'en-US' });
    await page.goto(pathToFileURL(pagePath).href);
    await waitUntilReady(page);
  });
  after(() => browser.close());

  test('a listing past what is shown spoils nothing after it, and downloads whole', async () => {
    const long = image('longtrack');
    await choose(page, long);
    await page.click('#listing-box summary');
    assert.deepEqual(await download(page, '#listing-download'), nativeRun(long).listing);
    await choose(page, sample);
    const shown = await lastRun(page);
    assert.equal(shown.verdict, 'cut');
    assertSameAsNative(shown, sample, 'the sample after a long listing');
    assert.deepEqual(await download(page, '#listing-download'), native.listing);
  });

  test('a click on the listing link during a run waits its turn', async () => {
    await choose(page, image('longtrack'));
    await page.setInputFiles('#image', sample);
    await page.click('#listing-download');
    await page.waitForFunction(() => document.body.dataset.state === 'done' &&
      document.getElementById('summary').dataset.verdict === 'cut');
    await choose(page, gap);
    assert.equal((await state(page)).verdict, 'partial');
    assert.deepEqual(await download(page, '#listing-download'), nativeRun(gap).listing);
  });

  // Each file names the disk it came from, and a later disk that lacked it.
  const cases = [
    ['the sample cut one byte short', () => file('short.d88', readFileSync(sample).subarray(0, -1)), 'cut',
      ['PSGDRV: cut from disk 0 (2048 bytes).', 'OPMDRV: cut from disk 0 (2048 bytes).',
        'PSGMUS: cut from disk 0 (6144 bytes).', 'OPMMUS: cut from disk 0 (10240 bytes).']],
    ['the sample, then a disk lacking a sector of OPMMUS',
      () => file('then-gap.d88', Buffer.concat([readFileSync(sample), readFileSync(gap)])), 'partial',
      ['PSGDRV: cut from disk 1 (2048 bytes).', 'OPMDRV: cut from disk 1 (2048 bytes).',
        'PSGMUS: cut from disk 1 (6144 bytes).',
        'OPMMUS: cut from disk 0 (10240 bytes). Disk 1: not cut, sectors missing: C4 H1 R3 (missing).']],
    ['a disk lacking a sector of OPMMUS alone', () => gap, 'partial',
      ['PSGDRV: cut from disk 0 (2048 bytes).', 'OPMDRV: cut from disk 0 (2048 bytes).',
        'PSGMUS: cut from disk 0 (6144 bytes).',
        'OPMMUS: not cut. Disk 0: not cut, sectors missing: C4 H1 R3 (missing).']],
  ];
  for (const [what, made, verdict, regions] of cases) {
    test(`the verdict follows what soundcut did: ${what}`, async () => {
      const path = made();
      await choose(page, path);
      const shown = await lastRun(page);
      assert.equal(shown.verdict, verdict);
      assert.deepEqual(shown.regions, regions);
      assertSameAsNative(shown, path, what);
    });
  }

  test('the map of 64 disks of 65,000 copies of the boot ID each stays small and quick', async () => {
    await choose(page, image('duplicates'));
    const shown = await lastRun(page);
    assert.equal(shown.verdict, 'cut');
    assert.ok(shown.mapBytes < 1024 * 1024, `map of ${shown.mapBytes} bytes`);
    assert.ok(shown.mapMs < 1000, `map made in ${shown.mapMs} ms`);
    assert.equal(await page.$$eval('.disk[open] .row[data-track="0"] .cell.boot', (cells) => cells.length), 1);
  });

  // A differential run: generated images in a shuffled order, each compared
  // with the native programs run on it alone.
  test('a hundred generated images in one page give what the native programs give', async () => {
    const numbers = Array.from({ length: 100 }, (_, i) => i);
    for (let i = numbers.length - 1; i > 0; --i) {
      const j = (i * 7919 + 13) % (i + 1);
      [numbers[i], numbers[j]] = [numbers[j], numbers[i]];
    }
    for (const number of numbers) {
      const path = image(`random:${number}`);
      await choose(page, path);
      assertSameAsNative(await lastRun(page), path, `random:${number}`);
    }
  });
});

// An error inside the engine is shown in the status line, and the page
// goes on with the next image.
test('an engine that fails on one image still reads the next', async () => {
  const browser = await launchBrowser();
  try {
    const page = await browser.newPage({ locale: 'en-US' });
    await page.addInitScript(() => {
      window.Worker = undefined;
      const real = WebAssembly.instantiate;
      let refusals = 1;
      WebAssembly.instantiate = (...args) => (refusals-- > 0 ? Promise.reject(new Error('no instance today')) : real(...args));
    });
    await page.goto(pathToFileURL(pagePath).href);
    await waitUntilReady(page);
    await choose(page, sample);
    assert.equal((await state(page)).state, 'error');
    assert.match(await page.textContent('#status'), /sample\.d88: could not be read\. Error: no instance today/);
    await choose(page, sample);
    assert.deepEqual([(await state(page)).state, (await state(page)).verdict], ['done', 'cut']);
  } finally {
    await browser.close();
  }
});

test('the page is one file of at most 250 KB', () => {
  assert.ok(readFileSync(pagePath).length <= 250 * 1024);
});
