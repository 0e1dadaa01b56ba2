// The engine: the WebAssembly module that runs soundcut and d88list as they
// run on a console, and maps an image's disks. Its binary is compiled once;
// every run (soundcut, d88list, the map, a whole listing) gets a fresh
// instance of it, as every console run gets a fresh process, so nothing of
// one run or image can reach the next. Off the page's thread where the
// browser allows (a worker), on the page otherwise.

// Returns { run(bytes), listing(bytes) }, each a Promise. Its source also
// becomes the worker's, so it uses nothing else of the page.
function makeEngine(createModule, wasmBinary) {
  const OutputFiles = ['PSGDRV', 'OPMDRV', 'PSGMUS', 'OPMMUS'];
  const ListingShown = 256 * 1024;
  const compiled = WebAssembly.compile(wasmBinary);

  // A new instance of the module, with its standard output and error
  // captured in the order they were written (soundcut flushes its output
  // before each error line), through two devices (a file that grew by each
  // write would be copied again and again). Past `outLimit` bytes a write
  // to standard output fails, as a full disk would make it.
  // A failed instantiation rejects it (the module itself would wait for
  // ever).
  const instance = (outLimit) => compiled.then((wasmModule) => new Promise((resolve, reject) => {
    createModule({
      print() {}, printErr() {},
      instantiateWasm(imports, receive) {
        WebAssembly.instantiate(wasmModule, imports).then((made) => receive(made, wasmModule), reject);
        return {};
      },
    }).then(resolve, reject);
  })).then((Module) => {
    const FS = Module.FS;
    const captured = { chunks: [], outSize: 0 };
    ['out', 'err'].forEach((stream, index) => {
      const device = FS.makedev(64, index);
      FS.registerDevice(device, {
        open() {}, close() {}, read() { return 0; },
        write(_, buffer, offset, length) {
          const room = stream === 'out' ? Math.min(length, outLimit - captured.outSize) : length;
          captured.chunks.push({ stream, bytes: buffer.slice(offset, offset + room) });
          if (stream === 'out') captured.outSize += room;
          if (room < length) throw new FS.ErrnoError(29);
          return length;
        },
      });
      FS.mkdev(`/capture-${stream}`, device);
    });
    const call = (name, ...args) => Module.ccall(name, 'number', args.map(() => 'string'), args);
    const take = (path) => {
      try {
        return FS.readFile(path);
      } catch (error) {
        return null;
      }
    };
    return { FS, call, take, captured };
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
  const freshInstance = async (outLimit) => {
    const started = performance.now();
    const made = await instance(outLimit);
    instanceMs += performance.now() - started;
    return made;
  };

  // One program on the image in a fresh instance.
  const runProgram = async (entry, image, outLimit = Infinity) => {
    const program = await freshInstance(outLimit);
    program.FS.writeFile('/image.d88', image);
    const code = program.call(entry, 'image.d88', '/capture-out', '/capture-err');
    return { program, code, full: program.captured.outSize < outLimit, chunks: program.captured.chunks };
  };

  return {
    async run(image) {
      instanceMs = 0;
      const timings = { start: performance.now() };
      const cut = await runProgram('RunSoundcutOn', image);
      const files = {};
      for (const name of OutputFiles) {
        const file = cut.program.take(`/${name}`);
        if (file) files[name] = file;
      }
      // Both streams also as one, in the order written, as a console shows
      // them: the page tells from it which disk each message belongs to.
      const merged = joined(cut.chunks.map((chunk) => chunk.bytes));
      const soundcut = { code: cut.code, out: bytesOf(cut.chunks, 'out'), err: bytesOf(cut.chunks, 'err'), merged };
      timings.soundcut = performance.now();
      // Its beginning only: a listing may run to hundreds of MB, which are
      // made when asked for (listing() below).
      const preview = await runProgram('RunD88ListOn', image, ListingShown);
      const d88list = { code: preview.code, head: bytesOf(preview.chunks, 'out'), whole: preview.full,
        err: bytesOf(preview.chunks, 'err') };
      timings.d88list = performance.now();
      const mapper = await freshInstance(Infinity);
      mapper.FS.writeFile('/image.d88', image);
      mapper.call('WriteDiskMapOf', 'image.d88', '/map.json');
      const mapBytes = mapper.take('/map.json') || new TextEncoder().encode('{"disks":[]}');
      const map = JSON.parse(new TextDecoder().decode(mapBytes));
      timings.map = performance.now();
      timings.instances = instanceMs;
      return { soundcut, d88list, map, mapBytes: mapBytes.length, files, timings };
    },
    // The whole listing of an image, as a Blob.
    async listing(image) {
      const whole = await runProgram('RunD88ListOn', image);
      return new Blob(whole.chunks.filter((chunk) => chunk.stream === 'out').map((chunk) => chunk.bytes),
        { type: 'text/plain' });
    },
  };
}

// The worker's side: every request carries an id and gets exactly one
// reply with it, its result or its error; requests are served one at a
// time, in the order they came.
function workerMain() {
  let engine = null;
  let queue = Promise.resolve();
  const serve = async (message) => {
    if (message.kind === 'run') {
      const result = await engine.run(new Uint8Array(message.image));
      const buffers = [result.soundcut.out, result.soundcut.err, result.d88list.head, result.d88list.err,
        ...Object.values(result.files)].map((bytes) => bytes.buffer);
      return { result, buffers };
    }
    if (message.kind === 'listing') return { result: await engine.listing(new Uint8Array(message.image)), buffers: [] };
    throw new Error(`unknown request ${message.kind}`);
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
    queue = queue.then(() => serve(message)).then(
      ({ result, buffers }) => self.postMessage({ id: message.id, result }, buffers),
      (error) => self.postMessage({ id: message.id, error: String(error && error.stack || error) }));
  };
}

// The module's binary, kept beside its script as base64 text, so that the
// module never tries to fetch it.
function wasmBinary() {
  const text = atob(document.getElementById('wasm').textContent.trim());
  return Uint8Array.from(text, (ch) => ch.charCodeAt(0));
}

// Resolves to { run(bytes), listing(bytes) }, each resolving to its result
// or rejecting with what went wrong: in a worker where the browser allows
// one, on the page otherwise.
function startEngine() {
  const binary = wasmBinary();
  const onPage = () => makeEngine(window.createSoundcutModule, binary);
  let worker;
  try {
    const source = `${document.getElementById('engine').textContent}\n${makeEngine}\n(${workerMain})();`;
    worker = new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
    worker.postMessage({ wasm: binary });
  } catch (error) {
    return Promise.resolve(onPage());
  }
  return new Promise((resolve) => {
    const pending = new Map();
    let nextId = 0;
    let ready = false;
    const ask = (message, transfer = []) => new Promise((done, fail) => {
      const id = ++nextId;
      pending.set(id, { done, fail });
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
          run: (bytes) => ask({ kind: 'run', image: bytes.buffer }, [bytes.buffer]),
          listing: (bytes) => ask({ kind: 'listing', image: bytes.buffer }, [bytes.buffer]),
        });
      } else if (data.failed) {
        worker.terminate();
        resolve(onPage());
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
