// The engine: the WebAssembly module that runs soundcut and d88list as they
// run on a console, and maps an image's disks. Its binary is compiled once;
// every run (soundcut, d88list, the map, a whole listing) gets a fresh
// instance of it, as every console run gets a fresh process, so nothing of
// one run or image can reach the next. Off the page's thread where the
// browser allows (a worker), on the page otherwise.

// Returns { run(bytes, onStage), listing(bytes), facts() }, each a Promise. Its source also
// becomes the worker's, so it uses nothing of the page or of another
// module, only what the browser gives.
//
// The image is held once: every instance's file system is handed the one
// buffer the page gave (none of them writes it), and each instance is
// dropped, its file unlinked, before the next is made.
function makeEngine(createModule, wasmBinary) {
  const ListingShown = 256 * 1024;
  // The whole listing stops here: only tracks that share their records can
  // list to more than the image's own size, and no image is over 256 MiB.
  const WholeListingLimit = 256 * 1024 * 1024;
  // It is kept in pieces of this size, each a Blob of its own, so that the
  // module's output is never all held at once.
  const ListingPiece = 16 * 1024 * 1024;
  // The map's records: a track's first ones and every one the boot sector
  // or a region needs are shown, and of the rest at most this many in all,
  // so that the map of any image stays small (under 1 MB: each record is
  // a JSON object with its fields named) and quick to make.
  const MapRecordBudget = 6500;
  const compiled = WebAssembly.compile(wasmBinary);

  // A new instance of the module, with its standard output and error
  // handed, in the order they were written (soundcut flushes its output
  // before each error line), to `take(stream, bytes)`, through two devices
  // (a file that grew by each write would be copied again and again). Past
  // `outLimit` bytes, or where `take` takes no more, a write to standard
  // output fails, as a full disk would make it.
  // A failed instantiation rejects it (the module itself would wait for
  // ever).
  const instance = (outLimit, take) => compiled.then((wasmModule) => new Promise((resolve, reject) => {
    createModule({
      print() {}, printErr() {},
      instantiateWasm(imports, receive) {
        WebAssembly.instantiate(wasmModule, imports).then((made) => receive(made, wasmModule), reject);
        return {};
      },
    }).then(resolve, reject);
  })).then((Module) => {
    const FS = Module.FS;
    const written = { outSize: 0, outFailed: false };
    ['out', 'err'].forEach((stream, index) => {
      const device = FS.makedev(64, index);
      FS.registerDevice(device, {
        open() {}, close() {}, read() { return 0; },
        write(_, buffer, offset, length) {
          const room = stream === 'out' ? Math.min(length, outLimit - written.outSize) : length;
          const taken = room > 0 && take(stream, buffer.slice(offset, offset + room)) ? room : 0;
          if (stream === 'out') written.outSize += taken;
          if (taken < length) {
            if (stream === 'out') written.outFailed = true;
            throw new FS.ErrnoError(29);
          }
          return length;
        },
      });
      FS.mkdev(`/capture-${stream}`, device);
    });
    const call = (name, ...args) => Module.ccall(name, 'number',
      args.map((arg) => (typeof arg === 'number' ? 'number' : 'string')), args);
    const read = (path) => {
      try {
        return FS.readFile(path);
      } catch {
        return null;
      }
    };
    return { FS, call, read, written };
  });

  const joined = (chunks) => {
    const bytes = new Uint8Array(chunks.reduce((sum, chunk) => sum + chunk.length, 0));
    let at = 0;
    for (const chunk of chunks) { bytes.set(chunk, at); at += chunk.length; }
    return bytes;
  };
  const bytesOf = (chunks, stream) => joined(chunks.filter((chunk) => chunk.stream === stream).map((chunk) => chunk.bytes));

  // What making fresh instances has cost so far, in milliseconds.
  let instanceMs = 0;

  // One call of `entry` on the image in a fresh instance, then the calls in
  // `then` (each [name, ...args]) in the same instance: the entry's exit
  // code, whether its output was all taken, and the files named in `files`
  // and then in `moreFiles(filesRead)` as the calls left them. Nothing else
  // of the instance outlives the call.
  const runOnce = async (entry, image, { outLimit = Infinity, take = () => true, files = [], moreFiles = () => [],
    args = [], then = [] } = {}) => {
    const started = performance.now();
    const program = await instance(outLimit, take);
    instanceMs += performance.now() - started;
    program.FS.writeFile('/image.d88', image, { canOwn: true });
    const code = program.call(entry, 'image.d88', ...args);
    program.FS.unlink('/image.d88');
    for (const [name, ...rest] of then) program.call(name, ...rest);
    const left = {};
    const keep = (name) => {
      const bytes = program.read(`/${name}`);
      if (bytes) left[name] = bytes;
    };
    files.forEach(keep);
    moreFiles(left).forEach(keep);
    return { code, whole: !program.written.outFailed, files: left };
  };
  const jsonOf = (bytes) => JSON.parse(new TextDecoder().decode(bytes));
  const captured = () => {
    const chunks = [];
    const take = (stream, bytes) => {
      chunks.push({ stream, bytes });
      return true;
    };
    return { chunks, take };
  };

  return {
    // soundcut's run of the image, with what the module says of it: its
    // outcome (the verdict, and where each file came from), the game's facts
    // it went by (file names, marks, regions) and the image's document for
    // the map; and d88list's listing's beginning.
    // `onStage` hears each stage as it begins: cutting, listing, mapping.
    async run(image, onStage = () => {}) {
      instanceMs = 0;
      onStage('cutting');
      const timings = { start: performance.now() };
      const imageBytes = image.length;
      const cutOutput = captured();
      // The outcome and the facts come from the instance that ran soundcut;
      // the facts name the files it may have written.
      const fileNames = (read) => jsonOf(read['facts.json']).regions.map((region) => region.file);
      const cut = await runOnce('RunSoundcutOn', image, { take: cutOutput.take,
        args: ['/capture-out', '/capture-err'],
        then: [['WriteSoundcutOutcome', '/outcome.json'], ['WriteGameFacts', '/facts.json']],
        files: ['outcome.json', 'facts.json'], moreFiles: fileNames });
      const { 'outcome.json': outcomeBytes, 'facts.json': factsBytes, ...files } = cut.files;
      const outcome = jsonOf(outcomeBytes);
      const facts = jsonOf(factsBytes);
      // Both streams also as one, in the order written, as a console shows
      // them.
      const chunks = cutOutput.chunks;
      const merged = joined(chunks.map((chunk) => chunk.bytes));
      const soundcut = { code: cut.code, out: bytesOf(chunks, 'out'), err: bytesOf(chunks, 'err'), merged };
      timings.soundcut = performance.now();
      // Its beginning only: a listing may run to hundreds of MB, which are
      // made when asked for (listing() below).
      onStage('listing');
      const listOutput = captured();
      const preview = await runOnce('RunD88ListOn', image, { outLimit: ListingShown, take: listOutput.take,
        args: ['/capture-out', '/capture-err'] });
      const d88list = { code: preview.code, head: bytesOf(listOutput.chunks, 'out'), whole: preview.whole,
        err: bytesOf(listOutput.chunks, 'err') };
      timings.d88list = performance.now();
      // Where the image cannot be opened there is no document: no disk.
      onStage('mapping');
      const mapper = await runOnce('WriteImageJsonOf', image, { files: ['map.json'], args: ['/map.json', MapRecordBudget] });
      const mapBytes = mapper.files['map.json'] || new TextEncoder().encode('{"disks":[]}');
      const map = jsonOf(mapBytes);
      timings.map = performance.now();
      timings.instances = instanceMs;
      return { imageBytes, soundcut, outcome, facts, d88list, map, mapBytes: mapBytes.length, files, timings };
    },
    // The game's facts alone (file names, marks, regions), for a view that
    // needs them before any image is read.
    async facts() {
      const program = await instance(0, () => true);
      if (program.call('WriteGameFacts', '/facts.json') !== 0) throw new Error('the game\'s facts could not be written');
      return jsonOf(program.read('/facts.json'));
    },
    // The whole listing of an image, as a Blob of pieces: { blob, whole,
    // refused }. Past WholeListingLimit it stops (whole is false); where the
    // browser would not keep a piece (refused), it ends before that piece.
    async listing(image) {
      const pieces = [];
      let pending = [];
      let pendingBytes = 0;
      let refused = false;
      const keepPending = () => {
        try {
          pieces.push(new Blob(pending));
        } catch {
          refused = true;
        }
        pending = [];
        pendingBytes = 0;
        return !refused;
      };
      const take = (stream, bytes) => {
        if (stream !== 'out') return true;
        if (refused) return false;
        pending.push(bytes);
        pendingBytes += bytes.length;
        return pendingBytes < ListingPiece || keepPending();
      };
      const listed = await runOnce('RunD88ListOn', image, { outLimit: WholeListingLimit, take,
        args: ['/capture-out', '/capture-err'] });
      if (!refused) keepPending();
      // A piece the browser could not hold cannot be read back.
      let kept = 0;
      for (; kept < pieces.length; ++kept) {
        try {
          await pieces[kept].slice(0, 1).arrayBuffer();
        } catch {
          refused = true;
          break;
        }
      }
      return { blob: new Blob(pieces.slice(0, kept), { type: 'text/plain' }), whole: listed.whole && !refused,
        refused, limit: WholeListingLimit };
    },
  };
}

