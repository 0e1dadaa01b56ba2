// The page in all three browser engines, over a local server and from
// file://: one table of cases, each run in Chromium, Firefox and WebKit
// through the adapters of engines.mjs. In every engine the page's own
// bytes behind each download are compared with the native programs' files;
// where the driver can also read a download (Chromium), so is the zip.
//
// An engine that is not installed is skipped with a notice, unless
// SOUNDCUT_REQUIRE_ENGINES is set (as CI sets it).
import assert from 'node:assert/strict';
import { writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { pathToFileURL } from 'node:url';
import { unzipSync } from 'fflate';
import { Engines } from './engines.mjs';
import { assertSameAsNative, image, nativeRun, outputFiles, pagePath, readLastRun, scratch, serveSite } from './harness.mjs';

const sample = image('sample');
const notes = join(scratch, 'notes.txt');
writeFileSync(notes, 'Not an image at all.\n'.repeat(60));
const everyFile = [...outputFiles, 'soundcut.zip'];

// What, the image, the verdict, the downloads offered.
const cases = [
  ['the sample', sample, 'cut', everyFile],
  ['a game disk whose records lie in another order', image('shuffled'), 'cut', everyFile],
  ['a disk with a missing sector', image('gap'), 'partly_cut', ['PSGDRV', 'OPMDRV', 'PSGMUS']],
  ['a foreign disk', image('other'), 'no_disk_a', []],
  ['a file that is no D88 image', notes, 'not_d88_image', []],
];

const required = Boolean(process.env.SOUNDCUT_REQUIRE_ENGINES);

for (const engine of Engines) {
  const missing = engine.available() ? false : `${engine.name} is not installed (or, for WebKit, no display: xvfb-run)`;
  if (missing && required) {
    test(`${engine.name} is there`, () => assert.fail(missing));
    continue;
  }
  for (const served of [true, false]) {
    describe(`${engine.name}, ${served ? 'over a local server' : 'from file://'}`, { skip: missing }, () => {
      let browser;
      let server;
      const run = () => readLastRun(browser.evaluate);
      before(async () => {
        server = served ? await serveSite() : null;
        browser = await engine.start();
        await browser.open(served ? server.url : pathToFileURL(pagePath).href);
      });
      after(async () => {
        await browser.close();
        if (server) server.close();
      });

      for (const [what, path, verdict, links] of cases) {
        test(what, async () => {
          await browser.choose(path);
          const shown = await run();
          assert.equal(shown.verdict, verdict);
          assert.deepEqual(shown.links, links);
          assertSameAsNative(shown, path, what);
        });
      }

      test('the zip holds the four files, where the driver can read a download', async (t) => {
        await browser.choose(sample);
        const zip = await browser.download('a#zip');
        if (zip === null) {
          t.skip(`${engine.name}'s driver gives no download's bytes; the page's own bytes were compared above`);
          return;
        }
        const members = unzipSync(new Uint8Array(zip));
        const native = nativeRun(sample);
        assert.deepEqual(Object.keys(members).sort(), [...outputFiles].sort());
        for (const name of outputFiles) assert.deepEqual(Buffer.from(members[name]), native.files[name], name);
      });

      test('image after image: a listing past what is shown, then the sample', async () => {
        await browser.choose(image('longtrack'));
        await browser.choose(sample);
        const shown = await run();
        assert.equal(shown.verdict, 'cut');
        assertSameAsNative(shown, sample, 'the sample after a long listing');
      });

      // Each row as the native programs give its image alone; a row opens
      // its own result.
      test('several images at once: a row each, in the order given', async () => {
        await browser.choose(cases.map(([, path]) => path));
        const verdicts = await browser.evaluate(() => [...document.querySelectorAll('#collection-rows tr')]
          .map((row) => row.dataset.verdict));
        assert.deepEqual(verdicts, cases.map(([, , verdict]) => verdict));
        await browser.evaluate(() => {
          document.body.dataset.state = 'working';
          document.querySelector('#collection-rows tr:nth-child(3) button').click();
        });
        await browser.evaluate(() => new Promise((done) => {
          const check = () => (['done', 'error'].includes(document.body.dataset.state) ? done() : setTimeout(check, 50));
          check();
        }));
        const shown = await run();
        assert.deepEqual(shown.links, ['PSGDRV', 'OPMDRV', 'PSGMUS']);
        assertSameAsNative(shown, cases[2][1], 'the third row');
      });

      test('a map cell by keyboard shows its details', async () => {
        await browser.choose(sample);
        await browser.focus('.disk[open] [role="gridcell"]');
        for (let i = 0; i < 8; ++i) await browser.press('ArrowDown');
        await browser.press('ArrowRight');
        const seen = await browser.evaluate(() => [document.activeElement.title,
          document.querySelector('.disk[open] .cellinfo').textContent]);
        const expected = '1 PSGDRV: track 8, record 1: C/H/R/N 04/00/02/03, 1024 bytes of data';
        assert.deepEqual(seen, [expected, expected]);
      });

      if (served) {
        test('the page asks the server for nothing beyond itself', () => {
          assert.deepEqual([...new Set(server.requests)], ['/soundcut.html']);
        });
      }
    });
  }
}
