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
  const why = row.limit ? text().limits[row.limit] : row.error;
  const source = (from) => (from === null || from === undefined ? text().none : text().fromDisk(from));
  return [
    row.path,
    row.file ? String(row.size) : text().none,
    why ? `${verdict}: ${why}` : verdict,
    row.recognised.length > 0 ? row.recognised.join(', ') : text().none,
    ...facts.regions.map((_, index) => source(row.sources[index])),
  ];
}

// The table's caption and head, in the language shown; its body, for the
// rows, made once.
export function drawTable(facts) {
  if (!$('collection-rows')) {
    $('collection-table').replaceChildren(element('caption'), element('thead', {}, [element('tr')]),
      element('tbody', { id: 'collection-rows' }));
  }
  const table = $('collection-table');
  table.caption.textContent = text().tableCaption;
  table.tHead.rows[0].replaceChildren(...headersOf(facts).map((header) =>
    element('th', { textContent: header }, [], { scope: 'col' })));
}

// Draws a row, or draws it again as it now stands, in place (a button
// with the focus keeps it); its name is a button that opens it once it has
// been read, where there is something to read.
export function drawRow(row, facts, open) {
  const [name, ...rest] = cellsOf(row, facts);
  if (!row.element) {
    const button = element('button', { type: 'button', className: 'open' });
    button.addEventListener('click', () => open(row));
    row.element = element('tr', {}, [element('th', {}, [button], { scope: 'row' }), ...rest.map(() => element('td'))]);
    $('collection-rows').append(row.element);
  }
  const [head, ...cells] = row.element.children;
  Object.assign(head.firstChild, { textContent: name, disabled: row.verdict === 'waiting' || !row.file });
  cells.forEach((cell, index) => { cell.textContent = rest[index]; });
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