// The worker's side: every request carries an id and gets exactly one
// reply with it, its result or its error (also when its result cannot be
// sent); requests are served one at a time, in the order they came, and
// one that fails leaves the next untouched. Its source becomes the
// worker's with makeEngine's, which it is handed.
function workerMain(makeEngine) {
  let engine = null;
  let queue = Promise.resolve();
  const serve = async (message) => {
    if (message.kind === 'run') {
      const result = await engine.run(new Uint8Array(message.image), (stage) => self.postMessage({ id: message.id, stage }));
      const buffers = [result.soundcut.out, result.soundcut.err, result.d88list.head, result.d88list.err,
        ...Object.values(result.files)].map((bytes) => bytes.buffer);
      return { result, buffers };
    }
    if (message.kind === 'facts') return { result: await engine.facts(), buffers: [] };
    if (message.kind === 'listing') return { result: await engine.listing(new Uint8Array(message.image)), buffers: [] };
    throw new Error(`unknown request ${message.kind}`);
  };
  const answer = async (message) => {
    let failure;
    try {
      const { result, buffers } = await serve(message);
      self.postMessage({ id: message.id, result }, buffers);
      return;
    } catch (error) {
      // A line for a person: the error's kind and message, never its stack.
      failure = error && error.message && error.name !== 'Error' ? `${error.name}: ${error.message}`
        : (error && error.message) || String(error);
    }
    try {
      self.postMessage({ id: message.id, error: failure });
    } catch (error) {
      // Not even a line of text can be sent: the worker's error event
      // tells the page instead.
      setTimeout(() => { throw error; });
    }
  };
  self.onmessage = (event) => {
    const message = event.data;
    if (message.wasm) {
      try {
        engine = makeEngine(self.createSoundcutModule, message.wasm);
        self.postMessage({ ready: true });
      } catch (error) {
        self.postMessage({ failed: String(error) });
      }
      return;
    }
    queue = queue.then(() => answer(message));
  };
}

