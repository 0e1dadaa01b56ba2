// What the page shows of a run: the verdict and one line per file, both
// as soundcut's outcome gives them (the module decides them, the page only
// words them), the downloads, its messages as it wrote them, each disk with
// its map, and the beginning of d88list's listing; a failed run in its
// place; the whole listing's link.
import { $, element } from './dom.js';
import { downloadLink, dropDownloads } from './downloads.js';
import { bytesOfHex, shiftJis } from './image_text.js';
import { diskMap, legend, regionSectorLines } from './map_view.js';
import { text } from './texts.js';
import { zipSync } from 'fflate';

// The lines soundcut wrote to either stream, in order.
const linesOf = (soundcut) => shiftJis.decode(soundcut.merged).split('\n').filter((line) => line !== '');

// Why a disk gave no file.
function whyNotCut({ why, sectors }) {
  if (why !== 'sectors_missing') return text().failures[why];
  return text().sectorsMissing(sectors.map((s) => `C${s.c} H${s.h} R${s.r} (${text().states[s.state]})`).join(', '));
}

function fileLines(outcome) {
  return outcome.files.map(({ file, from, bytes, failures }) => {
    const head = from === null ? text().regionNone(file) : text().regionFrom(file, bytes, from);
    return [head, ...failures.map((failure) => text().regionFailed(failure.disk, whyNotCut(failure)))].join(' ');
  });
}

// `zipName`: the name the zip of the four files downloads as.
export function showResult(result, zipName) {
  const { outcome, facts } = result;
  const recognised = outcome.recognised.length;
  const summary = $('summary');
  summary.dataset.verdict = outcome.verdict;
  summary.textContent = text().summaries[outcome.verdict](recognised);
  // Where a disk A was found, what became of each file.
  const lines = recognised > 0 ? fileLines(outcome) : [];
  if (outcome.read_failed) lines.push(text().readFailed);
  $('regions').replaceChildren(...lines.map((line) => element('li', { textContent: line })));

  dropDownloads();
  const names = facts.regions.map((region) => region.file);
  const links = names.filter((file) => result.files[file]).map((file) => downloadLink(file, result.files[file]));
  if (links.length === names.length) {
    const zipped = zipSync(Object.fromEntries(names.map((file) => [file, result.files[file]])), { level: 6 });
    links.push(downloadLink(zipName, zipped, text().zip, 'zip'));
  }
  $('downloads').replaceChildren(...links);
  // Each file's SHA-256, as the module made it, in the form sha256sum -c
  // reads: the downloads can be checked against it.
  const digests = outcome.files.filter((file) => file.sha256 && result.files[file.file])
    .map((file) => `${file.sha256}  ${file.file}\n`).join('');
  $('digests').textContent = digests;
  $('digests').hidden = digests === '';
  $('digests-label').hidden = digests === '';

  const messages = linesOf(result.soundcut).map((line) => `${line}\n`).join('');
  $('messages').textContent = messages;
  $('messages-box').open = messages !== '';

  // Each disk a file came from opens with its map.
  const sources = new Set(outcome.files.map((file) => file.from));
  $('disks').replaceChildren(...result.map.disks.map((disk) => diskSection(disk, facts, sources.has(disk.index))));

  const listing = result.d88list;
  $('listing').textContent = shiftJis.decode(listing.head) + (listing.whole ? '' : `\n${text().listingCut}`);
  $('result').hidden = false;
}

// No result: nothing of an earlier one stays.
export function clearResult() {
  dropDownloads();
  const summary = $('summary');
  summary.textContent = '';
  delete summary.dataset.verdict;
  for (const id of ['regions', 'downloads', 'disks']) $(id).replaceChildren();
  $('messages').textContent = '';
  $('messages-box').open = false;
  $('digests').textContent = '';
  $('digests').hidden = true;
  $('digests-label').hidden = true;
  $('listing').textContent = '';
  $('result').hidden = true;
}

// A run that failed, in the result's place: what went wrong.
export function showFailure(line, error) {
  const summary = $('summary');
  summary.dataset.verdict = 'failed';
  summary.textContent = line;
  $('regions').replaceChildren(element('li', { textContent: error }));
  $('result').hidden = false;
}

// The whole listing's link: the listing once made (and whether it is
// whole), or why it could not be made; a link that makes it otherwise.
export function showListing(listing) {
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
// lines. Its name and boot name are shown as d88list shows them.
function diskSection(disk, facts, open) {
  const name = shiftJis.decode(bytesOfHex(disk.name.listing_hex));
  const section = element('details', { className: 'disk' }, [
    element('summary', { textContent: `${text().disk(disk.index, name, disk.is_game_disk_a)} · ${text().boot(disk.boot)}` }),
  ]);
  section.dataset.disk = disk.index;
  section.dataset.game = disk.is_game_disk_a;
  let drawn = false;
  section.addEventListener('toggle', () => {
    if (!section.open || drawn) return;
    drawn = true;
    section.append(legend(facts), regionSectorLines(disk, facts), diskMap(disk, facts));
  });
  section.open = open;
  return section;
}
