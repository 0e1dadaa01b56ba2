// The page of soundcut's browser edition. The WebAssembly module (the
// "engine" script) runs soundcut and d88list as they run on a console, on an
// image in its in-memory file system, and maps the image's disks; this
// script hands it the image, off the page's thread where the browser
// allows, and shows what came back. Nothing leaves the computer: the page's
// policy forbids every network connection.
'use strict';

const MaxImageBytes = 256 * 1024 * 1024;
const OutputFiles = ['PSGDRV', 'OPMDRV', 'PSGMUS', 'OPMMUS'];

const Texts = {
  en: {
    intro: 'Cuts the sound driver and music data (PSGDRV, OPMDRV, PSGMUS, OPMMUS) out of every disk A of Brevindor Tolvask (X1) in a D88 image.',
    private: 'The image never leaves your computer: it is read here, in your browser, and nothing is uploaded.',
    drop: 'Drop a D88 image anywhere on this page, or choose one:',
    lang: '日本語',
    loading: 'Starting…',
    ready: 'Ready.',
    working: (name) => `Reading ${name}…`,
    done: (name, ms) => `${name}: done in ${ms} ms.`,
    failed: (name) => `${name}: could not be read.`,
    empty: 'The file is empty: it holds no disk.',
    tooLarge: 'The file is larger than 256 MiB: that is no floppy-disk image.',
    notD88: 'This file is not a D88 image: it holds no disk header that fits the file.',
    notFound: 'No disk of this image is disk A of Brevindor Tolvask (X1). Each disk\'s boot line below shows what was found instead.',
    cut: (n) => `Disk A of Brevindor Tolvask (X1) found (${n} ${n === 1 ? 'disk' : 'disks'}): all four files were cut.`,
    partial: (n) => `Disk A of Brevindor Tolvask (X1) found (${n} ${n === 1 ? 'disk' : 'disks'}), but not every file could be cut.`,
    regionOk: (file, bytes) => `${file}: cut (${bytes} bytes).`,
    regionMissing: (file, list) => `${file}: not cut, sectors missing: ${list}.`,
    states: { missing: 'missing', short: 'too short', size: 'wrong size' },
    zip: 'All four as a zip',
    messages: 'Messages of soundcut',
    listing: 'Listing of d88list',
    listingDownload: 'Download the whole listing (d88list.txt)',
    listingCut: '… (the listing goes on: download the whole listing above)',
    disk: (d) => `Disk ${d.index}: "${d.shownName}"${d.game ? ' — disk A of the game' : ''}`,
    boot: (d) => d.bootBytes === 0 ? 'boot: none' : d.bootBytes < 17 ? `boot: too short (${d.bootBytes} bytes)` : `boot: "${d.shownBoot}"`,
    track: 'track',
    more: (n) => `+${n} more`,
    legendBoot: 'boot sector',
    legendGap: 'needed but lacking',
    cellInfo: (c) => `track ${c.track}, record ${c.position}: C/H/R/N ${c.id}, ${c.size} bytes of data`,
    gapInfo: (g) => `track ${g.track}: ${g.file} needs ${g.id}, which is ${Texts.en.states[g.state]}`,
  },
  ja: {
    intro: 'D88イメージの中のBrevindor Tolvask (X1) Disk Aから、サウンドドライバと音楽データ (PSGDRV, OPMDRV, PSGMUS, OPMMUS) を切り出します。',
    private: 'イメージはこのコンピュータの外に出ません。ブラウザの中で読み込み、何もアップロードしません。',
    drop: 'D88イメージをこのページにドロップするか、選んでください:',
    lang: 'English',
    loading: '準備中…',
    ready: '準備ができました。',
    working: (name) => `${name} を読み込んでいます…`,
    done: (name, ms) => `${name}: 完了 (${ms} ms)。`,
    failed: (name) => `${name}: 読み込めませんでした。`,
    empty: 'ファイルが空です。ディスクがありません。',
    tooLarge: 'ファイルが256 MiBより大きいため、フロッピーディスクのイメージではありません。',
    notD88: 'このファイルはD88イメージではありません。ファイルに合うディスクヘッダがありません。',
    notFound: 'このイメージにはBrevindor Tolvask (X1) Disk Aがありません。各ディスクのboot行に、代わりに見つかったものが表示されます。',
    cut: (n) => `Brevindor Tolvask (X1) Disk Aを認識しました (${n}枚)。4つのファイルをすべて切り出しました。`,
    partial: (n) => `Brevindor Tolvask (X1) Disk Aを認識しました (${n}枚) が、切り出せなかったファイルがあります。`,
    regionOk: (file, bytes) => `${file}: 切り出しました (${bytes}バイト)。`,
    regionMissing: (file, list) => `${file}: 切り出せません。足りないセクタ: ${list}。`,
    states: { missing: 'なし', short: '短すぎ', size: 'サイズ違い' },
    zip: '4つまとめてzipで',
    messages: 'soundcutのメッセージ',
    listing: 'd88listの一覧',
    listingDownload: '一覧全体をダウンロード (d88list.txt)',
    listingCut: '… (一覧は続きます。全体は上からダウンロードしてください)',
    disk: (d) => `ディスク ${d.index}: "${d.shownName}"${d.game ? ' — ゲームのDisk A' : ''}`,
    boot: (d) => d.bootBytes === 0 ? 'boot: none' : d.bootBytes < 17 ? `boot: too short (${d.bootBytes} bytes)` : `boot: "${d.shownBoot}"`,
    track: 'トラック',
    more: (n) => `他${n}個`,
    legendBoot: 'ブートセクタ',
    legendGap: '必要だが不足',
    cellInfo: (c) => `トラック ${c.track}、レコード ${c.position}: C/H/R/N ${c.id}、データ ${c.size}バイト`,
    gapInfo: (g) => `トラック ${g.track}: ${g.file} に必要な ${g.id} が${Texts.ja.states[g.state]}`,
  },
};

