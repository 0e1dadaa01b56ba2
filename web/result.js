// What the page shows of a run: the verdict and one line per file, both
// taken from what soundcut did (its exit code, its messages in order, the
// files it wrote), the downloads, its messages, each disk with its map,
// and the beginning of d88list's listing.
'use strict';

const hexToBytes = (hex) => Uint8Array.from(hex.match(/../g) || [], (pair) => parseInt(pair, 16));

// ARIA roles, labels and live regions go in `attributes`: a browser that
// does not reflect them as properties (Firefox ESR 115) would ignore them
// there.
function element(tag, properties = {}, children = [], attributes = {}) {
  const node = document.createElement(tag);
  Object.assign(node, properties);
  for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, value);
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

// soundcut's messages, as the texts the programs write.
const Said = {
  recognised: 'Brevindor Tolvask (X1) Disk Aを認識しました.',
  cutting: (file) => `cutting ... ${file}`,
  cannotRead: (file) => `${file}: セクタを読み込めません.`,
  cannotWrite: (file) => `${file}: ファイルを書き込めません.`,
  readFailed: 'ファイルを読み込めません.',
};

// The lines soundcut wrote to either stream, in order.
const linesOf = (soundcut) => shiftJis.decode(soundcut.merged).split('\n').filter((line) => line !== '');

// What soundcut did with each recognised disk, in order: per file, whether
// its region was cut (its cutting line and no error for it).
function cutsOf(soundcut) {
  const disks = [];
  let readFailed = false;
  for (const line of linesOf(soundcut)) {
    if (line === Said.recognised) disks.push({});
    if (line === Said.readFailed) readFailed = true;
    const disk = disks[disks.length - 1];
    if (!disk) continue;
    for (const file of OutputFiles) {
      if (line === Said.cutting(file)) disk[file] = disk[file] === undefined ? true : disk[file];
      if (line === Said.cannotRead(file) || line === Said.cannotWrite(file)) disk[file] = false;
    }
  }
  return { disks, readFailed };
}

function verdictOf(result, cuts = cutsOf(result.soundcut)) {
  if (result.size === 0) return 'empty';
  if (cuts.disks.length === 0) {
    // Not one disk header could be read: nothing in the file is a D88 disk.
    // A disk without tracks is still a disk.
    return result.map.disks.length > 0 ? 'not-found' : 'not-d88';
  }
  return result.soundcut.code === 0 && OutputFiles.every((file) => result.files[file]) ? 'cut' : 'partial';
}

// Why a recognised disk gave no file: the sectors its map lacks.
function whyNotCut(disk, file) {
  const region = (disk.regions || []).find((candidate) => candidate.file === file);
  const lacking = region ? region.sectors.filter((sector) => sector[5] !== 'ok') : [];
  if (lacking.length === 0) return text().notCut;
  return text().sectorsMissing(lacking.map((s) => `C${s[1]} H${s[2]} R${s[3]} (${text().states[s[5]]})`).join(', '));
}

// For each file: the disk its bytes came from (the last that gave it, as
// on a console), and every later recognised disk that could not.
function regionLines(result, { disks }) {
  const games = result.map.disks.filter((disk) => disk.game);
  return OutputFiles.map((file) => {
    let from = -1;
    disks.forEach((cut, k) => { if (cut[file]) from = k; });
    const failedAfter = disks.map((cut, k) => ({ cut, k }))
      .filter(({ cut, k }) => k > from && cut[file] === false && games[k])
      .map(({ k }) => text().regionFailed(games[k].index, whyNotCut(games[k], file)));
    const head = result.files[file] && from >= 0 && games[from]
      ? text().regionFrom(file, result.files[file].length, games[from].index)
      : text().regionNone(file);
    return [head, ...failedAfter].join(' ');
  });
}

function showResult(result) {
  const cuts = cutsOf(result.soundcut);
  const verdict = verdictOf(result, cuts);
  const games = result.map.disks.filter((disk) => disk.game);
  const summary = $('summary');
  summary.dataset.verdict = verdict;
  summary.textContent = {
    empty: text().empty, 'not-d88': text().notD88, 'not-found': text().notFound,
    cut: text().cut(games.length), partial: text().partial(games.length),
  }[verdict];
  const lines = verdict === 'cut' || verdict === 'partial' ? regionLines(result, cuts) : [];
  if (cuts.readFailed) lines.push(text().readFailed);
  $('regions').replaceChildren(...lines.map((line) => element('li', { textContent: line })));

  while (blobUrls.length) URL.revokeObjectURL(blobUrls.pop());
  const links = OutputFiles.filter((file) => result.files[file]).map((file) => downloadLink(file, result.files[file]));
  if (links.length === OutputFiles.length) {
    const zipped = fflate.zipSync(Object.fromEntries(OutputFiles.map((file) => [file, result.files[file]])), { level: 6 });
    links.push(downloadLink('soundcut.zip', zipped, text().zip, 'zip'));
  }
  $('downloads').replaceChildren(...links);

  const messages = linesOf(result.soundcut).map((line) => `${line}\n`).join('');
  $('messages').textContent = messages;
  $('messages-box').open = messages !== '';

  // The last recognised disk is the one whose cut the files hold.
  const shownOpen = games[games.length - 1];
  $('disks').replaceChildren(...result.map.disks.map((disk) => diskSection(disk, disk === shownOpen)));

  const listing = result.d88list;
  $('listing').textContent = shiftJis.decode(listing.head) + (listing.whole ? '' : `\n${text().listingCut}`);
  $('result').hidden = false;
}

// No result: nothing of an earlier one stays.
function clearResult() {
  while (blobUrls.length) URL.revokeObjectURL(blobUrls.pop());
  const summary = $('summary');
  summary.textContent = '';
  delete summary.dataset.verdict;
  for (const id of ['regions', 'downloads', 'disks']) $(id).replaceChildren();
  $('messages').textContent = '';
  $('messages-box').open = false;
  $('listing').textContent = '';
  $('result').hidden = true;
}

// A run that failed, in the result's place: what went wrong.
function showFailure(line, error) {
  const summary = $('summary');
  summary.dataset.verdict = 'failed';
  summary.textContent = line;
  $('regions').replaceChildren(element('li', { textContent: error }));
  $('result').hidden = false;
}

// The whole listing's link: the listing once made (and whether it is
// whole), or why it could not be made; a link that makes it otherwise.
function showListing(listing) {
  const link = $('listing-download');
  link.href = listing && listing.url ? listing.url : '#';
  let note = '';
  if (listing && listing.error) note = text().listingFailed(listing.error);
  else if (listing && listing.refused) note = text().listingRefused;
  else if (listing && !listing.whole) note = text().listingLimited(listing.limit / (1024 * 1024));
  $('listing-note').textContent = note;
}

// A disk's summary line, and its map, drawn when the disk is opened (the
// disk whose cut the files hold opens at once), so that 64 disks cost 64
// lines. Its name and boot name come quoted as d88list shows them.
function diskSection(disk, open) {
  disk.shownName = shiftJis.decode(hexToBytes(disk.name));
  disk.shownBoot = shiftJis.decode(hexToBytes(disk.bootName));
  const section = element('details', { className: 'disk' }, [
    element('summary', { textContent: `${text().disk(disk)} · ${text().boot(disk)}` }),
  ]);
  section.dataset.disk = disk.index;
  section.dataset.game = disk.game;
  let drawn = false;
  section.addEventListener('toggle', () => {
    if (!section.open || drawn) return;
    drawn = true;
    section.append(legend(), regionSectorLines(disk), diskMap(disk));
  });
  section.open = open;
  return section;
}
