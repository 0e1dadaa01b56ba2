// A collection: many images, read in turn into a table
// (collection_table.js), each row opening its own result. Its runner hands
// the engine the files in batches, each in the engine's queue as one
// request, and each row takes what the module's outcome says of its image
// as the outcomes come; the listing and the map wait until a row is opened.
// A row keeps its file, path, size, verdict, recognised disks and
// sources, never the run's result, so memory stays bounded whatever the
// number of images: opening a row reads its image again.
import { $ } from './dom.js';
import { csvOf, drawRow, drawTable } from './collection_table.js';
import { text } from './texts.js';

// A batch holds at most this many files: a request to stop (Cancel, a row
// opened) ends it sooner, after the image in hand.
const MaxBatch = 256;

// What a row keeps of a run's outcome, as the module decided it: the
// verdict, the disks recognised as disk A, and for each file the disk its
// bytes came from and their SHA-256, or null; or why there is none.
export const summaryOf = (outcome) => (outcome.error !== undefined ? { verdict: 'failed', error: outcome.error } : {
  verdict: outcome.verdict,
  recognised: outcome.recognised,
  sources: outcome.files.map((file) => file.from),
  digests: outcome.files.map((file) => file.sha256),
});

// What became of a collection's rows, counted for its progress line: read
// (each with a verdict of the module's), too large, could not be read (nor
// found, in a folder's walk) and cancelled.
const NotReadVerdicts = { 'too-large': 'tooLarge', failed: 'failed', read_failed: 'failed', not_run: 'failed',
  cancelled: 'cancelled', waiting: 'cancelled' };
function countsOf(made) {
  const counts = { all: made.rows.length, read: 0, tooLarge: 0, failed: 0, cancelled: 0 };
  for (const row of made.rows) counts[NotReadVerdicts[row.verdict] || 'read'] += 1;
  return counts;
}