let language = (navigator.language || 'en').toLowerCase().startsWith('ja') ? 'ja' : 'en';
const text = () => Texts[language];
const $ = (id) => document.getElementById(id);
const shiftJis = new TextDecoder('shift_jis');

// ---- The engine: the same code in a worker or on the page ----

// Runs both programs and the map on one image, each image in a fresh
// folder of the module's file system. Its source also becomes the worker's.
function makeRunner(createModule, wasmBinary) {
  return createModule({ wasmBinary, print() {}, printErr() {} }).then((Module) => {
    const FS = Module.FS;
    // Standard output and error reach the page as the chunks the C library
    // writes, through two devices (a file that grew by each write would be
    // copied again and again). Past `limit` bytes a write fails, as a full
    // disk would make it: a listing shown only in part stops there.
    const capture = { out: { chunks: [], size: 0, limit: Infinity }, err: { chunks: [], size: 0, limit: Infinity } };
    ['out', 'err'].forEach((name, index) => {
      const device = FS.makedev(64, index);
      FS.registerDevice(device, {
        open() {}, close() {}, read() { return 0; },
        write(_, buffer, offset, length) {
          const stream = capture[name];
          const room = Math.min(length, stream.limit - stream.size);
          stream.chunks.push(buffer.slice(offset, offset + room));
          stream.size += room;
          if (room < length) throw new FS.ErrnoError(29);
          return length;
        },
      });
      FS.mkdev(`/capture-${name}`, device);
    });
    const collect = (name) => {
      const stream = capture[name];
      const chunks = stream.chunks.splice(0);
      stream.size = 0;
      stream.limit = Infinity;
      return chunks;
    };
    const joined = (chunks) => {
      const bytes = new Uint8Array(chunks.reduce((sum, chunk) => sum + chunk.length, 0));
      let at = 0;
      for (const chunk of chunks) { bytes.set(chunk, at); at += chunk.length; }
      return bytes;
    };
    const call = (name, ...args) => Module.ccall(name, 'number', args.map(() => 'string'), args);
    const runCaptured = (entry, outLimit = Infinity) => {
      capture.out.limit = outLimit;
      const code = call(entry, 'image.d88', '/capture-out', '/capture-err');
      const full = capture.out.size < outLimit;
      return { code, full, out: collect('out'), err: joined(collect('err')) };
    };
    const take = (path) => {
      try {
        const bytes = FS.readFile(path);
        FS.unlink(path);
        return bytes;
      } catch (error) {
        return null;
      }
    };
    let runs = 0;
    // The image stays in its folder until the next one, for the listing.
    const clearFolder = () => {
      if (runs === 0) return;
      take('image.d88');
      FS.chdir('/');
      FS.rmdir(`/run${runs}`);
    };
    const ListingShown = 256 * 1024;
    return {
      run(bytes) {
        clearFolder();
        const folder = `/run${++runs}`;
        FS.mkdir(folder);
        FS.chdir(folder);
        FS.writeFile('image.d88', bytes);
        const timings = { start: performance.now() };
        const cut = runCaptured('RunSoundcutOn');
        const soundcut = { code: cut.code, out: joined(cut.out), err: cut.err };
        timings.soundcut = performance.now();
        // Its beginning only: a listing may run to hundreds of MB, which are
        // made when asked for (listing() below).
        const preview = runCaptured('RunD88ListOn', ListingShown);
        const d88list = { head: joined(preview.out), whole: preview.full, err: preview.err };
        timings.d88list = performance.now();
        call('WriteDiskMapOf', 'image.d88', 'map.json');
        const map = JSON.parse(new TextDecoder().decode(take('map.json') || new TextEncoder().encode('{"disks":[]}')));
        const files = {};
        for (const name of ['PSGDRV', 'OPMDRV', 'PSGMUS', 'OPMMUS']) {
          const file = take(name);
          if (file) files[name] = file;
        }
        timings.map = performance.now();
        return { soundcut, d88list, map, files, timings };
      },
      // The whole listing of the last image, as a Blob.
      listing() {
        return new Blob(runCaptured('RunD88ListOn').out, { type: 'text/plain' });
      },
    };
  });
}

