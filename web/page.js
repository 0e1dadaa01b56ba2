// The page of soundcut's browser edition: it hands each image the user
// chooses or drops to the engine (engine.js) and shows what came back
// (result.js); several images, or folders of them, make a collection
// (collection.js), read in turn into a table, each row opening its own
// result. Nothing leaves the computer: the page's policy forbids every
// network connection.
import { $ } from './dom.js';
import { makeCollections, summaryOf } from './collection.js';
import { filesChosen, gatherDropped, takeDrop } from './dropped.js';
import { reasonOf, startEngine } from './engine.js';
import { clearResult, showFailure, showListing, showResult } from './result.js';
import { languageShown, switchLanguage, text } from './texts.js';

const MiB = 1024 * 1024;
const MaxImageBytes = 256 * MiB;
// An image larger than this takes seconds: the status names each stage.
const StagesShownFrom = 16 * MiB;

// What the page shows, and all that it draws from, so that the other
// language draws exactly the same: the state of the image chosen or opened
// last (loading, ready, working, done, failed, too-large; collection while
// a collection's table stands with no row open), its name, its file, its
// row if it was opened from a table, the stage of its run, and its result
// and whole listing, or why there is none; and whether a drop since held
// nothing to read (which changes nothing else).
let shown = { state: 'loading' };
// The image chosen last: only its run is shown.
let chosen = null;
// The result shown, if any (the tests read it), and its image.
const lastResult = () => shown.result || null;
const lastFile = () => (shown.result ? shown.file : null);

function applyTexts() {
  document.documentElement.lang = languageShown();
  for (const node of document.querySelectorAll('[data-text]')) node.textContent = text()[node.dataset.text];
  $('lang').textContent = text().lang;
  render();
  collections.draw();
}

// The verdicts under which nothing of the file was taken for a disk.
const ErrorVerdicts = ['empty', 'not_d88_image', 'read_failed', 'not_run'];

function stateShown() {
  if (['failed', 'too-large'].includes(shown.state)) return 'error';
  if (shown.state === 'done') return ErrorVerdicts.includes(shown.result.outcome.verdict) ? 'error' : 'done';
  return shown.state;
}

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
  collections.opening();
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
      if (row) collections.settle(row, { verdict: 'too-large' });
      show({ state: 'too-large', name, row });
      return;
    }
    if (row) collections.settle(row, summaryOf(result.outcome));
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
    if (row) collections.settle(row, { verdict: 'failed', error: reasonOf(error) });
    show({ state: 'failed', name, error: reasonOf(error), row });
  }
}

// ---- A collection: many images, read in turn into a table ----

const collections = makeCollections({
  engine: () => runImage,
  inTurn,
  openRow(row) {
    if (!row.file) return;  // nothing was found to read
    if (shown.row === row && shown.state !== 'failed') return;  // shown already, or being read
    openImage(row.file, row.path, row);
  },
  started() {
    chosen = null;
    show({ state: 'collection' });
  },
  maxImageBytes: MaxImageBytes,
  stagesFrom: StagesShownFrom,
  reasonOf,
});

// What the user handed over at once: several images, or any folder, make
// or join a collection; one image alone is read as it always was.
function take(found, folders) {
  shown.nothingFound = found.length === 0;
  renderStatus();
  if (found.length === 0) return;
  if (collections.running) {
    collections.join(found);
    return;
  }
  if (found.length === 1 && !folders && found[0].file) {
    collections.end();
    openImage(found[0].file, found[0].path);
    return;
  }
  collections.start(found);
}

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
  const file = lastFile();
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
    if (file !== lastFile()) {  // another image is shown by now
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
  get lastResult() { return lastResult(); },
  inTurn,
};

// The engine's worker starts first: it decodes and compiles the module
// while the page draws itself. The page takes files from here on: one
// chosen or dropped before the engine is ready waits for it, and one chosen
// before this script ran is taken now.
applyTexts();
document.body.dataset.takesFilesMs = performance.now().toFixed(1);  // since navigation began
runImage = new Promise((parsed) => {
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', parsed, { once: true });
  else parsed();
}).then(startEngine);
for (const id of ['image', 'folder']) if ($(id).files.length > 0) $(id).dispatchEvent(new Event('change'));
runImage.then(() => {
  document.body.dataset.readyMs = performance.now().toFixed(1);
  if (shown.state === 'loading') show({ state: 'ready' });
});
