// The page of soundcut's browser edition: it hands each image the user
// chooses or drops to the engine (engine.js) and shows what came back
// (result.js); several images, or folders of them, are read in turn into a
// table (collection_table.js), each row opening its own result. Nothing
// leaves the computer: the page's policy forbids every network connection.
import { $ } from './dom.js';
import { csvOf, drawRow, drawTable } from './collection_table.js';
import { filesChosen, gatherDropped, takeDrop } from './dropped.js';
import { startEngine } from './engine.js';
import { clearResult, showFailure, showListing, showResult } from './result.js';
import { languageShown, switchLanguage, text } from './texts.js';

const MiB = 1024 * 1024;
const MaxImageBytes = 256 * MiB;
// An image larger than this takes seconds: the status names each stage.
const StagesShownFrom = 16 * MiB;

// What the page shows, and all that it draws from, so that the other
// language draws exactly the same: the state of the image chosen or opened
// last (loading, ready, working, done, failed, too-large; collection while
// a collection's table stands with no row open), its name, its row if it
// was opened from a table, the stage of its run, and its result and whole
// listing, or why there is none; and whether a drop since held nothing to
// read (which changes nothing else).
let shown = { state: 'loading' };
// The result shown and its image, if any (the tests read the result).
let lastResult = null;
let lastFile = null;
// The image chosen last: only its run is shown.
let chosen = null;

function applyTexts() {
  document.documentElement.lang = languageShown();
  for (const node of document.querySelectorAll('[data-text]')) node.textContent = text()[node.dataset.text];
  $('lang').textContent = text().lang;
  render();
  drawCollection();
}

// The verdicts under which nothing of the file was taken for a disk.
const ErrorVerdicts = ['empty', 'not_d88_image', 'read_failed', 'not_run'];

function stateShown() {
  if (['failed', 'too-large'].includes(shown.state)) return 'error';
  if (shown.state === 'done') return ErrorVerdicts.includes(shown.result.outcome.verdict) ? 'error' : 'done';
  return shown.state;
}

// A failure in words for a person: its kind where that tells something,
// and its message; never a stack.
const reasonOf = (error) => {
  if (!error || !error.message) return String(error);
  return error.name && error.name !== 'Error' ? `${error.name}: ${error.message}` : error.message;
};

// What a collection's row keeps of a run's outcome, as the module decided
// it: the verdict, the disks recognised as disk A, and for each file the
// disk its bytes came from and their SHA-256, or null.
const summaryOf = ({ outcome }) => ({
  verdict: outcome.verdict,
  recognised: outcome.recognised,
  sources: outcome.files.map((file) => file.from),
  digests: outcome.files.map((file) => file.sha256),
});

function renderStatus() {
  document.body.dataset.state = stateShown();
  if (shown.nothingFound) {
    $('status').textContent = text().nothingFound;
    return;
  }
  $('status').textContent = {
    loading: () => text().loading,
    ready: () => text().ready,
    working: () => (shown.stage ? text().stage(shown.name, shown.stage) : text().working(shown.name)),
    done: () => text().done(shown.name, shown.ms),
    failed: () => `${text().failed(shown.name)} ${shown.error}`,
    'too-large': () => text().tooLarge,
    collection: () => text().collection,
  }[shown.state]();
}

function render() {
  renderStatus();
  if (shown.result) {
    showResult(shown.result, shown.row ? zipNameOf(shown.row.path) : 'soundcut.zip');
  } else {
    clearResult();
    if (shown.state === 'failed') showFailure(text().failed(shown.name), shown.error);
  }
  showListing(shown.listing);
  for (const row of document.querySelectorAll('#collection-rows [aria-current]')) row.removeAttribute('aria-current');
  if (shown.row && shown.row.element) shown.row.element.setAttribute('aria-current', 'true');
}

function show(state) {
  if (shown.listing && shown.listing.url) URL.revokeObjectURL(shown.listing.url);
  shown = state;
  lastResult = state.result || null;
  lastFile = lastResult ? state.file : null;
  render();
}