function workerMain() {
  let ready = null;
  self.onmessage = (event) => {
    const message = event.data;
    if (message.wasm) {
      ready = makeRunner(self.createSoundcutModule, message.wasm);
      ready.then(() => self.postMessage({ ready: true }), (error) => self.postMessage({ failed: String(error) }));
      return;
    }
    ready.then((runner) => {
      if (message.listing) {
        self.postMessage({ listing: runner.listing() });
        return;
      }
      const result = runner.run(new Uint8Array(message.image));
      const buffers = [result.soundcut.out, result.soundcut.err, result.d88list.head, result.d88list.err,
        ...Object.values(result.files)].map((bytes) => bytes.buffer);
      self.postMessage({ result }, buffers);
    });
  };
}

// The module's binary, kept beside its script as base64 text, so that the
// module never tries to fetch it.
function wasmBinary() {
  const text = atob($('wasm').textContent.trim());
  return Uint8Array.from(text, (ch) => ch.charCodeAt(0));
}

// Resolves to { run(bytes), listing() }, each resolving to its result: in a
// worker where the browser allows one, on the page otherwise.
function startEngine() {
  const binary = wasmBinary();
  const onPage = () => makeRunner(window.createSoundcutModule, binary).then((runner) => ({
    run: (bytes) => Promise.resolve(runner.run(bytes)),
    listing: () => Promise.resolve(runner.listing()),
  }));
  let worker;
  try {
    const source = `${$('engine').textContent}\n${makeRunner}\n(${workerMain})();`;
    worker = new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
    worker.postMessage({ wasm: binary });
  } catch (error) {
    return onPage();
  }
  return new Promise((resolve) => {
    let pending = null;
    const ask = (message, transfer = []) => new Promise((done) => {
      pending = done;
      worker.postMessage(message, transfer);
    });
    worker.onmessage = (event) => {
      if (event.data.ready) {
        document.body.dataset.engine = 'worker';
        resolve({
          run: (bytes) => ask({ image: bytes.buffer }, [bytes.buffer]).then((data) => data.result),
          listing: () => ask({ listing: true }).then((data) => data.listing),
        });
      } else if (event.data.failed) {
        worker.terminate();
        resolve(onPage());
      } else if (pending) {
        const done = pending;
        pending = null;
        done(event.data);
      }
    };
    // Some browsers refuse a worker on a file:// page: run on the page.
    worker.onerror = (event) => {
      event.preventDefault();
      worker.terminate();
      resolve(onPage());
    };
  });
}