// The module's binary, kept beside its script as base64 text, so that the
// module never tries to fetch it.
function wasmBinary() {
  const text = atob(document.getElementById('wasm').textContent.trim());
  return Uint8Array.from(text, (ch) => ch.charCodeAt(0));
}

// Resolves to { run(bytes, onStage), listing(bytes), facts() }, each resolving to its result
// or rejecting with what went wrong: in a worker where the browser allows
// one, on the page otherwise.
export function startEngine() {
  const binary = wasmBinary();
  const onPage = () => makeEngine(window.createSoundcutModule, binary);
  let worker;
  try {
    const source = `${document.getElementById('engine').textContent}\n(${workerMain})(${makeEngine});`;
    worker = new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
    worker.postMessage({ wasm: binary });
  } catch {
    return Promise.resolve(onPage());
  }
  return new Promise((resolve) => {
    const pending = new Map();
    let nextId = 0;
    let ready = false;
    const ask = (message, transfer = [], onStage = () => {}) => new Promise((done, fail) => {
      const id = ++nextId;
      pending.set(id, { done, fail, onStage });
      worker.postMessage({ id, ...message }, transfer);
    });
    const failAll = (reason) => {
      for (const { fail } of pending.values()) fail(new Error(reason));
      pending.clear();
    };
    worker.onmessage = (event) => {
      const data = event.data;
      if (data.ready) {
        ready = true;
        document.body.dataset.engine = 'worker';
        resolve({
          run: (bytes, onStage) => ask({ kind: 'run', image: bytes.buffer }, [bytes.buffer], onStage),
          listing: (bytes) => ask({ kind: 'listing', image: bytes.buffer }, [bytes.buffer]),
          facts: () => ask({ kind: 'facts' }),
        });
      } else if (data.failed) {
        worker.terminate();
        resolve(onPage());
      } else if (data.stage) {
        if (pending.has(data.id)) pending.get(data.id).onStage(data.stage);
      } else if (pending.has(data.id)) {
        const request = pending.get(data.id);
        pending.delete(data.id);
        if ('error' in data) request.fail(new Error(data.error));
        else request.done(data.result);
      }
    };
    // Some browsers refuse a worker on a file:// page: run on the page.
    // Once running, an error nothing caught fails what was asked.
    worker.onerror = (event) => {
      event.preventDefault();
      if (ready) {
        failAll(event.message || 'the engine failed');
        return;
      }
      worker.terminate();
      resolve(onPage());
    };
  });
}
