// The page in headless Chromium, over a local server and from file://: what
// a user gets for the sample image must be byte for byte what the native
// programs give; damaged, foreign and empty files get a clear answer; and
// the page asks for nothing beyond itself.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdirSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { pathToFileURL } from 'node:url';
import { assertSameAsNative, choose, image, launchBrowser, nativeBuild, nativeRun, openPage, outputFiles, pagePath,
  readLastRun, scratch, serveSite, waitUntilReady } from './harness.mjs';

const sample = image('sample');
const gap = image('gap');
const native = nativeRun(sample);
const screenshots = join(process.cwd(), 'test-output');
const MiB = 1024 * 1024;

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
  status: document.getElementById('status').textContent,
  // What else a run leaves: its messages, listing and whole listing's link.
  rest: [document.getElementById('messages').textContent, document.getElementById('listing').textContent,
    document.getElementById('listing-download').getAttribute('href')],
}));

const file = (name, bytes) => {
  const path = join(scratch, name);
  writeFileSync(path, bytes);
  return path;
};

// One disk with a header alone: its track table all zero.
function blankDisk() {
  const header = Buffer.alloc(0x2B0);
  header.write('BLANK');
  header.writeUInt32LE(header.length, 0x1C);
  return header;
}

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

    // Each file's bytes and the zip, in every engine: engines.test.mjs.
    test('the sample image downloads as the native files and listing', async () => {
      await choose(page, sample);
      const shown = await state(page);
      assert.equal(shown.state, 'done');
      for (const name of outputFiles) {
        assert.deepEqual(await download(page, `a[download="${name}"]`), native.files[name], name);
      }
      await page.click('#listing-box summary');
      assert.deepEqual(await download(page, '#listing-download'), native.listing);
      if (served) {
        mkdirSync(screenshots, { recursive: true });
        await page.screenshot({ path: join(screenshots, 'sample.png'), fullPage: true });
        console.log(`screenshot: ${join(screenshots, 'sample.png')}`);
      }
    });

    // The verdicts and downloads of these images, and of a foreign disk and
    // a file of text, in every engine: engines.test.mjs.
    test('missing sectors show as gaps', async () => {
      await choose(page, gap);
      const gaps = await page.$$eval('.row[data-track="9"] .cell.gap.r3', (cells) => cells.map((cell) => cell.title));
      assert.deepEqual(gaps, ['track 9: OPMMUS needs 04/01/03/03, which is missing']);
      assert.equal(await page.$$eval('.row[data-track="9"] .cell.r3:not(.gap)', (cells) => cells.length), 4);
    });

    test('a foreign disk shows its boot name, an empty file gets a clear answer, then the next image its own', async () => {
      await choose(page, image('other'));
      let shown = await state(page);
      assert.match(shown.disks, /boot: "Other X1 System "/);
      await choose(page, file('empty.d88', Buffer.alloc(0)));
      shown = await state(page);
      assert.deepEqual([shown.state, shown.verdict], ['error', 'empty']);
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
    const page = await openPage(browser, { locale: 'ja-JP' }, () => { window.Worker = undefined; });
    await choose(page, sample);
    assert.equal(await page.evaluate(() => document.body.dataset.engine), undefined);
    assert.match((await state(page)).summary, /^Brevindor Tolvask \(X1\) Disk Aが見つかりました \(1枚\)/);
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
    page = await openPage(browser);
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

  // The engine is held busy (a request of the test's own) so that the
  // listing asked for waits until another image has been chosen: it must
  // not be downloaded then, as if it were that image's.
  test('a click on the listing link during a run waits its turn', async () => {
    await choose(page, image('longtrack'));
    await page.evaluate(() => {
      document.getElementById('listing-box').open = true;
      soundcutPage.inTurn(() => new Promise((go) => { window.letGo = go; }));
    });
    await page.click('#listing-download');
    const downloads = [];
    page.on('download', (made) => downloads.push(made.suggestedFilename()));
    await page.setInputFiles('#image', sample);
    await page.evaluate(() => window.letGo());
    await page.waitForFunction(() => document.body.dataset.state === 'done');
    page.removeAllListeners('download');
    assert.deepEqual(downloads, []);
    assert.deepEqual(await download(page, '#listing-download'), native.listing);
  });

  // A second click while the listing is being made asks for nothing more:
  // one listing is made and downloaded, not two.
  test('two clicks on the listing link make one listing', async () => {
    await choose(page, sample);
    await page.evaluate(() => {
      document.getElementById('listing-box').open = true;
      soundcutPage.inTurn(() => new Promise((go) => { window.letGo = go; }));
    });
    const downloads = [];
    page.on('download', (made) => downloads.push(made.suggestedFilename()));
    await page.click('#listing-download');
    await page.click('#listing-download');
    await page.evaluate(() => window.letGo());
    await page.evaluate(() => soundcutPage.inTurn(() => {}));
    await page.waitForTimeout(500);
    page.removeAllListeners('download');
    assert.deepEqual(downloads, ['d88list.txt']);
  });

  // The engine holds the image once, beside what its instances need: the
  // page's process (the worker's too) peaks less than 1.5 times the image,
  // and 64 MiB for the module's own memory, above where it was.
  test('a 256 MiB image costs the page less than 1.5 times its size', { skip: process.platform !== 'linux' }, async () => {
    const head = readFileSync(sample);
    const big = file('big.d88', Buffer.concat([head, Buffer.alloc(MiB * 256 - head.length)]));
    const cdp = await browser.newBrowserCDPSession();
    const { processInfo } = await cdp.send('SystemInfo.getProcessInfo');
    const renderers = processInfo.filter((process) => process.type === 'renderer').map((process) => process.id);
    const kib = (pid, field) => Number(readFileSync(`/proc/${pid}/status`, 'utf8').match(new RegExp(`${field}:\\s+(\\d+)`))[1]);
    const before = renderers.map((pid) => {
      writeFileSync(`/proc/${pid}/clear_refs`, '5');  // the peak starts again from here
      return kib(pid, 'VmRSS');
    });
    await choose(page, big);
    rmSync(big);
    const rise = Math.max(...renderers.map((pid, i) => kib(pid, 'VmHWM') - before[i])) / 1024;
    console.log(`a 256 MiB image: the page's process peaked ${rise.toFixed(0)} MiB above where it was`);
    assert.equal((await state(page)).verdict, 'cut');
    assert.ok(rise < 1.5 * 256 + 64, `${rise.toFixed(0)} MiB`);
  });

  // An image of seconds says what it is doing, stage by stage; a small one
  // only that it is being read.
  test('the status names each stage of an image over 16 MiB', async () => {
    const head = readFileSync(sample);
    const big = file('seventeen.d88', Buffer.concat([head, Buffer.alloc(MiB * 17 - head.length)]));
    await page.evaluate(() => {
      window.statusSeen = [];
      new MutationObserver(() => window.statusSeen.push(document.getElementById('status').textContent))
        .observe(document.getElementById('status'), { childList: true, characterData: true, subtree: true });
    });
    await choose(page, big);
    await choose(page, sample);
    const seen = (await page.evaluate(() => window.statusSeen)).filter((line, i, all) => line !== all[i - 1]);
    rmSync(big);
    assert.deepEqual(seen.slice(0, -1).map((line) => line.replace(/\d+ ms/, 'N ms')), [
      'Reading seventeen.d88…', 'seventeen.d88: reading the file…', 'seventeen.d88: cutting…', 'seventeen.d88: listing…',
      'seventeen.d88: making the map…', 'seventeen.d88: drawing the map…', 'seventeen.d88: done in N ms.',
      'Reading sample.d88…']);
  });

  // Each file names the disk it came from, and a later disk that lacked it.
  const cases = [
    ['the sample cut one byte short', () => file('short.d88', readFileSync(sample).subarray(0, -1)), 'cut',
      ['PSGDRV: cut from disk 0 (2048 bytes).', 'OPMDRV: cut from disk 0 (2048 bytes).',
        'PSGMUS: cut from disk 0 (6144 bytes).', 'OPMMUS: cut from disk 0 (10240 bytes).']],
    ['the sample, then a disk lacking a sector of OPMMUS',
      () => file('then-gap.d88', Buffer.concat([readFileSync(sample), readFileSync(gap)])), 'cut',
      ['PSGDRV: cut from disk 1 (2048 bytes).', 'OPMDRV: cut from disk 1 (2048 bytes).',
        'PSGMUS: cut from disk 1 (6144 bytes).',
        'OPMMUS: cut from disk 0 (10240 bytes). Disk 1: not cut, sectors missing: C4 H1 R3 (missing).']],
    ['a blank disk (no tracks): a disk all the same', () => file('blank.d88', blankDisk()), 'no_disk_a', []],
    ['a disk lacking a sector of OPMMUS alone', () => gap, 'partly_cut',
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

  // The map's data is the image's document with its plain records limited,
  // where the whole document would run to hundreds of MB.
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
      const shown = await lastRun(page);
      assertSameAsNative(shown, path, `random:${number}`);
      // Not a D88 image (nor an empty file) exactly when d88list lists no
      // disk, or a first disk whose header is none a D88 writer writes.
      const firstHeader = /^ {2}header: (.*)$/m.exec(Buffer.from(shown.head).toString('latin1'));
      assert.equal(['empty', 'not_d88_image'].includes(shown.verdict), !firstHeader || firstHeader[1] !== 'D88',
        `random:${number}`);
    }
  });
});

