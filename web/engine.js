// The engine: the WebAssembly module that runs soundcut and d88list as they
// run on a console, and maps an image's disks. Its binary is compiled once.
// An image opened gets a fresh instance for each run (soundcut, d88list,
// the map, a whole listing), as every console run gets a fresh process.
// A collection's images are read by one instance, kept for them, which runs
// soundcut alone on each and writes its outcome: why nothing of one image
// reaches the next there is said at readerOf below. Off the page's thread
// where the browser allows (a worker), on the page otherwise.

// Returns { run(bytes, onStage), listing(bytes), facts(), outcomes(files, heard, stopped, stagesFrom) },
// each a Promise. Its source also
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
  const utf8 = new TextDecoder();
  const jsonOf = (bytes) => JSON.parse(utf8.decode(bytes));
  const captured = () => {
    const chunks = [];
    const take = (stream, bytes) => {
      chunks.push({ stream, bytes });
      return true;
    };
    return { chunks, take };
  };

  // A failure in words for a person: its kind where that tells something,
  // and its message; never a stack.
  const reasonOf = (error) => {
    if (!error || !error.message) return String(error);
    return error.name && error.name !== 'Error' ? `${error.name}: ${error.message}` : error.message;
  };

  // The instance that reads a collection's images, one after another, made
  // when first needed and kept: making one costs more than a small image's
  // whole run. Sharing it is safe because soundcut is built to run many
  // times in one process (a run starts its report, its reader and its
  // output afresh, and the module reopens both standard streams for each
  // run, their error flags cleared), and because before each image every
  // file the image before left (the image itself, its outcome, the four
  // files, a temporary file) is removed and its captured output dropped: the
  // next run finds the file system and the streams as the first one did.
  // An instance whose run failed is dropped: the next image gets a new one.
  let reader = null;
  const readerOf = () => {
    reader = reader || instance(Infinity, () => true).then((made) => {
      const firstFiles = new Set(made.FS.readdir('/'));
      const clear = () => {
        for (const name of made.FS.readdir('/')) if (!firstFiles.has(name)) made.FS.unlink(`/${name}`);
        made.written.outSize = 0;
        made.written.outFailed = false;
      };
      return { ...made, clear };
    });
    reader.catch(() => { reader = null; });
    return reader;
  };
  // soundcut's outcome for one image, in the reader; nothing of the image
  // is left in it afterwards.
  const outcomeIn = (made, bytes) => {
    made.clear();
    made.FS.writeFile('/image.d88', bytes, { canOwn: true });
    try {
      if (made.call('RunSoundcutOn', 'image.d88', '/capture-out', '/capture-err') < 0) throw new Error('soundcut could not be run');
      if (made.call('WriteSoundcutOutcome', '/outcome.json') !== 0) throw new Error('the outcome could not be written');
      return jsonOf(made.read('/outcome.json'));
    } finally {
      made.clear();
    }
  };
  // A file's bytes, or why it cannot be read (`refused` where the browser
  // refuses this thread the file: WebKit's worker, from file://); an image
  // the page read already is handed over as { bytes } or { error }.
  const sizeOf = (item) => (item instanceof Blob ? item.size : (item.bytes && item.bytes.length) || 0);
  const bytesOfFile = (item) => (!(item instanceof Blob) ? Promise.resolve(item)
    : item.arrayBuffer().then((buffer) => ({ bytes: new Uint8Array(buffer) }),
      (error) => ({ error: reasonOf(error), refused: error && error.name === 'NotReadableError' })));
  // Reading a file costs about a millisecond whatever its size (the
  // browser opens it for every read), so the files after the one in hand
  // are read meanwhile: this many at most, and no more bytes than this.
  const ReadAhead = 8;
  const ReadAheadBytes = 32 * 1024 * 1024;
  const readerAhead = (files) => {
    const reads = [];
    let next = 0;
    let bytesAhead = 0;
    return (index) => {
      while (next < files.length && (next <= index
        || (next - index <= ReadAhead && bytesAhead + sizeOf(files[next]) <= ReadAheadBytes))) {
        reads[next] = bytesOfFile(files[next]);
        bytesAhead += sizeOf(files[next]);
        next += 1;
      }
      const read = reads[index];
      reads[index] = null;
      bytesAhead -= sizeOf(files[index]);
      return read;
    };
  };
  // One image's outcome, from its bytes, or why there is none.
  const outcomeOfBytes = async (read) => {
    if (read.error !== undefined) return { error: read.error };
    try {
      return outcomeIn(await readerOf(), read.bytes);
    } catch (error) {
      reader = null;
      return { error: reasonOf(error) };
    }
  };
  // Lets the messages that came meanwhile (a request to stop) be heard.
  const nextTask = () => new Promise((go) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => { channel.port1.close(); go(); };
    channel.port2.postMessage(null);
  });
  // Outcomes are handed over in groups, every so many milliseconds, and
  // requests to stop heard as often: a message per small image would cost
  // more than its run.
  const OutcomesEvery = 8;

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
      const made = await readerOf();
      made.clear();
      try {
        if (made.call('WriteGameFacts', '/facts.json') !== 0) throw new Error('the game\'s facts could not be written');
        return jsonOf(made.read('/facts.json'));
      } finally {
        made.clear();
      }
    },
    // soundcut's outcome (outcome_document.h) for each of `files` (File
    // objects), for a collection's table: the listing and the map wait until
    // a row is opened. `heard.outcomes(from, list)` is handed them in order
    // as they come, each the outcome document or { error } where the file
    // could not be read or the run failed; `heard.stage(index, stage)` the
    // stages of an image over `stagesFrom` bytes. Once `stopped()` says so,
    // it stops after the image in hand. Resolves to the number of files
    // read; to -1 where the browser refuses the first file to this thread.
    // An item of `files` may also be an image the page read.
    async outcomes(files, heard, stopped, stagesFrom) {
      let done = [];
      let from = 0;
      let handed = performance.now();
      const handOver = () => {
        if (done.length > 0) heard.outcomes(from, done);
        from += done.length;
        done = [];
        handed = performance.now();
      };
      const readAt = readerAhead(files);
      for (let index = 0; index < files.length; ++index) {
        const staged = sizeOf(files[index]) > stagesFrom;
        const stage = (name) => {
          if (!staged) return;
          handOver();
          heard.stage(index, name);
        };
        stage('reading');
        const read = await readAt(index);
        if (read.refused && index === 0 && typeof window === 'undefined') return -1;
        stage('cutting');
        done.push(await outcomeOfBytes(read));
        if (performance.now() - handed >= OutcomesEvery || staged) {
          handOver();
          await nextTask();
        }
        if (stopped()) break;
      }
      handOver();
      return from;
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
function workerMain(makeEngine, binaryOf) {
  let engine = null;
  let queue = Promise.resolve();
  // The collections' requests asked to stop: heard at once, between two
  // images, not in the queue.
  const stops = new Set();
  // Requests are served in the order of their ids: a stop for one served
  // already is not kept.
  let lastServed = 0;
  const serve = async (message) => {
    if (message.kind === 'run') {
      const result = await engine.run(new Uint8Array(message.image), (stage) => self.postMessage({ id: message.id, stage }));
      const buffers = [result.soundcut.out, result.soundcut.err, result.d88list.head, result.d88list.err,
        ...Object.values(result.files)].map((bytes) => bytes.buffer);
      return { result, buffers };
    }
    if (message.kind === 'facts') return { result: await engine.facts(), buffers: [] };
    if (message.kind === 'outcomes') {
      const heard = {
        outcomes: (from, outcomes) => self.postMessage({ id: message.id, outcomes, from }),
        stage: (index, stage) => self.postMessage({ id: message.id, stage, index }),
      };
      try {
        return { result: await engine.outcomes(message.files, heard, () => stops.has(message.id), message.stagesFrom),
          buffers: [] };
      } finally {
        stops.delete(message.id);
      }
    }
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
    if (message.kind === 'stop') {
      if (message.of > lastServed) stops.add(message.of);
      return;
    }
    if (message.wasm) {
      try {
        engine = makeEngine(self.createSoundcutModule, binaryOf(message.wasm));
        self.postMessage({ ready: true });
      } catch (error) {
        self.postMessage({ failed: String(error) });
      }
      return;
    }
    queue = queue.then(() => answer(message)).then(() => { lastServed = message.id; });
  };
}

// The module's binary, kept beside its script as base64 text, so that the
// module never tries to fetch it. Decoded where it is compiled: in the
// worker, off the page's thread, or on the page where there is no worker.
function binaryOf(base64) {
  const text = atob(base64);
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
  return bytes;
}

// A failure in words for a person: its kind where that tells something,
// and its message; never a stack. (The worker's code, made from the
// functions above as text, has its own.)
export const reasonOf = (error) => {
  if (!error || !error.message) return String(error);
  return error.name && error.name !== 'Error' ? `${error.name}: ${error.message}` : error.message;
};

// Resolves to the engine: { run(bytes, onStage), listing(bytes), facts(),
// outcomes(files, heard, stagesFrom), stop() }, each but stop resolving to
// its result or rejecting with what went wrong: in a worker where the
// browser allows one, on the page otherwise. stop() asks the outcomes
// under way to stop after the image in hand.
export function startEngine() {
  const base64 = document.getElementById('wasm').textContent.trim();
  const engineSource = document.getElementById('engine').textContent;
  // The module's script is only text in the page, which a worker runs; on
  // the page it runs once it is needed (the page's policy allows it by its
  // hash).
  const onPage = () => {
    if (!window.createSoundcutModule) {
      document.head.append(Object.assign(document.createElement('script'), { textContent: engineSource }));
    }
    const engine = makeEngine(window.createSoundcutModule, binaryOf(base64));
    let stopAsked = false;
    return { ...engine,
      outcomes(files, heard, stagesFrom) {
        stopAsked = false;
        return engine.outcomes(files, heard, () => stopAsked, stagesFrom);
      },
      stop() { stopAsked = true; } };
  };
  let worker;
  try {
    const source = `${engineSource}\n(${workerMain})(${makeEngine}, ${binaryOf});`;
    worker = new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
    worker.postMessage({ wasm: base64 });
  } catch {
    return Promise.resolve(onPage());
  }
  return new Promise((resolve) => {
    const pending = new Map();
    let nextId = 0;
    let ready = false;
    let outcomesId = null;
    // `onProgress` hears what the worker says of the request before its
    // answer: stages, and a collection's outcomes as they come.
    const ask = (message, transfer = [], onProgress = () => {}) => new Promise((done, fail) => {
      const id = ++nextId;
      pending.set(id, { done, fail, onProgress });
      worker.postMessage({ id, ...message }, transfer);
      if (message.kind === 'outcomes') outcomesId = id;
    });
    // Where the worker may not read the user's files, the page reads them,
    // some at a time, and hands the bytes over.
    let pageReads = false;
    let stopAsked = false;
    const outcomesOf = (items, offset, transfer, heard, stagesFrom) => ask({ kind: 'outcomes', files: items, stagesFrom },
      transfer, (said) => {
        if (said.outcomes) heard.outcomes(offset + said.from, said.outcomes);
        else heard.stage(offset + said.index, said.stage);
      });
    const PageReadsAtOnce = 32;
    const PageReadBytes = 32 * 1024 * 1024;
    const outcomesReadOnPage = async (files, heard, stagesFrom) => {
      let start = 0;
      while (start < files.length && !stopAsked) {
        let end = start;
        let bytes = 0;
        while (end < files.length && end - start < PageReadsAtOnce && (end === start || bytes + files[end].size <= PageReadBytes)) {
          bytes += files[end].size;
          end += 1;
        }
        const items = await Promise.all(files.slice(start, end).map((file) => file.arrayBuffer()
          .then((buffer) => ({ bytes: new Uint8Array(buffer) }), (error) => ({ error: reasonOf(error) }))));
        const read = await outcomesOf(items, start, items.filter((item) => item.bytes).map((item) => item.bytes.buffer),
          heard, stagesFrom);
        start += read;
        if (read < end - (start - read)) break;  // stopped after the image in hand
      }
      return start;
    };
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
          run: (bytes, onStage) => ask({ kind: 'run', image: bytes.buffer }, [bytes.buffer], (said) => onStage(said.stage)),
          listing: (bytes) => ask({ kind: 'listing', image: bytes.buffer }, [bytes.buffer]),
          facts: () => ask({ kind: 'facts' }),
          async outcomes(files, heard, stagesFrom) {
            stopAsked = false;
            if (!pageReads) {
              const read = await outcomesOf(files, 0, [], heard, stagesFrom);
              if (read >= 0) return read;
              pageReads = true;
            }
            return outcomesReadOnPage(files, heard, stagesFrom);
          },
          stop: () => {
            stopAsked = true;
            if (pending.has(outcomesId)) worker.postMessage({ kind: 'stop', of: outcomesId });
          },
        });
      } else if (data.failed) {
        worker.terminate();
        resolve(onPage());
      } else if (data.stage || data.outcomes) {
        if (pending.has(data.id)) pending.get(data.id).onProgress(data);
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
