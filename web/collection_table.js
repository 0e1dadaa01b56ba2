// A collection's table: one row per image, with its path, size, verdict,
// the disks recognised as disk A, for each file the disk its bytes came
// from, and which other rows gave the same four files; sortable by each
// column and filtered by verdict. The same cells as CSV, with each file's
// SHA-256 beside them, so that the download says what the table shows. A
// row's name opens its result.
import { $, element } from './dom.js';
import { text } from './texts.js';

// How the table stands: the column it is sorted by (-1: in the order
// given) and which way, the verdict shown (null: every one), and the rows
// that gave the same four files, by their digests. Made afresh with each
// table.
let view = null;
const freshView = () => ({ column: -1, descending: false, verdict: null, groups: new Map(), rows: [] });

// The verdicts a user can show alone, in the order the filter lists them;
// "could not be read" shows the module's and the browser's alike.
const FilteredVerdicts = ['cut', 'partly_cut', 'no_disk_a', 'not_d88_image', 'empty', 'too-large', 'failed',
  'cancelled'];
const AlsoFailed = ['read_failed', 'not_run'];

const headersOf = (facts) => {
  const columns = text().columns;
  return [columns.name, columns.size, columns.verdict, columns.disks, ...facts.regions.map((region) => region.file),
    columns.same];
};

// The key of a row's four files, where it has all four.
const filesKeyOf = (row) => (row.digests && row.digests.length > 0 && row.digests.every(Boolean) ? row.digests.join(' ') : null);

// Which rows a row shares its files with: the first of them, in the order
// given, tells their number; each other names it.
function groupCell(row) {
  const group = row.groupKey ? view.groups.get(row.groupKey) : null;
  if (!group) return text().none;
  if (group.size === 1) return text().unique;
  return group.first === row ? text().firstOf(group.size) : text().sameAs(group.first.path);
}

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
    groupCell(row),
  ];
}

// ---- Order and filter ----

const collator = new Intl.Collator(undefined, { numeric: true });
// How two rows compare in a column: sizes as numbers, the rest as text,
// names naturally (disk2 before disk10); ties in the order given.
function compareIn(column, facts) {
  return (a, b) => {
    let order;
    if (column === 1) order = (a.file ? a.size : -1) - (b.file ? b.size : -1);
    else order = collator.compare(cellsOf(a, facts)[column], cellsOf(b, facts)[column]);
    if (view.descending) order = -order;
    return order || a.number - b.number;
  };
}

// The row each table row draws.
const rowOf = new WeakMap();

// Puts a row where the order wants it: a search among the others as they
// stand (in order already).
function place(row, facts) {
  const body = $('collection-rows');
  const others = [...body.rows].filter((element) => element !== row.element).map((element) => rowOf.get(element));
  const compare = view.column >= 0 ? compareIn(view.column, facts) : (a, b) => a.number - b.number;
  let [low, high] = [0, others.length];
  while (low < high) {
    const middle = (low + high) >> 1;
    if (compare(others[middle], row) < 0) low = middle + 1;
    else high = middle;
  }
  const before = low < others.length ? others[low].element : null;
  if (row.element.parentNode !== body || row.element.nextSibling !== before) body.insertBefore(row.element, before);
}

function sortBy(column, facts) {
  view.descending = view.column === column ? !view.descending : false;
  view.column = column;
  const ordered = view.rows.filter((row) => row.element);
  ordered.sort(compareIn(column, facts));
  $('collection-rows').append(...ordered.map((row) => row.element));
  drawHead(facts);
}

const shownBy = (row) => !view.verdict || row.verdict === view.verdict
  || (view.verdict === 'failed' && AlsoFailed.includes(row.verdict));

// ---- Drawing ----

function drawHead(facts) {
  const table = $('collection-table');
  table.caption.textContent = text().tableCaption;
  table.tHead.rows[0].replaceChildren(...headersOf(facts).map((header, column) => {
    const button = element('button', { type: 'button', className: 'sort', textContent: header });
    button.addEventListener('click', () => sortBy(column, facts));
    const sorted = view.column === column ? (view.descending ? 'descending' : 'ascending') : null;
    return element('th', {}, [button], sorted ? { scope: 'col', 'aria-sort': sorted } : { scope: 'col' });
  }));
}