// An init script that puts `code` before the worker's own.
function beforeWorkerCode(code) {
  const RealBlob = Blob;
  window.Blob = class extends RealBlob {
    constructor(parts, options) {
      super(options && options.type === 'text/javascript' ? [`${code}\n`, ...parts] : parts, options);
    }
  };
}

// A listing of gigabytes: the page stops it at 256 MiB, or where the
// browser would hold no more of it (here: its third piece of 16 MiB), and
// says so; what it offers is the listing's beginning (of so many MiB), and
// the page goes on.
const hugeListings = [
  ['stopped at 256 MiB', null, [256, 256], 'The whole listing runs past 256 MiB: the download holds its first 256 MiB.'],
  ['refused by the browser', `{ const RealBlob = Blob;
    let pieces = 0;
    self.Blob = class extends RealBlob {
      constructor(parts, options) {
        if (!options && ++pieces > 2) throw new RangeError('no room');
        super(parts, options);
      }
    }; }`, [32, 48], 'The browser could not hold the whole listing: the download holds only its beginning.'],
];
for (const [what, workerCode, [fewest, most], note] of hugeListings) {
  test(`a listing of gigabytes, ${what}`, async () => {
    const browser = await launchBrowser();
    try {
      const page = await openPage(browser, {}, workerCode && beforeWorkerCode, workerCode);
      const huge = image('hugelisting');
      await choose(page, huge);
      await page.click('#listing-box summary');
      const [made] = await Promise.all([page.waitForEvent('download', { timeout: 120000 }),
        page.click('#listing-download')]);
      const path = await made.path();
      const size = statSync(path).size;
      assert.ok(size >= fewest * MiB && size <= most * MiB, `${size} bytes`);
      const sha256 = (command, ...args) => spawnSync('sh', ['-c', `${command} | sha256sum`, ...args]).stdout.toString();
      assert.equal(sha256('cat "$0"', path),
        sha256('"$0" "$1" | head -c "$2"', join(nativeBuild, 'bin', 'd88list'), huge, String(size)));
      assert.equal(await page.textContent('#listing-note'), note);
      await choose(page, sample);
      assert.equal((await state(page)).verdict, 'cut');
    } finally {
      await browser.close();
    }
  });
}