// An image's zip is named after it: its name without the last extension.
const zipNameOf = (path) => {
  const name = path.slice(path.lastIndexOf('/') + 1);
  return `${name.replace(/\.[^.]*$/, '') || name}.zip`;
};

// ---- Reading an image ----

let runImage = null;
// Every request to the engine waits its turn here: image after image, and
// a whole listing asked for meanwhile.
let busy = Promise.resolve();
const inTurn = (job) => {
  busy = busy.then(job, job);
  return busy;
};

// The engine's run of an image, in its turn's hands: null where the file
// is too large to be one. `onStage` hears each stage, reading it first,
// for an image large enough to take seconds.
async function runOf(file, onStage) {
  if (file.size > MaxImageBytes) return null;
  const stage = file.size > StagesShownFrom ? onStage : () => {};
  stage('reading');
  const bytes = new Uint8Array(await file.arrayBuffer());
  return (await runImage).run(bytes, stage);
}

// Time for the status to be drawn before a long step.
const drawn = () => new Promise((go) => setTimeout(go, 20));

// Reads an image and shows its result; opened from a table's row, the row
// takes what this run found. Nothing of the image before stays from the
// moment another is chosen.
function openImage(file, name, row = null) {
  const token = {};
  chosen = token;
  show({ state: 'working', name, row });
  return inTurn(() => openNow(token, file, name, row));
}

async function openNow(token, file, name, row) {
  if (token !== chosen) return;  // another image was chosen while this one waited
  const started = performance.now();
  const onStage = (stage) => {
    if (token !== chosen) return;
    shown.stage = stage;
    renderStatus();
  };
  try {
    const result = await runOf(file, onStage);
    if (token !== chosen) return;
    if (!result) {
      if (row) settle(row, { verdict: 'too-large' });
      show({ state: 'too-large', name, row });
      return;
    }
    if (row) settle(row, summaryOf(result));
    document.body.dataset.runMs = (performance.now() - started).toFixed(1);
    const t = result.timings;
    document.body.dataset.timings = `soundcut ${(t.soundcut - t.start).toFixed(0)} ms, d88list ${(t.d88list - t.soundcut).toFixed(0)} ms, map ${(t.map - t.d88list).toFixed(0)} ms, fresh instances ${t.instances.toFixed(1)} ms`;
    document.body.dataset.mapBytes = result.mapBytes;
    if (file.size > StagesShownFrom) {
      onStage('drawing');
      await drawn();
      if (token !== chosen) return;
    }
    show({ state: 'done', name, file, result, row, ms: Math.round(performance.now() - started) });
  } catch (error) {
    // The page stays usable: the next image gets a fresh start.
    if (token !== chosen) return;
    if (row) settle(row, { verdict: 'failed', error: reasonOf(error) });
    show({ state: 'failed', name, error: reasonOf(error), row });
  }
}

// ---- A collection: many images, read in turn into a table ----

// The collection whose table stands: its rows in the order given, those
// still to read, the one being read and its stage, whether it runs, was
// cancelled or failed (no game's facts, so no table), and those facts.
// A row keeps its file, path, size,
// verdict, recognised disks and sources, never the run's result: opening
// a row reads its image again.
let collection = null;
let gameFacts = null;

const factsInTurn = () => {
  gameFacts = gameFacts || inTurn(async () => (await runImage).facts());
  gameFacts.catch(() => { gameFacts = null; });  // asked again next time
  return gameFacts;
};

// What the user handed over at once: several images, or any folder, make
// or join a collection; one image alone is read as it always was.
function take(found, folders) {
  shown.nothingFound = found.length === 0;
  renderStatus();
  if (found.length === 0) return;
  if (collection && collection.running && !collection.cancelled) {
    addRows(collection, found);
    return;
  }
  if (found.length === 1 && !folders && found[0].file) {
    endCollection();
    openImage(found[0].file, found[0].path);
    return;
  }
  startCollection(found);
}