function drawFilter() {
  const select = $('verdict-filter');
  select.replaceChildren(element('option', { value: '', textContent: text().everyVerdict }),
    ...FilteredVerdicts.map((verdict) => element('option', { value: verdict, textContent: text().verdicts[verdict] })));
  select.value = view.verdict || '';
}

// The table's caption, head and filter, in the language shown; its body,
// for the rows, made once with the table's view.
export function drawTable(facts) {
  if (!$('collection-rows')) {
    view = freshView();
    $('collection-table').replaceChildren(element('caption'), element('thead', {}, [element('tr')]),
      element('tbody', { id: 'collection-rows' }));
    $('verdict-filter').onchange = (event) => {
      view.verdict = event.target.value || null;
      for (const row of view.rows) if (row.element) row.element.hidden = !shownBy(row);
    };
  }
  drawHead(facts);
  drawFilter();
}

// A row's files joined to the rows with the same four, and taken from
// those it had before. A group keeps its first row and its size, so that a
// row joining it redraws itself and that first row alone; only a new first
// row (a row read again, or read out of turn) redraws every member.
function regroup(row, facts, open) {
  const key = filesKeyOf(row);
  if (row.groupKey === key) return;
  const changed = new Set();
  const members = (k) => view.rows.filter((other) => other.groupKey === k);
  const old = row.groupKey ? view.groups.get(row.groupKey) : null;
  const oldKey = row.groupKey;
  row.groupKey = key;
  if (old) {
    old.size -= 1;
    if (old.size === 0) {
      view.groups.delete(oldKey);
    } else if (old.first === row) {
      const rest = members(oldKey);
      old.first = rest.reduce((a, b) => (a.number < b.number ? a : b));
      rest.forEach((other) => changed.add(other));
    } else {
      changed.add(old.first);
    }
  }
  if (key) {
    const group = view.groups.get(key) || { first: row, size: 0 };
    view.groups.set(key, group);
    group.size += 1;
    if (row.number < group.first.number) {
      group.first = row;
      members(key).forEach((other) => changed.add(other));
    } else {
      changed.add(group.first);
    }
  }
  changed.delete(row);
  for (const other of changed) {
    if (!other.element) continue;
    drawCells(other, facts, open);
    if (view.column >= 0) place(other, facts);
  }
}

function drawCells(row, facts, open) {
  const [name, ...rest] = cellsOf(row, facts);
  if (!row.element) {
    const button = element('button', { type: 'button', className: 'open' });
    button.addEventListener('click', () => open(row));
    row.element = element('tr', {}, [element('th', {}, [button], { scope: 'row' }), ...rest.map(() => element('td'))]);
    rowOf.set(row.element, row);
  }
  const [head, ...cells] = row.element.children;
  Object.assign(head.firstChild, { textContent: name, disabled: row.verdict === 'waiting' || !row.file });
  cells.forEach((cell, index) => { cell.textContent = rest[index]; });
  row.element.dataset.verdict = row.verdict;
  row.element.hidden = !shownBy(row);
}

// Draws a row, or draws it again as it now stands, in place (a button
// with the focus keeps it) unless the order it is sorted in moves it; its
// name is a button that opens it once it has been read, where there is
// something to read.
export function drawRow(row, facts, open) {
  const isNew = !row.element;
  if (isNew) view.rows.push(row);
  regroup(row, facts, open);
  drawCells(row, facts, open);
  if (isNew || view.column >= 0) place(row, facts);
}

// A cell a spreadsheet would run as a formula is kept as text.
const csvCell = (cell) => {
  const safe = /^[=+\-@\t\r]/.test(cell) ? `'${cell}` : cell;
  return /[",\r\n]/.test(safe) ? `"${safe.replace(/"/g, '""')}"` : safe;
};

// The table as CSV, in the order given, every row, with each file's
// SHA-256 after the table's cells; UTF-8 with its byte-order mark
// (spreadsheets read the Japanese texts and names right with it).
export function csvOf(rows, facts) {
  const digestHeads = facts.regions.map((region) => text().digestColumn(region.file));
  const digestsOf = (row) => facts.regions.map((_, index) => (row.digests && row.digests[index]) || '');
  const lines = [[...headersOf(facts), ...digestHeads], ...rows.map((row) => [...cellsOf(row, facts), ...digestsOf(row)])];
  return `\uFEFF${lines.map((cells) => cells.map(csvCell).join(',')).join('\r\n')}\r\n`;
}
