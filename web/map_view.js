// The map of one disk: its tracks as rows, their records in recorded
// order, the boot sector and the four regions marked, and every sector a
// region needs but the disk lacks as a gap.
'use strict';

const hex2 = (value) => value.toString(16).toUpperCase().padStart(2, '0');
const idText = (c, h, r, n) => [c, h, r, n].map(hex2).join('/');

function legend() {
  const swatch = (className, label) => element('span', {}, [element('span', { className: `cell ${className}` }), label]);
  return element('p', { className: 'legend' }, [
    ...OutputFiles.map((file, index) => swatch(`r${index}`, file)),
    swatch('boot', text().legendBoot),
    swatch('gap r0', `! ${text().legendGap}`),
  ]);
}

function diskMap(disk) {
  const gapsByTrack = new Map();
  (disk.regions || []).forEach((region, index) => {
    for (const [track, c, h, r, n, state] of region.sectors) {
      if (state === 'ok') continue;
      if (!gapsByTrack.has(track)) gapsByTrack.set(track, []);
      gapsByTrack.get(track).push({ track, file: region.file, index, state, id: idText(c, h, r, n) });
    }
  });
  const rows = [];
  const tracks = new Map(disk.tracks.map((track) => [track.t, track]));
  const trackNumbers = [...new Set([...tracks.keys(), ...gapsByTrack.keys()])].sort((a, b) => a - b);
  for (const number of trackNumbers) {
    const track = tracks.get(number) || { t: number, count: 0, cells: [] };
    const row = element('div', { className: 'row' }, [element('b', { textContent: `${text().track} ${number}` })]);
    row.dataset.track = number;
    let shownUpTo = 0;
    for (const [position, c, h, r, n, size, mark] of track.cells) {
      if (position > shownUpTo) row.append(element('span', { className: 'cell more', textContent: text().more(position - shownUpTo) }));
      const className = mark === 4 ? 'cell boot' : mark >= 0 ? `cell r${mark}` : 'cell';
      const cell = element('span', { className, title: text().cellInfo({ track: number, position, id: idText(c, h, r, n), size }) });
      row.append(cell);
      shownUpTo = position + 1;
    }
    if (track.count > shownUpTo) row.append(element('span', { className: 'cell more', textContent: text().more(track.count - shownUpTo) }));
    for (const gap of gapsByTrack.get(number) || []) {
      row.append(element('span', { className: `cell gap r${gap.index}`, textContent: '!', title: text().gapInfo(gap) }));
    }
    rows.push(row);
  }
  const map = element('div', { className: 'map' }, rows);
  // Tapping shows what hovering shows.
  map.addEventListener('click', (event) => {
    if (event.target.title) $('cellinfo').textContent = event.target.title;
  });
  return map;
}
