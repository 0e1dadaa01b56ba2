// The map of one disk: its tracks as rows, their records in recorded
// order, the boot sector and the four regions marked (by colour and by a
// mark of their own), and every sector a region needs but the disk lacks
// as a gap. The map is a grid: one tab stop, arrow keys inside it, and the
// focused cell's details shown as hovering shows them. Each region's
// sectors are also listed as text. What the map shows comes from the
// image's document (the one d88list --json writes), its marks and region
// order from the game's facts: both as the module gives them.
import { element } from './dom.js';
import { text } from './texts.js';

const hex2 = (value) => value.toString(16).toUpperCase().padStart(2, '0');
const idText = (c, h, r, n) => [c, h, r, n].map(hex2).join('/');
// A region's colour is that of its place in the facts' order (r0-r3); its
// mark, and the boot sector's, show in its cells and the legend, as the
// colours alone would not tell every reader the regions apart.
const regionIndexOf = (facts, file) => facts.regions.findIndex((region) => region.file === file);

export function legend(facts) {
  const swatch = (className, mark, label) =>
    element('span', {}, [element('span', { className: `cell ${className}`, textContent: mark }, [], { 'aria-hidden': 'true' }), label]);
  return element('p', { className: 'legend' }, [
    ...facts.regions.map((region, index) => swatch(`r${index}`, region.mark, region.file)),
    swatch('boot', facts.boot_mark, text().legendBoot),
    swatch('gap r0', '!', text().legendGap),
  ]);
}

// One line per region: its sectors in the order read, each with its state.
export function regionSectorLines(disk, facts) {
  return element('ul', { className: 'region-sectors' }, (disk.regions || []).map((region) =>
    element('li', { textContent: text().regionSectors(region.file, facts.regions[regionIndexOf(facts, region.file)].mark,
      region.sectors.map(({ c, h, r, state }) => `C${c} H${h} R${r} (${text().sectorStates[state]})`).join(', ')) })));
}

function gapsByTrackOf(disk, facts) {
  const gaps = new Map();
  for (const region of disk.regions || []) {
    const index = regionIndexOf(facts, region.file);
    for (const { track, c, h, r, n, state } of region.sectors) {
      if (state === 'ok') continue;
      if (!gaps.has(track)) gaps.set(track, []);
      gaps.get(track).push({ track, file: region.file, index, mark: facts.regions[index].mark, state, id: idText(c, h, r, n) });
    }
  }
  return gaps;
}

// A cell of the grid: `info` shows on hover and focus, and a screen reader
// says it, after the cell's own text where that is not already in it.
const gridCell = (className, textContent, info, spoken = info) =>
  element('span', { className, textContent, title: info, tabIndex: -1 }, [], { role: 'gridcell', 'aria-label': spoken });

function mapRow(number, track, gaps, facts) {
  const row = element('div', { className: 'row' },
    [element('b', { textContent: `${text().track} ${number}` }, [], { role: 'rowheader' })], { role: 'row' });
  row.dataset.track = number;
  const more = (count) => gridCell('cell more', text().more(count), text().moreInfo(count));
  let shownUpTo = 0;
  for (const { at: position, c, h, r, n, data_size: size, mark = '' } of track.records) {
    if (position > shownUpTo) row.append(more(position - shownUpTo));
    const boot = mark === facts.boot_mark;
    const index = facts.regions.findIndex((candidate) => candidate.mark === mark);
    // The name a screen reader gives begins with the mark the cell shows.
    const region = boot ? `${mark} ${text().legendBoot}` : index >= 0 ? `${mark} ${facts.regions[index].file}` : '';
    const info = text().cellInfo({ track: number, position, id: idText(c, h, r, n), size, region });
    const className = boot ? 'cell boot' : index >= 0 ? `cell r${index}` : 'cell';
    row.append(gridCell(className, mark, info));
    shownUpTo = position + 1;
  }
  if (track.count > shownUpTo) row.append(more(track.count - shownUpTo));
  for (const gap of gaps) {
    const shown = `!${gap.mark}`;
    row.append(gridCell(`cell gap r${gap.index}`, shown, text().gapInfo(gap), `${shown} ${text().gapInfo(gap)}`));
  }
  return row;
}

// Arrow keys move the focus cell by cell along a row and to the row above
// or below; Home and End go to a row's ends.
function moveFocus(map, cell, key) {
  const row = cell.parentElement;
  const cells = (of) => [...of.querySelectorAll('[role="gridcell"]')];
  const here = cells(row).indexOf(cell);
  let target = null;
  if (key === 'ArrowRight') target = cells(row)[here + 1];
  if (key === 'ArrowLeft') target = cells(row)[here - 1];
  if (key === 'Home') target = cells(row)[0];
  if (key === 'End') target = cells(row).at(-1);
  if (key === 'ArrowDown' || key === 'ArrowUp') {
    const next = key === 'ArrowDown' ? row.nextElementSibling : row.previousElementSibling;
    if (next) target = cells(next)[Math.min(here, cells(next).length - 1)];
  }
  if (!target) return false;
  target.focus();
  return true;
}

export function diskMap(disk, facts) {
  const gaps = gapsByTrackOf(disk, facts);
  const tracks = new Map(disk.tracks.map((track) => [track.index, track]));
  const numbers = [...new Set([...tracks.keys(), ...gaps.keys()])].sort((a, b) => a - b);
  const rows = numbers.map((number) =>
    mapRow(number, tracks.get(number) || { count: 0, records: [] }, gaps.get(number) || [], facts));
  const map = element('div', { className: 'map' }, rows, { role: 'grid', 'aria-label': text().mapLabel(disk.index) });
  const info = element('p', { className: 'cellinfo' }, [], { 'aria-live': 'polite' });
  const first = map.querySelector('[role="gridcell"]');
  if (first) first.tabIndex = 0;
  // What hovering shows, for a tap and for the keyboard's focus.
  const show = (event) => {
    if (event.target.getAttribute('role') === 'gridcell') info.textContent = event.target.title;
  };
  // The map's one Tab stop is the cell focused last, however it got the
  // focus (a click focuses a cell too).
  const takeTabStop = (event) => {
    const cell = event.target;
    if (cell.getAttribute('role') !== 'gridcell' || cell.tabIndex === 0) return;
    for (const other of map.querySelectorAll('[role="gridcell"][tabindex="0"]')) other.tabIndex = -1;
    cell.tabIndex = 0;
  };
  map.addEventListener('click', show);
  map.addEventListener('focusin', (event) => {
    takeTabStop(event);
    show(event);
  });
  map.addEventListener('keydown', (event) => {
    if (event.target.getAttribute('role') === 'gridcell' && moveFocus(map, event.target, event.key)) event.preventDefault();
  });
  return element('div', {}, [map, info]);
}
