// The page for everyone: axe-core finds no WCAG 2.1 AA (or best-practice)
// violation in any state, in either language, light or dark; the whole
// way from the file button to the zip and to a map cell's details works
// by keyboard alone; a phone's 360 px need no sideways scrolling but the
// map's own; the region colours stay apart under the common colour-vision
// deficiencies. Screenshots of each look go to test-output/.
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { choose, image, launchBrowser, openPage, scratch } from './harness.mjs';

// axe is injected by the test driver, so the page's own policy stays as it is.
const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
const ruleSets = ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'best-practice'];
const screenshots = join(process.cwd(), 'test-output');
mkdirSync(screenshots, { recursive: true });

const sample = image('sample');
const notes = join(scratch, 'notes.txt');
writeFileSync(notes, 'Not an image at all.\n'.repeat(60));
const states = [
  ['ready', null],
  ['all four cut', sample],
  ['some missing', image('gap')],
  ['no game disk', image('other')],
  ['not a D88 image', notes],
];

// The common colour-vision deficiencies at full severity, as matrices on
// linear RGB (Machado, Oliveira and Fernandes, 2009), and CIELAB (D65).
const Deficiencies = {
  protanopia: [[0.152286, 1.052583, -0.204868], [0.114503, 0.786281, 0.099216], [-0.003882, -0.048116, 1.051998]],
  deuteranopia: [[0.367322, 0.860646, -0.227968], [0.280085, 0.672501, 0.047413], [-0.01182, 0.04294, 0.968881]],
  tritanopia: [[1.255528, -0.076749, -0.178779], [-0.078411, 0.930809, 0.147602], [0.004733, 0.691367, 0.3039]],
};
const linearRgb = (css) => css.match(/\d+(\.\d+)?/g).slice(0, 3).map((value) => value / 255)
  .map((c) => (c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4));
const simulate = (rgb, matrix) => matrix.map((row) => Math.min(1, Math.max(0, row.reduce((sum, m, i) => sum + m * rgb[i], 0))));
function lab([r, g, b]) {
  const xyz = [[0.4124, 0.3576, 0.1805, 0.95047], [0.2126, 0.7152, 0.0722, 1], [0.0193, 0.1192, 0.9505, 1.08883]];
  const [fx, fy, fz] = xyz.map(([x, y, z, white]) => (x * r + y * g + z * b) / white)
    .map((t) => (t > 216 / 24389 ? Math.cbrt(t) : (24389 / 27 * t + 16) / 116));
  return [116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)];
}

async function violations(page) {
  await page.evaluate(axeSource);
  const results = await page.evaluate((tags) => axe.run(document, { runOnly: { type: 'tag', values: tags } }), ruleSets);
  return results.violations.map((found) => `${found.id} (${found.impact}): ${found.nodes.length} elements, `
    + `first ${found.nodes[0].target.join(' ')}`);
}

