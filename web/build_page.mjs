// Puts the page together into one self-contained file:
//   node build_page.mjs ENGINE.js NPM_FOLDER OUTPUT.html
// ENGINE.js is the WebAssembly module with its binary embedded; it, its
// binary, the page's script and its style are inlined into page.html. The
// page's script is its modules (page.js and what it imports, the zip
// library from NPM_FOLDER's node_modules among them) bundled into one by
// esbuild, installed there too. The Content-Security-Policy allows exactly
// these inline scripts and style (by their SHA-256), WebAssembly, workers
// made from the page's own code, and no network connection of any kind.
import { createHash } from 'node:crypto';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const [enginePath, npmFolder, outputPath] = process.argv.slice(2);
const here = dirname(fileURLToPath(import.meta.url));
const read = (path) => readFileSync(path, 'utf8');
const nodeModules = join(resolve(npmFolder), 'node_modules');
const esbuild = createRequire(join(nodeModules, 'index.js'))('esbuild');

// "</script" inside an inline script would end it early.
const inlineSafe = (code) => code.replace(/<\/script/gi, '<\\/script');
const hash = (text) => `'sha256-${createHash('sha256').update(text, 'utf8').digest('base64')}'`;

// The module's binary is embedded in its script as a data: address, which
// the script would try to fetch (and the policy refuses): it moves into a
// script element of its own, as base64 text the page hands the module.
const embedded = /wasmBinaryFile\s*=\s*"data:application\/octet-stream;base64,([A-Za-z0-9+/=]+)"/;
const withBinary = read(enginePath);
const wasm = withBinary.match(embedded);
if (!wasm) throw new Error(`${enginePath}: no embedded WebAssembly binary found`);
const engine = inlineSafe(withBinary.replace(embedded, 'wasmBinaryFile=""'));

// Not minified: the engine's functions become the worker's source as they
// are written, and stay readable in the page.
const bundled = await esbuild.build({
  entryPoints: [join(here, 'page.js')],
  bundle: true,
  format: 'iife',
  platform: 'browser',
  // The zip library the build installed, never another copy that an npm
  // install in web/ (for the tests) put nearer the sources.
  alias: { fflate: join(nodeModules, 'fflate') },
  absWorkingDir: dirname(here),
  legalComments: 'inline',
  write: false,
  logLevel: 'warning',
});
const script = inlineSafe(bundled.outputFiles[0].text);
const style = read(join(here, 'page.css'));

const policy = [
  "default-src 'none'",
  `script-src ${hash(engine)} ${hash(script)} 'wasm-unsafe-eval'`,
  `style-src ${hash(style)}`,
  'worker-src blob:',
  "connect-src 'none'",
  'img-src data:',
  "base-uri 'none'",
  "form-action 'none'",
].join('; ');

const page = read(join(here, 'page.html'))
  .replace('@POLICY@', () => policy)
  .replace('@STYLE@', () => style)
  .replace('@WASM@', () => wasm[1])
  .replace('@ENGINE@', () => engine)
  .replace('@SCRIPT@', () => script);
mkdirSync(dirname(outputPath), { recursive: true });
writeFileSync(outputPath, page);
console.log(`${outputPath}: ${Buffer.byteLength(page)} bytes`);