function endCollection() {
  if (collection) collection.cancelled = true;
  collection = null;
  drawCollection();
}

function startCollection(found) {
  endCollection();
  chosen = null;
  show({ state: 'collection' });
  const made = { rows: [], queue: [], current: null, stage: null, running: true, cancelled: false, failure: null,
    facts: null };
  collection = made;
  document.body.dataset.collection = 'running';
  addRows(made, found);
  drawCollection();
  runCollection(made);
}

// Rows for what was handed over, drawn as soon as the table can be; what
// could not even be found is settled at once.
function addRows(into, found) {
  for (const { file, path, error, limit } of found) {
    const row = { file, path, size: file ? file.size : 0, number: into.rows.length + 1, verdict: 'waiting',
      recognised: [], sources: [], digests: [], error: null, limit: null };
    into.rows.push(row);
    if (into.facts) drawRow(row, into.facts, openRow);
    if (file) into.queue.push(row);
    else settle(row, { verdict: 'failed', error: error || null, limit: limit || null });
  }
  drawProgress(into);
}

// A row takes a run's summary and is drawn again.
function settle(row, summary) {
  const owner = collection && collection.rows[row.number - 1] === row ? collection : null;
  Object.assign(row, { recognised: [], sources: [], digests: [], error: null, limit: null }, summary);
  if (owner && owner.facts) drawRow(row, owner.facts, openRow);
  if (owner) drawProgress(owner);
}

// What became of a collection's rows, counted for its progress line: read
// (each with a verdict of the module's), too large, could not be read (nor
// found, in a folder's walk) and cancelled.
const NotReadVerdicts = { 'too-large': 'tooLarge', failed: 'failed', read_failed: 'failed', not_run: 'failed',
  cancelled: 'cancelled' };
function countsOf(made) {
  const counts = { all: made.rows.length, read: 0, tooLarge: 0, failed: 0, cancelled: 0 };
  for (const row of made.rows) {
    const notRead = NotReadVerdicts[row.verdict];
    counts[notRead || 'read'] += 1;
  }
  return counts;
}

async function runCollection(made) {
  try {
    made.facts = await factsInTurn();
  } catch (error) {
    // No table can be drawn: the line says why.
    made.failure = reasonOf(error);
    for (const row of made.queue.splice(0)) settle(row, { verdict: 'failed', error: made.failure });
  }
  if (made !== collection) return;
  drawCollection();
  while (made.queue.length > 0 && !made.cancelled) {
    const row = made.queue.shift();
    made.current = row;
    made.stage = null;
    drawProgress(made);
    await inTurn(() => readRow(made, row));
  }
  made.current = null;
  made.running = false;
  for (const row of made.queue.splice(0)) settle(row, { verdict: 'cancelled' });
  if (made !== collection) return;
  document.body.dataset.collection = made.cancelled ? 'cancelled' : 'finished';
  drawProgress(made);
}

// A row's image, read for its summary alone: its result is dropped at once.
async function readRow(made, row) {
  if (made !== collection) return;
  try {
    const result = await runOf(row.file, (stage) => {
      made.stage = stage;
      drawProgress(made);
    });
    settle(row, result ? summaryOf(result) : { verdict: 'too-large' });
  } catch (error) {
    settle(row, { verdict: 'failed', error: reasonOf(error) });
  }
}

function openRow(row) {
  if (!row.file) return;  // nothing was found to read
  if (shown.row === row && shown.state !== 'failed') return;  // shown already, or being read
  openImage(row.file, row.path, row);
}

function drawProgress(made) {
  if (made !== collection) return;
  const progress = $('progress');
  progress.max = Math.max(1, made.rows.length);
  progress.value = made.rows.length - made.queue.length - (made.current ? 1 : 0);
  let line;
  if (made.current) {
    line = text().progress(made.current.number, made.rows.length, made.current.path);
    if (made.stage) line += ` (${text().stages[made.stage]})`;
  } else if (made.running) {
    line = text().loading;
  } else if (made.failure) {
    line = text().progressFailed(made.failure);
  } else {
    line = text().progressEnd(countsOf(made), made.cancelled);
  }
  $('progress-line').textContent = line;
  $('cancel').hidden = !made.running;
  $('cancel').disabled = made.cancelled;
  $('summary-download').hidden = !made.facts;
}

