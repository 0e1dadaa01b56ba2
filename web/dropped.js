// The files the user hands the page at once: chosen with the file or
// folder button, or dropped, folders and all. Each comes with its path (a
// folder's files with the folders they lie in), sorted by it within a
// folder, as listings show them; a file or folder that cannot be read
// comes with what went wrong instead.

// A folder nested deeper than this is not read: a link back up would
// otherwise lead round for ever.
const MaxDepth = 64;

const byPath = (a, b) => (a.path < b.path ? -1 : a.path > b.path ? 1 : 0);

// The files of a file input: those of a folder carry their path in it.
export function filesChosen(fileList) {
  const found = [...fileList].map((file) => ({ file, path: file.webkitRelativePath || file.name }));
  return found.some((item) => item.file.webkitRelativePath) ? found.sort(byPath) : found;
}

// What a drop holds must be taken while the drop event lasts: its entries
// where the browser gives them (they lead into folders), its files
// otherwise. `gatherDropped` reads them afterwards.
export function takeDrop(dataTransfer) {
  const items = [...(dataTransfer.items || [])].filter((item) => item.kind === 'file');
  const entries = items.map((item) => (item.webkitGetAsEntry ? item.webkitGetAsEntry() : null));
  if (entries.length > 0 && entries.every(Boolean)) return { entries };
  return { files: [...dataTransfer.files] };
}

// Resolves to [{ file, path } or { path, error }], and whether a folder
// was among them.
export async function gatherDropped(taken) {
  if (taken.files) return { found: filesChosen(taken.files), folders: false };
  const found = [];
  for (const entry of taken.entries) await gather(entry, 0, found);
  return { found, folders: taken.entries.some((entry) => entry.isDirectory) };
}

const pathOf = (entry) => entry.fullPath.replace(/^\//, '') || entry.name;

async function gather(entry, depth, found) {
  try {
    if (entry.isFile) {
      found.push({ file: await new Promise((done, fail) => entry.file(done, fail)), path: pathOf(entry) });
      return;
    }
    if (depth === MaxDepth) throw new Error(`folders nested deeper than ${MaxDepth}`);
    const children = await entriesIn(entry);
    children.sort((a, b) => byPath({ path: a.name }, { path: b.name }));
    for (const child of children) await gather(child, depth + 1, found);
  } catch (error) {
    found.push({ path: pathOf(entry), error: String(error && error.message || error) });
  }
}

// A folder's reader gives its entries a batch at a time, until an empty one.
async function entriesIn(folder) {
  const reader = folder.createReader();
  const all = [];
  for (;;) {
    const batch = await new Promise((done, fail) => reader.readEntries(done, fail));
    if (batch.length === 0) return all;
    all.push(...batch);
  }
}
