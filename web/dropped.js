// The files the user hands the page at once: chosen with the file or
// folder button, or dropped, folders and all. Each comes with its path (a
// folder's files with the folders they lie in), in the order of their
// paths, folder by folder, however they were handed over; a file or folder
// that cannot be read comes with why instead: the browser's words, or
// `limit` (depth or count) where the page stopped.

// A folder nested deeper than this is not read, and no more files than
// this are taken from one drop: links between folders could otherwise
// lead round for ever.
const MaxDepth = 64;
const MaxFiles = 100000;

// Names in a natural order (disk2 before disk10), the same in every
// language shown; names it holds equal (disk01, disk1) by their code units,
// so that no order is left to chance.
const collator = new Intl.Collator('en', { numeric: true });
const compareNames = (a, b) => collator.compare(a, b) || (a < b ? -1 : a > b ? 1 : 0);
const comparePaths = (a, b) => {
  const [x, y] = [a.split('/'), b.split('/')];
  for (let i = 0; i < Math.min(x.length, y.length); ++i) {
    const order = compareNames(x[i], y[i]);
    if (order !== 0) return order;
  }
  return x.length - y.length;
};

// The files of a file input: those of a folder carry their path in it.
export function filesChosen(fileList) {
  const found = [...fileList].map((file) => ({ file, path: file.webkitRelativePath || file.name }));
  return found.some((item) => item.file.webkitRelativePath) ? found.sort((a, b) => comparePaths(a.path, b.path)) : found;
}

// What a drop holds must be taken while the drop event lasts: its entries
// where the browser gives them (they lead into folders), its files
// otherwise. `gatherDropped` reads them afterwards.
export function takeDrop(dataTransfer) {
  const items = [...(dataTransfer.items || [])].filter((item) => item.kind === 'file');
  const entries = items.map((item) => (item.webkitGetAsEntry ? item.webkitGetAsEntry() : null));
  if (entries.length > 0 && entries.every(Boolean)) return { entries };
  return { files: [...(dataTransfer.files || [])] };
}

// Resolves to [{ file, path } or { path, error } or { path, limit }], and
// whether a folder was among them. The walk stops early once `wanted()` is
// false (something else was handed over meanwhile).
export async function gatherDropped(taken, wanted = () => true) {
  if (taken.files) return { found: filesChosen(taken.files), folders: false };
  // What the walk found, whether it stopped at the count limit, and whether
  // it is still wanted.
  const walk = { found: [], stopped: false, wanted };
  for (const entry of taken.entries) await gather(entry, 0, walk);
  return { found: walk.found, folders: taken.entries.some((entry) => entry.isDirectory) };
}

const pathOf = (entry) => entry.fullPath.replace(/^\//, '') || entry.name;
const why = (error) => String(error && error.message || error);

async function gather(entry, depth, walk) {
  const { found } = walk;
  if (!walk.wanted()) return;
  if (found.length >= MaxFiles) {
    // The first entry not taken says why the rest are not there.
    if (!walk.stopped) found.push({ path: pathOf(entry), limit: 'count' });
    walk.stopped = true;
    return;
  }
  if (entry.isFile) {
    try {
      found.push({ file: await new Promise((done, fail) => entry.file(done, fail)), path: pathOf(entry) });
    } catch (error) {
      found.push({ path: pathOf(entry), error: why(error) });
    }
    return;
  }
  if (depth === MaxDepth) {
    found.push({ path: pathOf(entry), limit: 'depth' });
    return;
  }
  const { entries, error } = await entriesIn(entry, walk);
  entries.sort((a, b) => compareNames(a.name, b.name));
  for (const child of entries) await gather(child, depth + 1, walk);
  // Those listed before the folder failed are read all the same.
  if (error && !walk.stopped) found.push({ path: pathOf(entry), error });
}

// A folder's reader gives its entries a batch at a time, until an empty
// one; no more are asked for than the walk can still take (one past it
// shows where it stopped), nor once it is no longer wanted.
async function entriesIn(folder, walk) {
  const reader = folder.createReader();
  const entries = [];
  while (walk.wanted() && walk.found.length + entries.length <= MaxFiles) {
    try {
      const batch = await new Promise((done, fail) => reader.readEntries(done, fail));
      if (batch.length === 0) return { entries };
      entries.push(...batch);
    } catch (error) {
      return { entries, error: why(error) };
    }
  }
  return { entries };
}