// A run that fails shows that failure, in the status line and in the
// result's place, in either language, and nothing of the image before it;
// the page goes on with the next image. Each way of failing is set up
// before the page loads.
const failures = [
  ['an instance that cannot be made (the fourth: the first of the second image)', () => {
    window.Worker = undefined;
    const real = WebAssembly.instantiate;
    let made = 0;
    WebAssembly.instantiate = (...args) => (++made === 4 ? Promise.reject(new Error('no instance today')) : real(...args));
  }, null, 'no instance today'],
  ['a result the worker cannot send (the second)', beforeWorkerCode, `{ const post = self.postMessage.bind(self);
    let results = 0;
    self.postMessage = (message, transfer) => {
      if (message.result && ++results === 2) throw new DOMException('cannot be cloned', 'DataCloneError');
      post(message, transfer);
    }; }`, 'DataCloneError: cannot be cloned'],
  // An error of the worker's own says what it is, without its stack.
  ['an instance the worker cannot make (the fourth)', beforeWorkerCode, `{ const real = WebAssembly.instantiate;
    let made = 0;
    WebAssembly.instantiate = (...args) => (++made === 4 ? Promise.reject(new Error('no instance in the worker'))
      : real(...args)); }`, 'no instance in the worker'],
];
for (const [what, setUp, argument, error] of failures) {
  test(`a failed run shows its own failure and nothing of the image before: ${what}`, async () => {
    const browser = await launchBrowser();
    try {
      const page = await openPage(browser, {}, setUp, argument);
      await choose(page, sample);
      assert.equal((await state(page)).verdict, 'cut');
      await choose(page, gap);
      let shown = await state(page);
      assert.deepEqual([shown.state, shown.verdict, shown.summary, shown.links, shown.disks, shown.rest],
        ['error', 'failed', 'gap.d88: could not be read.', [], '', ['', '', '#']]);
      assert.equal(shown.status, `gap.d88: could not be read. ${error}`);
      assert.equal(await page.evaluate(() => soundcutPage.lastResult), null);
      await page.click('#lang');
      shown = await state(page);
      assert.equal(shown.summary, 'gap.d88: 読み込めませんでした。');
      assert.equal(shown.status, `gap.d88: 読み込めませんでした。 ${error}`);
      assert.deepEqual(shown.links, []);
      await choose(page, sample);
      shown = await state(page);
      assert.deepEqual([shown.state, shown.verdict], ['done', 'cut']);
    } finally {
      await browser.close();
    }
  });
}

