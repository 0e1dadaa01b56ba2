// Many images at once in Chromium: a folder of generated images of every
// kind, chosen with the folder button or dropped, gives per row the verdict
// and files the native programs give for that image alone; a drop of
// folders is read through, sorted, to its end; the summary's CSV says what
// the table shows; Cancel stops after the image in hand; two hundred
// images agree with the native programs, and a thousand cost the page no
// more memory than it had after the first ten.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { copyFileSync, mkdirSync, openSync, closeSync, ftruncateSync, readFileSync, writeFileSync } from 'node:fs';
import { basename, join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { assertSameAsNative, image, launchBrowser, nativeBuild, nativeRun, openPage, outputFiles, readLastRun,
  scratch } from './harness.mjs';

const MiB = 1024 * 1024;

// A folder of one image of each kind (a sub-folder among them), and what
// the table must say of each. The image over the size limit is sparse: it
// is never read.
function makeFolder() {
  const folder = join(scratch, 'collection');
  mkdirSync(join(folder, 'more'), { recursive: true });
  const put = (name, bytes) => writeFileSync(join(folder, name), bytes);
  const sample = readFileSync(image('sample'));
  put('a-sample.d88', sample);
  // Text longer than a disk header: no D88 image all the same.
  put('b-notes.txt', 'Not an image at all.\n'.repeat(60));
  put('c-empty.d88', Buffer.alloc(0));
  put('d-damaged.d88', sample.subarray(0, 45000));
  copyFileSync(image('duplicates'), join(folder, 'e-64-disks.d88'));
  copyFileSync(image('several'), join(folder, 'more', 'f-several.d88'));
  copyFileSync(image('gap'), join(folder, 'more', 'g-gap.d88'));
  const huge = openSync(join(folder, 'h-too-large.d88'), 'w');
  ftruncateSync(huge, 256 * MiB + 1);
  closeSync(huge);
  return {
    folder,
    rows: [
      ['collection/a-sample.d88', 'cut'], ['collection/b-notes.txt', 'not a D88 image'],
      ['collection/c-empty.d88', 'empty'], ['collection/d-damaged.d88', 'partly cut'],
      ['collection/e-64-disks.d88', 'cut'], ['collection/h-too-large.d88', 'too large'],
      ['collection/more/f-several.d88', 'cut'], ['collection/more/g-gap.d88', 'partly cut'],
    ],
  };
}

// The table's cells as text, row by row, its head first.
const tableOf = (page) => page.$$eval('#collection-table tr', (rows) =>
  rows.map((row) => [...row.children].map((cell) => cell.textContent)));
const finished = (page, as = 'finished') => page.waitForFunction((wanted) => document.body.dataset.collection === wanted,
  as, { timeout: 600000 });

// The disks d88list --json calls disk A, and which of the four files
// soundcut writes: what a row's disks and sources must agree with.
function nativeSummary(path) {
  const listed = spawnSync(join(nativeBuild, 'bin', 'd88list'), ['--json', path], { maxBuffer: 1 << 30 });
  const disks = listed.stdout.length > 0 ? JSON.parse(listed.stdout).disks : [];
  const native = nativeRun(path);
  const recognised = disks.filter((disk) => disk.is_game_disk_a).map((disk) => disk.index);
  const cut = outputFiles.map((name) => name in native.files);
  let verdict = cut.every(Boolean) ? 'cut' : 'partly cut';
  if (recognised.length === 0) {
    const d88 = disks.length > 0 && disks[0].header.d88;
    verdict = readFileSync(path).length === 0 ? 'empty' : d88 ? 'no disk A' : 'not a D88 image';
  }
  return { recognised: recognised.join(', ') || '—', cut, verdict };
}

// Drops File objects (put into a stand-in input with the driver) as the
// browser gives a dropped folder: entries whose folders hand out their
// entries a few at a time, one file that cannot be read among them.
async function dropAsFolders(page, paths) {
  await page.evaluate(() => {
    const input = Object.assign(document.createElement('input'), { type: 'file', multiple: true, id: 'stand-in' });
    document.body.append(input);
  });
  await page.setInputFiles('#stand-in', paths);
  await page.evaluate(() => {
    const files = [...document.getElementById('stand-in').files];
    document.getElementById('stand-in').remove();
    const fileEntry = (file, folder) => ({ isFile: true, isDirectory: false, name: file.name,
      fullPath: `${folder}/${file.name}`,
      file: (done, fail) => (file.name.startsWith('unreadable') ? fail(new DOMException('gone', 'NotFoundError')) : done(file)) });
    const folderEntry = (name, children, parent = '') => ({ isFile: false, isDirectory: true, name,
      fullPath: `${parent}/${name}`, createReader() {
        let at = 0;
        return { readEntries(done) { const batch = children.slice(at, at + 2); at += batch.length; setTimeout(() => done(batch)); } };
      } });
    // Given out of order: the table lists each folder's entries by name.
    const inner = folderEntry('inner', files.slice(3).reverse().map((file) => fileEntry(file, '/top/inner')), '/top');
    const top = folderEntry('top', [...files.slice(0, 3).reverse().map((file) => fileEntry(file, '/top')), inner]);
    const item = (entry) => ({ kind: 'file', webkitGetAsEntry: () => entry });
    const drop = new Event('drop', { cancelable: true });
    Object.defineProperty(drop, 'dataTransfer', { value: { items: [item(top)], files: [] } });
    document.dispatchEvent(drop);
  });
}

describe('a collection in one page', () => {
  let browser;
  let page;
  before(async () => {
    browser = await launchBrowser();
    page = await openPage(browser);
  });
  after(() => browser.close());

  test('a folder gives per row what the native programs give for that image alone', async () => {
    const { folder, rows } = makeFolder();
    await page.evaluate(() => {
      window.progressSeen = new Set();
      const line = document.getElementById('progress-line');
      new MutationObserver(() => window.progressSeen.add(line.textContent))
        .observe(line, { childList: true, characterData: true, subtree: true });
    });
    await page.setInputFiles('#folder', folder);
    await finished(page);
    // The image of 93 MB names its stages as it goes; the small ones do not.
    // A row is only cut: its listing and map wait until it is opened.
    const progress = await page.evaluate(() => [...window.progressSeen]);
    for (const stage of ['reading the file', 'cutting', 'listing', 'making the map']) {
      assert.equal(progress.includes(`5 of 8: collection/e-64-disks.d88 (${stage})`), ['reading the file', 'cutting'].includes(stage), stage);
    }
    assert.ok(progress.includes('1 of 8: collection/a-sample.d88'));
    const [head, ...shown] = await tableOf(page);
    assert.deepEqual(head, ['Image', 'Size (bytes)', 'Verdict', 'Disk A found at', ...outputFiles, 'Same files']);
    assert.deepEqual(shown.map(([name, , verdict]) => [name, verdict]), rows);
    // The file over the limit was never read, and the line says so.
    assert.equal(await page.textContent('#progress-line'), 'Finished: 7 of 8 read; not read: 1 too large.');
    for (const [index, [name, size, verdict, disks, ...rest]] of shown.entries()) {
      const sources = rest.slice(0, outputFiles.length);
      const path = join(scratch, name);
      assert.equal(size, String(readFileSync(path).length), name);
      await page.click(`#collection-rows tr:nth-child(${index + 1}) button.open`);
      await page.waitForFunction(() => ['done', 'error'].includes(document.body.dataset.state));
      if (verdict === 'too large') {
        assert.equal(await page.evaluate(() => soundcutPage.lastResult), null);
        continue;
      }
      const native = nativeSummary(path);
      assert.deepEqual([verdict, disks, sources.map((source) => source !== '—')],
        [native.verdict, native.recognised, native.cut], name);
      const opened = await readLastRun((fn) => page.evaluate(fn));
      assertSameAsNative(opened, path, name);
      // Its zip is named after it.
      const zips = opened.links.filter((link) => link.endsWith('.zip'));
      assert.deepEqual(zips, verdict === 'cut' ? [`${basename(name, '.d88')}.zip`] : [], name);
      // The open row is marked, and its verdict is the one shown.
      assert.equal(await page.getAttribute('#collection-rows tr[aria-current]', 'data-verdict'), opened.verdict);
    }
    // A file changed since its row was made: opened again, the row says
    // what this reading found (Chromium refuses to read it any more).
    writeFileSync(join(folder, 'a-sample.d88'), readFileSync(image('other')));
    await page.click('#collection-rows tr:nth-child(1) button.open');
    await page.waitForFunction(() => ['done', 'error'].includes(document.body.dataset.state));
    const verdictCell = await page.textContent('#collection-rows tr:nth-child(1) td:nth-child(3)');
    assert.match(verdictCell, /^(no disk A|could not be read: .+)$/);
  });

  test('dropped folders are read through, in order of name, with a file that cannot be read in its row', async () => {
    const paths = [image('other'), image('sample'), image('gap')];
    const unreadable = join(scratch, 'unreadable.d88');
    writeFileSync(unreadable, readFileSync(paths[1]));
    await dropAsFolders(page, [...paths, unreadable, image('shuffled')]);
    // The walk takes a while: the table before stands until it is done.
    await page.waitForFunction(() => document.querySelector('#collection-rows button').textContent === 'top/gap.d88');
    await finished(page);
    const shown = (await tableOf(page)).slice(1).map(([name, , verdict, , psgdrv]) => [name, verdict, psgdrv]);
    assert.deepEqual(shown, [
      ['top/gap.d88', 'partly cut', 'disk 0'],
      ['top/inner/shuffled.d88', 'cut', 'disk 0'],
      ['top/inner/unreadable.d88', 'could not be read: gone', '—'],
      ['top/other.d88', 'no disk A', '—'],
      ['top/sample.d88', 'cut', 'disk 0'],
    ]);
    // Nothing to open where nothing was found, nor to count as read.
    assert.equal(await page.isDisabled('#collection-rows tr:nth-child(3) button'), true);
    assert.equal(await page.textContent('#progress-line'), 'Finished: 4 of 5 read; not read: 1 could not be read.');
  });

  // The engine is held (a request of the test's own) before the first
  // image, so that Cancel comes while that image is in hand. (A collection
  // before has the page ask the module for the game's facts, which it asks
  // once, so that the first image's request is the one held.)
  test('Cancel stops after the image in hand, and the CSV says what the table shows', async () => {
    await page.setInputFiles('#image', [image('sample'), image('other')]);
    await finished(page);
    // The first one's name as a spreadsheet would take for a formula, with
    // a comma and quotes in it.
    const paths = Array.from({ length: 30 }, (_, i) => image(`random:${i}`));
    paths[0] = join(scratch, '=1+1, "quoted".d88');
    copyFileSync(image('random:0'), paths[0]);
    await page.evaluate(() => { soundcutPage.inTurn(() => new Promise((go) => { window.letGo = go; })); });
    await page.setInputFiles('#image', paths);
    await page.waitForFunction(() => document.getElementById('progress-line').textContent.startsWith('1 of 30: '));
    await page.click('#cancel');
    await page.evaluate(() => window.letGo());
    await finished(page, 'cancelled');
    const [head, ...rows] = await tableOf(page);
    assert.deepEqual(rows[0].slice(0, 2), ['=1+1, "quoted".d88', String(readFileSync(paths[0]).length)]);
    assert.notEqual(rows[0][2], 'cancelled');
    assert.deepEqual(rows.slice(1).map((row) => row[2]), Array(29).fill('cancelled'));
    assert.equal(await page.textContent('#progress-line'), 'Cancelled: 1 of 30 read; not read: 29 cancelled.');
    assert.equal(await page.isHidden('#cancel'), true);

    const [made] = await Promise.all([page.waitForEvent('download'), page.click('#summary-download')]);
    assert.equal(made.suggestedFilename(), 'soundcut-summary.csv');
    const csv = readFileSync(await made.path(), 'utf8');
    assert.ok(csv.startsWith('\uFEFFImage,'));
    assert.ok(csv.includes('\r\n"\'=1+1, ""quoted"".d88",'));
    const parsed = parseCsv(csv.slice(1));
    assert.deepEqual(parsed.map((cells) => cells.slice(0, head.length)), [head, ...rows]);
    assert.deepEqual(parsed[0].slice(head.length), outputFiles.map((file) => `${file} SHA-256`));
  });

  // Copies of one image give one group of files, whatever their names; one
  // changed byte of OPMMUS stands apart. The digests shown, in the table's
  // CSV and beside a row's downloads, are those of the files themselves.
  test('the same files are grouped by their digests, and the table sorts and filters', async () => {
    const sample = readFileSync(image('sample'));
    const opmmus = nativeRun(image('sample')).files.OPMMUS;
    const changed = Buffer.from(sample);
    // OPMMUS begins with the first record of track 9 (the sample's are in
    // order), after its 16-byte header.
    changed[sample.readUInt32LE(0x20 + 4 * 9) + 16 + 100] ^= 0xFF;
    const folder = join(scratch, 'copies');
    mkdirSync(folder, { recursive: true });
    const paths = ['copy-a.d88', 'copy-b.d88', 'copy-c.d88', 'changed.d88'].map((name) => join(folder, name));
    [sample, sample, sample, changed].forEach((bytes, i) => writeFileSync(paths[i], bytes));
    assert.notDeepEqual(nativeRun(paths[3]).files.OPMMUS, opmmus);
    const others = [image('gap'), ...Array.from({ length: 9 }, (_, i) => image(`random:${i}`))];
    await page.setInputFiles('#image', [...paths, ...others]);
    await finished(page);
    const [head, ...rows] = await tableOf(page);
    const same = rows.map((cells) => cells[head.length - 1]);
    // Generated images may hold the sample's files too, and join its group.
    assert.match(same[0], /^first of \d+ alike$/);
    assert.deepEqual(same.slice(1, 4), ['same files as copy-a.d88', 'same files as copy-a.d88', 'unique']);

    const sha = (bytes) => createHash('sha256').update(bytes).digest('hex');
    const [made] = await Promise.all([page.waitForEvent('download'), page.click('#summary-download')]);
    const csv = parseCsv(readFileSync(await made.path(), 'utf8').slice(1));
    // Every row's, those of files its image gives none of (after one that
    // gave all four) empty.
    [...paths, ...others].forEach((path, i) => {
      const native = nativeRun(path).files;
      assert.deepEqual(csv[i + 1].slice(head.length), outputFiles.map((file) => (native[file] ? sha(native[file]) : '')), path);
    });
    assert.notEqual(csv[4][head.length + 3], csv[1][head.length + 3]);

    await page.click('#collection-rows tr:nth-child(2) button.open');
    await page.waitForFunction(() => document.body.dataset.state === 'done');
    assert.equal(await page.textContent('#digests'),
      outputFiles.map((file) => `${sha(nativeRun(paths[1]).files[file])}  ${file}\n`).join(''));

    // Sorted by size, largest first, then shown by verdict.
    await page.click('#collection-table thead th:nth-child(2) button');
    await page.click('#collection-table thead th:nth-child(2) button');
    assert.equal(await page.getAttribute('#collection-table thead th:nth-child(2)', 'aria-sort'), 'descending');
    const sizes = (await tableOf(page)).slice(1).map((cells) => Number(cells[1]));
    assert.deepEqual(sizes, [...sizes].sort((a, b) => b - a));
    await page.selectOption('#verdict-filter', 'cut');
    const shown = await page.$$eval('#collection-rows tr:not([hidden])', (trs) => trs.map((tr) => tr.dataset.verdict));
    assert.ok(shown.length >= 4 && shown.every((verdict) => verdict === 'cut'), String(shown));
  });

  // What comes while something else is under way: never one image's
  // answer in another's place, nor one collection's in another's table.
  test('what comes while a collection is read, or after', async () => {
    const [sample, gap, other] = ['sample', 'gap', 'other'].map((kind) => image(kind));
    const hold = () => page.evaluate(() => { soundcutPage.inTurn(() => new Promise((go) => { window.letGo = go; })); });
    const verdicts = () => page.$$eval('#collection-rows tr', (rows) => rows.map((row) => row.dataset.verdict));
    const settled = () => page.waitForFunction(() => ['done', 'error'].includes(document.body.dataset.state));
    const status = () => page.textContent('#status');
    await page.evaluate(() => {
      window.dropItems = (items) => {
        const event = new Event('drop', { cancelable: true });
        Object.defineProperty(event, 'dataTransfer', { value: { items, files: [] } });
        document.dispatchEvent(event);
      };
      window.dropNothing = () => window.dropItems([{ kind: 'string' }]);
    });

    // An image chosen while a collection is read joins it; a drop with
    // nothing in it meanwhile says so until then.
    await hold();
    await page.setInputFiles('#image', [sample, gap]);
    await page.evaluate(() => window.dropNothing());
    assert.equal(await status(), 'Nothing to read: no file was found in what was chosen or dropped.');
    await page.setInputFiles('#image', other);
    assert.equal(await status(), 'The images are read one after another: each row below opens its own result.');
    await page.evaluate(() => window.letGo());
    await finished(page);
    assert.deepEqual(await verdicts(), ['cut', 'partly_cut', 'no_disk_a']);

    // Enter on a row opens it, and the focus stays on it.
    await page.focus('#collection-rows tr:nth-child(2) button');
    await page.keyboard.press('Enter');
    await settled();
    assert.ok(await page.evaluate(() => document.activeElement === document.querySelector('#collection-rows tr:nth-child(2) button')));

    // Cancelled with its first image in hand, then another collection:
    // the first image never reaches the new table.
    await hold();
    await page.setInputFiles('#image', [gap, other, sample]);
    await page.waitForFunction(() => document.getElementById('progress-line').textContent.startsWith('1 of 3: '));
    await page.click('#cancel');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'progress-line');
    await page.setInputFiles('#image', [other, sample]);
    await page.evaluate(() => window.letGo());
    await finished(page);
    assert.deepEqual(await verdicts(), ['no_disk_a', 'cut']);

    // A drop whose folder is slow to read, then an image chosen: the
    // image's result stays. A drop with nothing to read changes nothing
    // but the status: the slow folder's walk goes on.
    await page.evaluate(() => {
      const file = { isFile: true, isDirectory: false, name: 'late.d88', fullPath: '/slow/late.d88',
        file: (done) => done(new File([new Uint8Array(10)], 'late.d88')) };
      window.dropSlow = () => {
        let given = false;
        const slow = { isFile: false, isDirectory: true, name: 'slow', fullPath: '/slow', createReader: () => ({
          readEntries(done) {
            const batch = given ? [] : [file];
            given = true;
            setTimeout(() => done(batch), 500);
          } }) };
        window.dropItems([{ kind: 'file', webkitGetAsEntry: () => slow }]);
      };
    });
    await page.evaluate(() => { window.dropSlow(); window.dropNothing(); });
    await page.waitForFunction(() => document.body.dataset.collection === 'finished'
      && document.querySelector('#collection-rows button').textContent === 'slow/late.d88');
    assert.deepEqual(await verdicts(), ['not_d88_image']);
    await page.evaluate(() => window.dropSlow());
    await page.setInputFiles('#image', sample);
    await settled();
    await page.waitForTimeout(1500);
    await page.evaluate(() => window.dropNothing());
    const nothing = [true, 'cut', 'Nothing to read: no file was found in what was chosen or dropped.'];
    const seen = () => page.evaluate(() => [document.getElementById('collection').hidden,
      document.getElementById('summary').dataset.verdict, document.getElementById('status').textContent]);
    assert.deepEqual(await seen(), nothing);
    // So does an empty folder chosen with its button.
    await page.setInputFiles('#image', sample);
    await settled();
    await page.dispatchEvent('#folder', 'change');
    assert.deepEqual(await seen(), nothing);
  });

  test('two hundred images chosen at once agree with the native programs', async () => {
    const paths = Array.from({ length: 200 }, (_, i) => image(`random:${i}`));
    const started = Date.now();
    await page.setInputFiles('#image', paths);
    await finished(page);
    console.log(`200 generated images in the page: ${Date.now() - started} ms`);
    const rows = (await tableOf(page)).slice(1);
    assert.equal(rows.length, 200);
    rows.forEach(([name, size, verdict, disks, ...rest], i) => {
      const sources = rest.slice(0, outputFiles.length);
      const native = nativeSummary(paths[i]);
      assert.equal(name, `random-${i}.d88`);
      assert.equal(size, String(readFileSync(paths[i]).length));
      assert.deepEqual([verdict, disks, sources.map((source) => source !== '—')],
        [native.verdict, native.recognised, native.cut], name);
    });
  });
});

