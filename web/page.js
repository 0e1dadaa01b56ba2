// The page of soundcut's browser edition: it hands each image the user
// chooses or drops to the engine (engine.js) and shows what came back
// (result.js). Nothing leaves the computer: the page's policy forbids
// every network connection.
'use strict';

let lastResult = null;
let lastName = '';
let lastTime = 0;
let lastFile = null;

function applyTexts() {
  document.documentElement.lang = language;
  for (const node of document.querySelectorAll('[data-text]')) node.textContent = text()[node.dataset.text];
  $('lang').textContent = text().lang;
  const state = document.body.dataset.state;
  if (state === 'ready') $('status').textContent = text().ready;
  if (lastResult) showResult(lastResult, lastName, lastTime);
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

function processFile(file) {
  document.body.dataset.state = 'working';  // at once, for whoever waits on it
  return inTurn(() => processNow(file));
}

async function processNow(file) {
  document.body.dataset.state = 'working';
  $('status').textContent = text().working(file.name);
  const started = performance.now();
  try {
    if (file.size > MaxImageBytes) {
      $('result').hidden = true;
      lastResult = null;
      lastFile = null;
      $('status').textContent = text().tooLarge;
      document.body.dataset.state = 'error';
      return;
    }
    const bytes = new Uint8Array(await file.arrayBuffer());
    const engine = await runImage;
    const result = await engine.run(bytes);
    result.size = file.size;
    lastResult = result;
    lastFile = file;
    lastName = file.name;
    lastTime = Math.round(performance.now() - started);
    document.body.dataset.runMs = (performance.now() - started).toFixed(1);
    const t = result.timings;
    document.body.dataset.timings = `soundcut ${(t.soundcut - t.start).toFixed(0)} ms, d88list ${(t.d88list - t.soundcut).toFixed(0)} ms, map ${(t.map - t.d88list).toFixed(0)} ms, fresh instances ${t.instances.toFixed(1)} ms`;
    document.body.dataset.mapBytes = result.mapBytes;
    showResult(result, lastName, lastTime);
    document.body.dataset.state = ['empty', 'not-d88'].includes(verdictOf(result)) ? 'error' : 'done';
  } catch (error) {
    // The page stays usable: the next image gets a fresh start.
    $('status').textContent = `${text().failed(file.name)} ${error}`;
    document.body.dataset.state = 'error';
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
$('listing-download').addEventListener('click', (event) => {
  const link = event.currentTarget;
  if (link.dataset.ready) return;
  event.preventDefault();
  const file = lastFile;
  if (!file) return;
  inTurn(async () => {
    try {
      const engine = await runImage;
      const blob = await engine.listing(new Uint8Array(await file.arrayBuffer()));
      if (file !== lastFile) return;  // another image is shown by now
      const url = URL.createObjectURL(blob);
      blobUrls.push(url);
      link.href = url;
      link.dataset.ready = 'true';
      link.click();
    } catch (error) {
      $('status').textContent = `${text().failed(file.name)} ${error}`;
    }
  });
});
$('lang').addEventListener('click', () => {
  language = language === 'ja' ? 'en' : 'ja';
  applyTexts();
});

applyTexts();
$('status').textContent = text().loading;
runImage = startEngine();
runImage.then(() => {
  document.body.dataset.readyMs = performance.now().toFixed(1);  // since navigation began
  if (document.body.dataset.state === 'loading') {
    document.body.dataset.state = 'ready';
    $('status').textContent = text().ready;
  }
});
