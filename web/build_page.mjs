// Puts the page together into one self-contained file:
//   node build_page.mjs ENGINE.js FFLATE.js OUTPUT.html
// ENGINE.js is the WebAssembly module with its binary embedded; it, its
// binary, the zip library, the page's script and its style are inlined into
// page.html. The page's script is its files by concern, in this order: the
// texts, the engine and its worker, the disk map, the result, the page. The
// Content-Security-Policy allows exactly these inline scripts and style (by
// their SHA-256), WebAssembly, workers made from the page's own code, and
// no network connection of any kind.
import { createHash } from 'node:crypto';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const [enginePath, fflatePath, outputPath] = process.argv.slice(2);
const here = dirname(fileURLToPath(import.meta.url));
const read = (path) => readFileSync(path, 'utf8');

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
const fflate = inlineSafe(read(fflatePath));
const ScriptFiles = ['texts.js', 'engine.js', 'map_view.js', 'result.js', 'page.js'];
const script = inlineSafe(ScriptFiles.map((name) => read(join(here, name))).join('\n'));
const style = read(join(here, 'page.css'));

const policy = [
  "default-src 'none'",
  `script-src ${hash(engine)} ${hash(fflate)} ${hash(script)} 'wasm-unsafe-eval'`,
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
  .replace('@FFLATE@', () => fflate)
  .replace('@SCRIPT@', () => script);
mkdirSync(dirname(outputPath), { recursive: true });
writeFileSync(outputPath, page);
console.log(`${outputPath}: ${Buffer.byteLength(page)} bytes`);
