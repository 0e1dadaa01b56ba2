// The page of soundcut's browser edition: it hands each image the user
// chooses or drops to the engine (engine.js) and shows what came back
// (result.js). Nothing leaves the computer: the page's policy forbids
// every network connection.
import { $ } from './dom.js';
import { startEngine } from './engine.js';
import { verdictOf } from './report.js';
import { clearResult, showFailure, showListing, showResult } from './result.js';
import { languageShown, switchLanguage, text } from './texts.js';

const MaxImageBytes = 256 * 1024 * 1024;

// What the page shows, and all that it draws from, so that the other
// language draws exactly the same: the state of the image chosen last
// (loading, ready, working, done, failed or too-large), its name, and its
// result and whole listing, or why there is none.
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
}

function stateShown() {
  if (shown.state === 'failed' || shown.state === 'too-large') return 'error';
  if (shown.state === 'done') return ['empty', 'not-d88'].includes(verdictOf(shown.result)) ? 'error' : 'done';
  return shown.state;
}

function render() {
  document.body.dataset.state = stateShown();
  $('status').textContent = {
    loading: () => text().loading,
    ready: () => text().ready,
    working: () => text().working(shown.name),
    done: () => text().done(shown.name, shown.ms),
    failed: () => `${text().failed(shown.name)} ${shown.error}`,
    'too-large': () => text().tooLarge,
  }[shown.state]();
  if (shown.result) {
    showResult(shown.result);
  } else {
    clearResult();
    if (shown.state === 'failed') showFailure(text().failed(shown.name), shown.error);
  }
  showListing(shown.listing);
}

function show(state) {
  if (shown.listing && shown.listing.url) URL.revokeObjectURL(shown.listing.url);
  shown = state;
  lastResult = state.result || null;
  lastFile = lastResult ? state.file : null;
  render();
}

// ---- Choosing an image ----

let runImage = null;
// Every request to the engine waits its turn here: image after image, and
// a whole listing asked for meanwhile.
let busy = Promise.resolve();
const inTurn = (job) => {
  busy = busy.then(job, job);
  return busy;
};

// Nothing of the image before stays from the moment another is chosen.
function processFile(file) {
  chosen = file;
  show({ state: 'working', name: file.name });
  return inTurn(() => processNow(file));
}

async function processNow(file) {
  if (file !== chosen) return;  // another image was chosen while this one waited
  const started = performance.now();
  try {
    if (file.size > MaxImageBytes) {
      show({ state: 'too-large', name: file.name });
      return;
    }
    const bytes = new Uint8Array(await file.arrayBuffer());
    const engine = await runImage;
    const result = await engine.run(bytes);
    if (file !== chosen) return;
    document.body.dataset.runMs = (performance.now() - started).toFixed(1);
    const t = result.timings;
    document.body.dataset.timings = `soundcut ${(t.soundcut - t.start).toFixed(0)} ms, d88list ${(t.d88list - t.soundcut).toFixed(0)} ms, map ${(t.map - t.d88list).toFixed(0)} ms, fresh instances ${t.instances.toFixed(1)} ms`;
    document.body.dataset.mapBytes = result.mapBytes;
    show({ state: 'done', name: file.name, file, result, ms: Math.round(performance.now() - started) });
  } catch (error) {
    // The page stays usable: the next image gets a fresh start.
    if (file === chosen) show({ state: 'failed', name: file.name, error: String(error) });
  }
}

$('image').addEventListener('change', (event) => {
  const [file] = event.target.files;
  if (file) processFile(file);
  event.target.value = '';
});
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dragging');
  const [file] = event.dataTransfer.files;
  if (file) processFile(file);
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
      listing = { error: String(error) };
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
