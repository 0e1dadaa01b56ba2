// The page for everyone: axe-core finds no WCAG 2.1 AA (or best-practice)
// violation in any state, in either language, light or dark; the whole
// way from the file button to the zip and to a map cell's details works
// by keyboard alone; a phone's 360 px need no sideways scrolling but the
// map's own. Screenshots of each look go to test-output/.
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { pathToFileURL } from 'node:url';
import { choose, image, launchBrowser, pagePath, scratch, waitUntilReady } from './harness.mjs';

// axe is injected by the test driver, so the page's own policy stays as it is.
const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
const ruleSets = ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'best-practice'];
const screenshots = join(process.cwd(), 'test-output');
mkdirSync(screenshots, { recursive: true });

const sample = image('sample');
const notes = join(scratch, 'notes.txt');
writeFileSync(notes, 'Not an image at all.\n'.repeat(100));
const states = [
  ['ready', null],
  ['all four cut', sample],
  ['some missing', image('gap')],
  ['no game disk', image('other')],
  ['not a D88 image', notes],
];

async function violations(page) {
  await page.evaluate(axeSource);
  const results = await page.evaluate((tags) => axe.run(document, { runOnly: { type: 'tag', values: tags } }), ruleSets);
  return results.violations.map((found) => `${found.id} (${found.impact}): ${found.nodes.length} elements, `
    + `first ${found.nodes[0].target.join(' ')}`);
}

const openEveryDisk = (page) => page.evaluate(() => {
  for (const section of document.querySelectorAll('details')) section.open = true;
});

async function openPage(browser, options) {
  const page = await browser.newPage({ acceptDownloads: true, ...options });
  await page.goto(pathToFileURL(pagePath).href);
  await waitUntilReady(page);
  return page;
}

describe('accessibility', () => {
  let browser;
  before(async () => { browser = await launchBrowser(); });
  after(() => browser.close());

  for (const locale of ['en-US', 'ja-JP']) {
    for (const colorScheme of ['light', 'dark']) {
      test(`axe finds nothing in any state: ${locale}, ${colorScheme}`, async () => {
        const page = await openPage(browser, { locale, colorScheme });
        const found = [];
        for (const [state, path] of states) {
          if (path) await choose(page, path);
          await openEveryDisk(page);
          for (const violation of await violations(page)) found.push(`${state}: ${violation}`);
        }
        await page.close();
        assert.deepEqual(found, []);
      });
    }
  }

  test('by keyboard alone: the file button, the zip, and a map cell\'s details', async () => {
    const page = await openPage(browser, { locale: 'en-US' });
    const focused = () => page.evaluate(() => {
      const at = document.activeElement;
      return { id: at.id, role: at.getAttribute('role'), title: at.title, tag: at.tagName };
    });
    const tabTo = async (wanted) => {
      for (let presses = 0; presses < 60; ++presses) {
        await page.keyboard.press('Tab');
        if (wanted(await focused())) return;
      }
      assert.fail('not reached by Tab');
    };
    await tabTo((at) => at.id === 'image');
    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.keyboard.press('Space')]);
    await chooser.setFiles(sample);
    await page.waitForFunction(() => document.body.dataset.state === 'done');
    await tabTo((at) => at.id === 'zip');
    const [zip] = await Promise.all([page.waitForEvent('download'), page.keyboard.press('Enter')]);
    assert.equal(zip.suggestedFilename(), 'soundcut.zip');
    await tabTo((at) => at.role === 'gridcell');
    for (let i = 0; i < 8; ++i) await page.keyboard.press('ArrowDown');
    await page.keyboard.press('ArrowRight');
    const cell = await focused();
    assert.equal(cell.title, '1 PSGDRV: track 8, record 1: C/H/R/N 04/00/02/03, 1024 bytes of data');
    assert.equal(await page.textContent('.disk[open] .cellinfo'), cell.title);
    await page.close();
  });

  test('each region lists its sectors as text', async () => {
    const page = await openPage(browser, { locale: 'en-US' });
    await choose(page, image('gap'));
    const lines = await page.$$eval('.disk[open] .region-sectors li', (items) => items.map((item) => item.textContent));
    assert.equal(lines[3], 'OPMMUS (4): C4 H1 R1 (there), C4 H1 R2 (there), C4 H1 R3 (missing), C4 H1 R4 (there), '
      + 'C4 H1 R5 (there), C5 H0 R1 (there), C5 H0 R2 (there), C5 H0 R3 (there), C5 H0 R4 (there), C5 H0 R5 (there)');
    await page.close();
  });

  test('screenshots light and dark, desktop and 360 px, and under three colour deficiencies', async () => {
    for (const colorScheme of ['light', 'dark']) {
      for (const [width, name] of [[1280, 'desktop'], [360, 'phone']]) {
        const page = await openPage(browser, { locale: 'en-US', colorScheme, viewport: { width, height: 900 } });
        await choose(page, image('gap'));
        const sideways = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
        assert.ok(sideways <= 0, `${name} ${colorScheme}: the page scrolls sideways by ${sideways} px`);
        await page.screenshot({ path: join(screenshots, `gap-${name}-${colorScheme}.png`), fullPage: true });
        await page.close();
      }
    }
    const page = await openPage(browser, { locale: 'en-US', viewport: { width: 1280, height: 900 } });
    await choose(page, image('gap'));
    const session = await page.context().newCDPSession(page);
    for (const type of ['protanopia', 'deuteranopia', 'tritanopia']) {
      await session.send('Emulation.setEmulatedVisionDeficiency', { type });
      await page.locator('.disk[open]').screenshot({ path: join(screenshots, `gap-map-${type}.png`) });
    }
    await page.close();
    console.log(`screenshots: ${screenshots}`);
  });
});