// The page's collections. `engine` is the engine's promise, `inTurn(job)`
// puts a job in the engine's queue, `openRow(row)` opens a row's image,
// `started()` hears that a new collection replaces what the page showed;
// `maxImageBytes` and `stagesFrom`: no file over the first is read, and
// the stages of one over the second are shown.
export function makeCollections({ engine, inTurn, openRow, started, maxImageBytes, stagesFrom, reasonOf }) {
  // All the collections' state: the collection whose table stands (its
  // rows in the order given, those still to read, those in hand (the
  // batch's still unread, the first being read) and the stage of the first,
  // whether it runs, was cancelled or failed (no game's facts, so no
  // table), whether its batch is being read or was asked to stop, how many
  // rows are settled, and the game's facts), the game's facts once asked
  // for, and the summary's address once made.
  const state = { shown: null, facts: null, summaryAddress: null, toDraw: new Set(), drawTimer: null };

  const factsInTurn = () => {
    state.facts = state.facts || inTurn(async () => (await engine()).facts());
    state.facts.catch(() => { state.facts = null; });  // asked again next time
    return state.facts;
  };

  // A row takes a run's summary and is drawn again: at once, or `soon`
  // with the others settled meanwhile.
  function settle(row, summary, soon = false) {
    const owner = state.shown && state.shown.rows[row.number - 1] === row ? state.shown : null;
    if (owner && row.verdict === 'waiting') owner.settled += 1;
    Object.assign(row, { recognised: [], sources: [], digests: [], error: null, limit: null }, summary);
    if (!owner || !owner.facts) return;
    if (soon) {
      state.toDraw.add(row);
      drawSoon();
    } else {
      drawRow(row, owner.facts, openRow);
      drawProgress(owner);
    }
  }

  // Drawing a row lays the whole table out again, so the rows the runner
  // settles are drawn together, with the progress line, at most every
  // DrawEvery milliseconds.
  const DrawEvery = 100;
  function drawSoon() {
    if (state.drawTimer === null) state.drawTimer = setTimeout(drawSettled, DrawEvery);
  }
  function drawSettled() {
    clearTimeout(state.drawTimer);
    state.drawTimer = null;
    const made = state.shown;
    if (made && made.facts) for (const row of state.toDraw) drawRow(row, made.facts, openRow);
    state.toDraw.clear();
    if (made) drawProgress(made);
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

  function drawProgress(made) {
    if (made !== state.shown) return;
    const progress = $('progress');
    progress.max = Math.max(1, made.rows.length);
    progress.value = made.settled;
    let line;
    const current = made.inHand[0];
    if (current) {
      line = text().progress(current.number, made.rows.length, current.path);
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
  function draw() {
    const made = state.shown;
    $('collection').hidden = !made;
    if (!made) {
      $('collection-table').replaceChildren();
      delete document.body.dataset.collection;
      return;
    }
    $('collection-region').setAttribute('aria-label', text().tableCaption);
    if (made.facts) {
      drawTable(made.facts);
      for (const row of made.rows) drawRow(row, made.facts, openRow);
    }
    drawProgress(made);
  }

  // The next batch: the image in hand and those after it in the queue, up
  // to MaxBatch (a file too large to read is settled at once); after a
  // request to stop, the image in hand alone.
  function batchOf(made, first) {
    const batch = [];
    const most = made.stopAsked ? 1 : MaxBatch;
    let taken = 0;
    for (let row = first; row; row = taken < most && made.queue.length > 0 ? made.queue.shift() : null) {
      taken += 1;
      if (row.file.size > maxImageBytes) settle(row, { verdict: 'too-large' });
      else batch.push(row);
    }
    return batch;
  }

  // A batch's images, read for their outcomes alone, in the order of their
  // rows. After Cancel, nothing past the image then in hand is taken; what
  // a stop left unread goes back to the queue.
  async function readBatch(made) {
    if (made !== state.shown) {
      made.queue.unshift(...made.inHand);
      return;
    }
    const batch = batchOf(made, made.inHand[0]);
    if (!made.cancelled) made.stopAsked = false;
    made.inHand = batch;
    made.stage = null;
    drawProgress(made);
    if (batch.length === 0) return;
    let taken = 0;
    const heard = {
      outcomes(from, outcomes) {
        outcomes.forEach((outcome, index) => {
          const row = batch[from + index];
          if (row !== made.inHand[0]) return;  // past the image in hand when Cancel came
          settle(row, summaryOf(outcome), true);
          taken = from + index + 1;
          made.inHand = made.cancelled ? [] : batch.slice(taken);
        });
        made.stage = null;
        drawSoon();
      },
      stage(index, stage) {
        if (batch[index] !== made.inHand[0]) return;
        made.stage = stage;
        drawSettled();
      },
    };
    made.reading = true;
    try {
      await (await engine()).outcomes(batch.map((row) => row.file), heard, stagesFrom);
    } catch (error) {
      // The image in hand failed; the rest are read again in turn.
      // Only the image in hand is settled and passed; one never reached
      // waits for its turn again.
      if (taken < batch.length && batch[taken] === made.inHand[0]) {
        settle(batch[taken], { verdict: 'failed', error: reasonOf(error) });
        taken += 1;
      }
    }
    made.reading = false;
    if (!made.cancelled) made.stopAsked = false;
    made.queue.unshift(...batch.slice(taken));
    made.inHand = [];
  }

  async function run(made) {
    try {
      made.facts = await factsInTurn();
    } catch (error) {
      // No table can be drawn: the line says why.
      made.failure = reasonOf(error);
      for (const row of made.queue.splice(0)) settle(row, { verdict: 'failed', error: made.failure });
    }
    if (made !== state.shown) return;
    draw();
    while (made.queue.length > 0 && !made.cancelled) {
      // The first still to read is in hand while its turn waits.
      made.inHand = [made.queue.shift()];
      made.stage = null;
      drawProgress(made);
      await inTurn(() => readBatch(made));
    }
    made.inHand = [];
    made.running = false;
    for (const row of made.queue.splice(0)) settle(row, { verdict: 'cancelled' }, true);
    if (made !== state.shown) return;
    drawSettled();
    document.body.dataset.collection = made.cancelled ? 'cancelled' : 'finished';
    drawProgress(made);
  }

  // Asks the batch under way (or the next) to end after the image in hand.
  async function askToStop(made) {
    made.stopAsked = true;
    if (made.reading) (await engine()).stop();
  }

  $('cancel').addEventListener('click', () => {
    const made = state.shown;
    if (!made || !made.running) return;
    made.cancelled = true;
    made.inHand = made.inHand.slice(0, 1);
    askToStop(made);
    // The button goes: the focus goes to what says how far it got.
    $('progress-line').focus();
    drawProgress(made);
  });
  // The summary is made when asked for, as the table then stands.
  $('summary-download').addEventListener('click', (event) => {
    if (state.summaryAddress) URL.revokeObjectURL(state.summaryAddress);
    state.summaryAddress = null;
    const made = state.shown;
    if (!made || !made.facts) {
      event.preventDefault();
      return;
    }
    state.summaryAddress = URL.createObjectURL(new Blob([csvOf(made.rows, made.facts)], { type: 'text/csv' }));
    $('summary-download').href = state.summaryAddress;
  });

  // No table any more: a collection being read stops.
  function end() {
    if (state.shown) {
      state.shown.cancelled = true;
      askToStop(state.shown);
    }
    state.shown = null;
    state.toDraw.clear();
    draw();
  }

  return {
    // Whether files handed over now join the collection being read.
    get running() { return Boolean(state.shown && state.shown.running && !state.shown.cancelled); },
    join(found) { addRows(state.shown, found); },
    start(found) {
      end();
      started();
      const made = { rows: [], queue: [], inHand: [], stage: null, running: true, cancelled: false, failure: null,
        facts: null, stopAsked: false, reading: false, settled: 0 };
      state.shown = made;
      document.body.dataset.collection = 'running';
      addRows(made, found);
      draw();
      run(made);
    },
    end,
    // A row opened while its collection is read goes next: the batch under
    // way ends after the image in hand.
    opening() {
      if (state.shown && state.shown.running) askToStop(state.shown);
    },
    settle,
    draw,
  };
}