// ---- What the page shows ----

const hexToBytes = (hex) => Uint8Array.from(hex.match(/../g) || [], (pair) => parseInt(pair, 16));
const hex2 = (value) => value.toString(16).toUpperCase().padStart(2, '0');
const idText = (c, h, r, n) => [c, h, r, n].map(hex2).join('/');
// Control bytes, '"' and '\' as \xHH, as d88list writes them.
const escapeBytes = (bytes, keepHighBytes) => {
  let plainRun = [];
  let shown = '';
  const flush = () => { shown += shiftJis.decode(Uint8Array.from(plainRun)); plainRun = []; };
  for (const byte of bytes) {
    if (byte >= 0x20 && byte !== 0x7F && byte !== 0x22 && byte !== 0x5C && (byte < 0x80 || keepHighBytes)) {
      plainRun.push(byte);
    } else {
      flush();
      shown += `\\x${hex2(byte)}`;
    }
  }
  flush();
  return shown;
};

function element(tag, properties = {}, children = []) {
  const node = document.createElement(tag);
  Object.assign(node, properties);
  for (const child of children) node.append(child);
  return node;
}

const blobUrls = [];
function downloadLink(name, bytes, label, id) {
  const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  blobUrls.push(url);
  const link = element('a', { href: url, download: name, textContent: label || name });
  if (id) link.id = id;
  return link;
}

let lastResult = null;
let lastName = '';
let lastTime = 0;

function applyTexts() {
  document.documentElement.lang = language;
  for (const node of document.querySelectorAll('[data-text]')) node.textContent = text()[node.dataset.text];
  $('lang').textContent = text().lang;
  const state = document.body.dataset.state;
  if (state === 'ready') $('status').textContent = text().ready;
  if (lastResult) showResult(lastResult, lastName, lastTime);
}

function verdictOf(result, size) {
  if (size === 0) return 'empty';
  const disks = result.map.disks;
  if (disks.length === 0 || disks[0].size < 688 || disks[0].size > size) return 'not-d88';
  const games = disks.filter((disk) => disk.game);
  if (games.length === 0) return 'not-found';
  return OutputFiles.every((file) => result.files[file]) && result.soundcut.code === 0 ? 'cut' : 'partial';
}

// For each region, the sectors it lacks on the last recognised disk (whose
// cut the files hold, as soundcut leaves them).
function regionLines(games, files) {
  const last = games[games.length - 1];
  return last.regions.map((region) => {
    const lacking = region.sectors.filter((sector) => sector[5] !== 'ok');
    if (lacking.length === 0) return text().regionOk(region.file, files[region.file] ? files[region.file].length : 0);
    return text().regionMissing(region.file, lacking.map((s) => `C${s[1]} H${s[2]} R${s[3]} (${text().states[s[5]]})`).join(', '));
  });
}