const openEveryDisk = (page) => page.evaluate(() => {
  for (const section of document.querySelectorAll('details')) section.open = true;
});


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
        // A collection: its progress and Cancel while its first image waits
        // (the engine held), then its table with a row open.
        await page.evaluate(() => { soundcutPage.inTurn(() => new Promise((go) => { window.letGoFirst = go; })); });
        await page.setInputFiles('#image', [sample, image('gap'), notes]);
        if (await page.isHidden('#cancel')) found.push('collection starting: no Cancel to be seen');
        for (const violation of await violations(page)) found.push(`collection starting: ${violation}`);
        await page.evaluate(() => { soundcutPage.inTurn(() => new Promise((go) => { window.letGoSecond = go; })); });
        await page.evaluate(() => window.letGoFirst());
        await page.waitForFunction(() => document.querySelectorAll('#collection-rows tr').length === 3);
        for (const violation of await violations(page)) found.push(`collection being read: ${violation}`);
        await page.evaluate(() => window.letGoSecond());
        await page.waitForFunction(() => document.body.dataset.collection === 'finished');
        await page.click('#collection-rows tr:nth-child(2) button');
        await page.waitForFunction(() => document.body.dataset.state === 'done');
        await openEveryDisk(page);
        for (const violation of await violations(page)) found.push(`collection, a row open: ${violation}`);
        await page.close();
        assert.deepEqual(found, []);
      });
    }
  }

  // In a browser that does not reflect ARIA as properties (Firefox ESR
  // 115): the roles, labels and live regions must be there all the same.
  const withoutAriaProperties = () => {
    for (const name of ['role', 'ariaLabel', 'ariaLive', 'ariaHidden']) delete Element.prototype[name];
  };

  test('by keyboard alone: the file button, the zip, and a map cell\'s details', async () => {
    const page = await openPage(browser, { locale: 'en-US' }, withoutAriaProperties);
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
    // Asked for long before the key, so that the browser hands the chooser
    // over however busy the machine is.
    const chooser = page.waitForEvent('filechooser');
    await tabTo((at) => at.id === 'image');
    await page.keyboard.press('Space');
    await (await chooser).setFiles(sample);
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
    assert.deepEqual(await page.evaluate(() => [document.querySelector('.disk[open] .map').getAttribute('aria-label'),
      document.querySelector('.disk[open] .cellinfo').getAttribute('aria-live')]),
    ['Map of disk 0: tracks as rows, records in recorded order', 'polite']);
    // A click moves the map's one Tab stop as the keys do.
    await page.click('.disk[open] .row[data-track="3"] [role="gridcell"]');
    await page.keyboard.press('ArrowRight');
    assert.deepEqual(await page.$$eval('.disk[open] [tabindex="0"]', (cells) =>
      cells.map((stop) => stop === document.activeElement)), [true]);
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
        await page.setInputFiles('#image', [sample, image('gap'), notes]);
        await page.waitForFunction(() => document.body.dataset.collection === 'finished');
        const tableSideways = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
        assert.ok(tableSideways <= 0, `${name} ${colorScheme}: a collection's table scrolls sideways by ${tableSideways} px`);
        await page.screenshot({ path: join(screenshots, `collection-${name}-${colorScheme}.png`), fullPage: true });
        await page.close();
      }
    }
    const page = await openPage(browser, { locale: 'en-US', viewport: { width: 1280, height: 900 } });
    await choose(page, image('gap'));
    const session = await page.context().newCDPSession(page);
    for (const type of ['protanopia', 'deuteranopia', 'tritanopia']) {
      await session.send('Emulation.setEmulatedVisionDeficiency', { type });
      await page.locator('.disk[open] .map').screenshot({ path: join(screenshots, `gap-map-${type}.png`) });
    }
    await page.close();
    console.log(`screenshots: ${screenshots}`);
  });

  // The four regions' cells, and their gaps, as the page's style colours
  // them, light and dark: seen with each deficiency, every two of a kind
  // differ by at least ΔE 10 (CIE76, in CIELAB).
  test('the region colours stay apart under protanopia, deuteranopia and tritanopia', async () => {
    const found = [];
    for (const colorScheme of ['light', 'dark']) {
      const page = await openPage(browser, { colorScheme });
      const kinds = await page.evaluate(() => {
        const colourOf = (className, property) => {
          const probe = document.body.appendChild(document.createElement('span'));
          probe.className = className;
          const colour = getComputedStyle(probe)[property];
          probe.remove();
          return colour;
        };
        return {
          cells: [0, 1, 2, 3].map((index) => colourOf(`cell r${index}`, 'backgroundColor')),
          gaps: [0, 1, 2, 3].map((index) => colourOf(`cell gap r${index}`, 'borderTopColor')),
        };
      });
      await page.close();
      for (const [type, matrix] of Object.entries(Deficiencies)) {
        for (const [kind, colours] of Object.entries(kinds)) {
          const seen = colours.map((colour) => lab(simulate(linearRgb(colour), matrix)));
          for (let a = 0; a < 4; ++a) {
            for (let b = a + 1; b < 4; ++b) {
              const difference = Math.hypot(...seen[a].map((value, i) => value - seen[b][i]));
              if (difference < 10) found.push(`${colorScheme} ${type}: ${kind} of regions ${a + 1} and ${b + 1}, ΔE ${difference.toFixed(1)}`);
            }
          }
        }
      }
    }
    assert.deepEqual(found, []);
  });
});