// The table as it stands, or none.
function drawCollection() {
  $('collection').hidden = !collection;
  if (!collection) {
    $('collection-table').replaceChildren();
    delete document.body.dataset.collection;
    return;
  }
  $('collection-region').setAttribute('aria-label', text().tableCaption);
  if (collection.facts) {
    drawTable(collection.facts);
    for (const row of collection.rows) drawRow(row, collection.facts, openRow);
  }
  drawProgress(collection);
}

$('cancel').addEventListener('click', () => {
  if (!collection || !collection.running) return;
  collection.cancelled = true;
  // The button goes: the focus goes to what says how far it got.
  $('progress-line').focus();
  drawProgress(collection);
});
// The summary is made when asked for, as the table then stands.
let summaryAddress = null;
$('summary-download').addEventListener('click', (event) => {
  if (summaryAddress) URL.revokeObjectURL(summaryAddress);
  summaryAddress = null;
  if (!collection || !collection.facts) {
    event.preventDefault();
    return;
  }
  summaryAddress = URL.createObjectURL(new Blob([csvOf(collection.rows, collection.facts)], { type: 'text/csv' }));
  $('summary-download').href = summaryAddress;
});

// ---- Choosing and dropping ----

// Each choice or drop is counted: a drop whose folders took long to read
// is forgotten if anything was handed over since.
let handedOver = 0;
for (const [id, folders] of [['image', false], ['folder', true]]) {
  $(id).addEventListener('change', (event) => {
    handedOver += 1;
    const found = filesChosen(event.target.files);
    event.target.value = '';
    // An empty folder says so; no file chosen (a closed dialog) says nothing.
    if (found.length > 0 || folders) take(found, folders);
  });
}
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dragging');
  const taken = takeDrop(event.dataTransfer);
  // A drop of nothing (text, say) only says so: a walk under way goes on.
  if (!taken.entries && taken.files.length === 0) {
    take([], false);
    return;
  }
  const drop = ++handedOver;
  gatherDropped(taken, () => drop === handedOver).then(({ found, folders }) => {
    if (drop === handedOver) take(found, folders);
  });
});
// The whole listing of the image shown is made when asked for, in its
// turn (after any image being read), then downloaded.
// A click while it is being made asks for nothing more.
let listingBeingMade = null;
$('listing-download').addEventListener('click', (event) => {
  if (shown.listing && shown.listing.url) return;  // made: the link downloads it
  event.preventDefault();
  const file = lastFile;
  if (!file || listingBeingMade === file) return;
  listingBeingMade = file;
  inTurn(async () => {
    let listing;
    try {
      const engine = await runImage;
      const made = await engine.listing(new Uint8Array(await file.arrayBuffer()));
      listing = { ...made, url: URL.createObjectURL(made.blob) };
    } catch (error) {
      listing = { error: reasonOf(error) };
    }
    if (listingBeingMade === file) listingBeingMade = null;
    if (file !== lastFile) {  // another image is shown by now
      if (listing.url) URL.revokeObjectURL(listing.url);
      return;
    }
    shown.listing = listing;
    showListing(listing);
    if (listing.url) $('listing-download').click();
  });
});
$('lang').addEventListener('click', () => {
  switchLanguage();
  applyTexts();
});

// What the tests read of the page, and the one thing they do with it.
window.soundcutPage = {
  get lastResult() { return lastResult; },
  inTurn,
};

applyTexts();
runImage = startEngine();
runImage.then(() => {
  document.body.dataset.readyMs = performance.now().toFixed(1);  // since navigation began
  if (shown.state === 'loading') show({ state: 'ready' });
});
