// A collection's table: one row per image, in the order given, with its
// path, size, verdict, the disks recognised as disk A and, for each file,
// the disk its bytes came from; and the same cells as CSV, so that the
// download says exactly what the table shows. A row's name opens its
// result.
import { $, element } from './dom.js';
import { text } from './texts.js';

const headersOf = (facts) => {
  const columns = text().columns;
  return [columns.name, columns.size, columns.verdict, columns.disks, ...facts.regions.map((region) => region.file)];
};

// A row's cells as text. A row not read (yet) has no disks or sources.
function cellsOf(row, facts) {
  const verdict = text().verdicts[row.verdict];
  const source = (from) => (from === null || from === undefined ? text().none : text().fromDisk(from));
  return [
    row.path,
    row.file ? String(row.size) : text().none,
    row.error ? `${verdict}: ${row.error}` : verdict,
    row.recognised.length > 0 ? row.recognised.join(', ') : text().none,
    ...facts.regions.map((_, index) => source(row.sources[index])),
  ];
}

// The table's caption and head, its rows gone.
export function drawTable(facts) {
  const head = element('tr', {}, headersOf(facts).map((header) => element('th', { textContent: header }, [], { scope: 'col' })));
  $('collection-table').replaceChildren(
    element('caption', { id: 'collection-caption', textContent: text().tableCaption }),
    element('thead', {}, [head]),
    element('tbody', { id: 'collection-rows' }),
  );
}

// Draws a row, or draws it again as it now stands; its name is a button
// that opens it once it has been read.
export function drawRow(row, facts, open) {
  const [name, ...rest] = cellsOf(row, facts);
  const button = element('button', { type: 'button', className: 'open', textContent: name,
    disabled: row.verdict === 'waiting' });
  button.addEventListener('click', () => open(row));
  const cells = [element('th', {}, [button], { scope: 'row' }), ...rest.map((cell) => element('td', { textContent: cell }))];
  if (row.element) {
    row.element.replaceChildren(...cells);
  } else {
    row.element = element('tr', {}, cells);
    $('collection-rows').append(row.element);
  }
  row.element.dataset.verdict = row.verdict;
}

// A cell a spreadsheet would run as a formula is kept as text.
const csvCell = (cell) => {
  const safe = /^[=+\-@\t\r]/.test(cell) ? `'${cell}` : cell;
  return /[",\r\n]/.test(safe) ? `"${safe.replace(/"/g, '""')}"` : safe;
};

// The table as CSV, UTF-8 with its byte-order mark (spreadsheets read the
// Japanese texts and names right with it).
export function csvOf(rows, facts) {
  const lines = [headersOf(facts), ...rows.map((row) => cellsOf(row, facts))];
  return `\uFEFF${lines.map((cells) => cells.map(csvCell).join(',')).join('\r\n')}\r\n`;
}