// Fields as RFC 4180 writes them: quoted where they hold a comma, quote
// or line break; a leading ' kept a formula from being one.
function parseCsv(text) {
  const rows = [];
  for (const line of text.split('\r\n').slice(0, -1)) {
    const fields = [];
    for (const match of line.matchAll(/("(?:[^"]|"")*"|[^,]*)(,|$)/g)) {
      const field = match[1].startsWith('"') ? match[1].slice(1, -1).replace(/""/g, '"') : match[1];
      fields.push(field.replace(/^'(?=[=+\-@])/, ''));
      if (match[2] === '') break;
    }
    rows.push(fields);
  }
  return rows;
}

// The memory of every renderer process of the browser (the page's and its
// worker's), in MiB.
async function rendererMiB(browser) {
  const cdp = await browser.newBrowserCDPSession();
  const { processInfo } = await cdp.send('SystemInfo.getProcessInfo');
  await cdp.detach();
  return processInfo.filter((process) => process.type === 'renderer')
    .map((process) => Number(readFileSync(`/proc/${process.id}/status`, 'utf8').match(/VmRSS:\s+(\d+)/)[1]))
    .reduce((sum, kib) => sum + kib, 0) / 1024;
}

// An engine that cannot make the module's instances gives no table: the
// line says why, never that all was read.
test('a collection the engine cannot read says why', async () => {
  const browser = await launchBrowser();
  try {
    const page = await openPage(browser, {}, () => {
      window.Worker = undefined;
      WebAssembly.instantiate = () => Promise.reject(new Error('no instance today'));
    });
    await page.setInputFiles('#image', [image('sample'), image('gap')]);
    await finished(page);
    assert.equal(await page.textContent('#progress-line'), 'The images could not be read: no instance today');
  } finally {
    await browser.close();
  }
});

test('a thousand small images cost the page no more than 1.5 times what the first ten did', { skip: process.platform !== 'linux' },
  async () => {
    const kinds = ['sample', 'gap', 'other', 'several'].map((kind) => readFileSync(image(kind)));
    const folder = join(scratch, 'thousand');
    mkdirSync(folder, { recursive: true });
    const paths = Array.from({ length: 1000 }, (_, i) => {
      const path = join(folder, `image-${String(i).padStart(4, '0')}.d88`);
      writeFileSync(path, kinds[i % kinds.length]);
      return path;
    });
    const browser = await launchBrowser(['--js-flags=--expose-gc']);
    try {
      const page = await openPage(browser);
      // What is still held, not what is left for the collector.
      const held = async () => {
        for (const worker of page.workers()) await worker.evaluate(() => globalThis.gc());
        await page.evaluate(() => globalThis.gc());
        return rendererMiB(browser);
      };
      await page.setInputFiles('#image', paths);
      await page.waitForFunction(() => document.getElementById('progress').value >= 10);
      const afterTen = await held();
      await finished(page);
      const afterAll = await held();
      console.log(`the page's memory: ${afterTen.toFixed(0)} MiB after 10 small images, ${afterAll.toFixed(0)} MiB after 1,000`);
      assert.equal(await page.$$eval('#collection-rows tr', (rows) => rows.length), 1000);
      assert.ok(afterAll <= 1.5 * afterTen, `${afterAll.toFixed(0)} MiB against ${afterTen.toFixed(0)} MiB`);
    } finally {
      await browser.close();
    }
  });