// The page takes a file before its engine has started (a slow phone): the
// engine's start is held back (its worker's messages wait) while the
// sample is chosen; once it is let go, the sample is read, not lost.
test('a file chosen while the engine starts waits for it and is read', async () => {
  const browser = await launchBrowser();
  try {
    const page = await browser.newPage();
    await page.addInitScript(() => {
      const held = new Promise((go) => { window.letEngineGo = go; });
      window.Worker = class extends window.Worker {
        set onmessage(handler) { super.onmessage = (event) => held.then(() => handler(event)); }
      };
    });
    await page.goto(pathToFileURL(pagePath).href);
    await page.waitForFunction(() => document.body.dataset.takesFilesMs);
    await page.setInputFiles('#image', sample);
    await page.waitForTimeout(500);
    assert.deepEqual(await page.evaluate(() => [document.body.dataset.state, document.body.dataset.readyMs]),
      ['working', undefined]);
    await page.evaluate(() => window.letEngineGo());
    await page.waitForFunction(() => ['done', 'error'].includes(document.body.dataset.state));
    assertSameAsNative(await lastRun(page), sample, 'the sample chosen while the engine started');
  } finally {
    await browser.close();
  }
});

test('the page is one file of at most 250 KB', () => {
  assert.ok(readFileSync(pagePath).length <= 250 * 1024);
});