function showResult(result, name, milliseconds) {
  const size = result.size;
  const verdict = verdictOf(result, size);
  const games = result.map.disks.filter((disk) => disk.game);
  const summary = $('summary');
  summary.dataset.verdict = verdict;
  summary.textContent = {
    empty: text().empty, 'not-d88': text().notD88, 'not-found': text().notFound,
    cut: text().cut(games.length), partial: text().partial(games.length),
  }[verdict];
  const lines = games.length ? regionLines(games, result.files) : [];
  $('regions').replaceChildren(...lines.map((line) => element('li', { textContent: line })));

  while (blobUrls.length) URL.revokeObjectURL(blobUrls.pop());
  const links = OutputFiles.filter((file) => result.files[file]).map((file) => downloadLink(file, result.files[file]));
  if (links.length === OutputFiles.length) {
    const zipped = fflate.zipSync(Object.fromEntries(OutputFiles.map((file) => [file, result.files[file]])), { level: 6 });
    links.push(downloadLink('soundcut.zip', zipped, text().zip, 'zip'));
  }
  $('downloads').replaceChildren(...links);

  const messages = shiftJis.decode(result.soundcut.out) + shiftJis.decode(result.soundcut.err);
  $('messages').textContent = messages;
  $('messages-box').open = messages !== '';

  // The last recognised disk is the one whose cut the files hold.
  const shownOpen = games[games.length - 1];
  $('disks').replaceChildren(...result.map.disks.map((disk) => diskSection(disk, disk === shownOpen)));

  const listing = result.d88list;
  const link = $('listing-download');
  link.removeAttribute('href');
  $('listing').textContent = shiftJis.decode(listing.head) + (listing.whole ? '' : `\n${text().listingCut}`);
  $('result').hidden = false;
  $('status').textContent = text().done(name, milliseconds);
}

// A disk's summary line, and its map, drawn when the disk is opened (the
// disk whose cut the files hold opens at once), so that 64 disks cost 64
// lines.
function diskSection(disk, open) {
  disk.shownName = escapeBytes(hexToBytes(disk.name), true);
  disk.shownBoot = escapeBytes(hexToBytes(disk.bootName), false);
  const section = element('details', { className: 'disk' }, [
    element('summary', { textContent: `${text().disk(disk)} · ${text().boot(disk)}` }),
  ]);
  section.dataset.disk = disk.index;
  section.dataset.game = disk.game;
  let drawn = false;
  section.addEventListener('toggle', () => {
    if (!section.open || drawn) return;
    drawn = true;
    section.append(legend(), diskMap(disk));
  });
  section.open = open;
  return section;
}

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

// ---- Choosing an image ----

let runImage = null;
let busy = Promise.resolve();

function processFile(file) {
  document.body.dataset.state = 'working';  // at once, for whoever waits on it
  busy = busy.then(() => processNow(file));
  return busy;
}

async function processNow(file) {
  document.body.dataset.state = 'working';
  $('status').textContent = text().working(file.name);
  const started = performance.now();
  try {
    if (file.size > MaxImageBytes) {
      $('result').hidden = true;
      lastResult = null;
      $('status').textContent = text().tooLarge;
      document.body.dataset.state = 'error';
      return;
    }
    const bytes = new Uint8Array(await file.arrayBuffer());
    const engine = await runImage;
    const result = await engine.run(bytes);
    result.size = file.size;
    lastResult = result;
    lastName = file.name;
    lastTime = Math.round(performance.now() - started);
    document.body.dataset.runMs = (performance.now() - started).toFixed(1);
    const t = result.timings;
    document.body.dataset.timings = `soundcut ${(t.soundcut - t.start).toFixed(0)} ms, d88list ${(t.d88list - t.soundcut).toFixed(0)} ms, map ${(t.map - t.d88list).toFixed(0)} ms`;
    showResult(result, lastName, lastTime);
    document.body.dataset.state = ['empty', 'not-d88'].includes(verdictOf(result, file.size)) ? 'error' : 'done';
  } catch (error) {
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
// The whole listing is made when asked for, then downloaded.
$('listing-download').addEventListener('click', async (event) => {
  const link = event.currentTarget;
  if (link.href) return;
  event.preventDefault();
  const engine = await runImage;
  const url = URL.createObjectURL(await engine.listing());
  blobUrls.push(url);
  link.href = url;
  link.click();
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
