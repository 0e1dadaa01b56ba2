// Where the page's time goes (a tool to read, not a test): Chromium's
// trace of (a) a collection of 200 generated images (or of 200 blank
// disks), or (b) the page's
// start with the CPU slowed 4 times and the sample chosen as soon as the
// page takes a file, summed up per thread as self time per function (the
// V8 CPU profiler's samples) and the longest tasks.
//   node profile_page.mjs collection|blank|start     (SOUNDCUT_PAGE=other.html)
import { writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { image, launchBrowser, pagePath, scratch } from './tests/harness.mjs';

const page_ = process.env.SOUNDCUT_PAGE || pagePath;
const what = process.argv[2] || 'collection';
const browser = await launchBrowser();
const page = await browser.newPage();
const takesFiles = () => document.body && (document.body.dataset.takesFilesMs || document.body.dataset.state === 'ready');
const categories = ['devtools.timeline', 'disabled-by-default-devtools.timeline', 'v8.execute', 'v8',
  'disabled-by-default-v8.cpu_profiler', 'blink', 'toplevel'];
let trace;
if (what !== 'start') {
  // 200 generated images, or 200 blank disks (a header alone).
  const blank = Buffer.alloc(0x2B0);
  blank.writeUInt32LE(blank.length, 0x1C);
  const paths = Array.from({ length: 200 }, (_, i) => {
    if (what !== 'blank') return image(`random:${i}`);
    const path = join(scratch, `profile-blank-${i}.d88`);
    writeFileSync(path, blank);
    return path;
  });
  await page.goto(pathToFileURL(page_).href);
  await page.waitForFunction(() => document.body.dataset.state === 'ready');
  await browser.startTracing(page, { categories });
  await page.setInputFiles('#image', paths);
  await page.waitForFunction(() => document.body.dataset.collection === 'finished', null, { timeout: 120000 });
  trace = JSON.parse(await browser.stopTracing());
} else {
  const cdp = await page.context().newCDPSession(page);
  await cdp.send('Emulation.setCPUThrottlingRate', { rate: 4 });
  await browser.startTracing(page, { categories });
  await page.goto(pathToFileURL(page_).href, { waitUntil: 'commit' });
  await page.waitForFunction(takesFiles, null, { polling: 5 });
  await page.setInputFiles('#image', image('sample'));
  await page.waitForFunction(() => ['done', 'error'].includes(document.body.dataset.state), null, { polling: 5 });
  trace = JSON.parse(await browser.stopTracing());
}
await browser.close();

const events = trace.traceEvents;
const threadNames = new Map();
for (const e of events) if (e.name === 'thread_name') threadNames.set(`${e.pid}:${e.tid}`, e.args.name);
// The CPU profiler's samples, per profile (one per thread that ran script).
const profiles = new Map();
for (const e of events) {
  if (e.name === 'Profile') profiles.set(e.id, { thread: `${e.pid}:${e.tid}`, nodes: new Map(), samples: [], deltas: [] });
  if (e.name !== 'ProfileChunk') continue;
  const profile = profiles.get(e.id);
  if (!profile) continue;
  const data = e.args.data;
  for (const node of (data.cpuProfile && data.cpuProfile.nodes) || []) profile.nodes.set(node.id, node);
  profile.samples.push(...((data.cpuProfile && data.cpuProfile.samples) || []));
  profile.deltas.push(...(data.timeDeltas || []));
}
for (const profile of profiles.values()) {
  const self = new Map();
  let total = 0;
  profile.samples.forEach((id, i) => {
    const node = profile.nodes.get(id);
    const ms = (profile.deltas[i + 1] || 0) / 1000;
    const frame = node ? node.callFrame : { functionName: '?' };
    const key = `${frame.functionName || '(anonymous)'}${frame.lineNumber >= 0 ? `:${frame.lineNumber}` : ''}`;
    if (['(idle)', '(program)'].includes(frame.functionName)) return;
    self.set(key, (self.get(key) || 0) + ms);
    total += ms;
  });
  if (total < 5) continue;
  console.log(`\n${threadNames.get(profile.thread) || profile.thread}: ${total.toFixed(0)} ms sampled`);
  for (const [name, ms] of [...self].sort((a, b) => b[1] - a[1]).slice(0, 18)) console.log(`  ${ms.toFixed(1).padStart(8)} ms  ${name}`);
}
// The longest tasks of each thread, and the main thread's time by event.
const tasks = events.filter((e) => e.name === 'RunTask' && e.dur);
const byThread = new Map();
for (const t of tasks) {
  const key = `${t.pid}:${t.tid}`;
  if (!byThread.has(key)) byThread.set(key, []);
  byThread.get(key).push(t.dur / 1000);
}
for (const [key, durations] of byThread) {
  const name = threadNames.get(key) || key;
  if (!/Main|Worker/.test(name)) continue;
  const sorted = durations.sort((a, b) => b - a);
  console.log(`${name}: ${durations.length} tasks, ${durations.reduce((a, b) => a + b, 0).toFixed(0)} ms in all, longest ${sorted.slice(0, 5).map((d) => d.toFixed(1)).join(', ')} ms`);
}
const top = new Map();
for (const e of events) {
  if (e.ph !== 'X' || !e.dur || !/CrRendererMain|DedicatedWorker/.test(threadNames.get(`${e.pid}:${e.tid}`) || '')) continue;
  const key = `${threadNames.get(`${e.pid}:${e.tid}`)} ${e.name}`;
  top.set(key, (top.get(key) || 0) + e.dur / 1000);
}
console.log('\ntime by trace event (nested events counted in each):');
for (const [k, ms] of [...top].sort((a, b) => b[1] - a[1]).slice(0, 30)) console.log(`  ${ms.toFixed(1).padStart(8)} ms  ${k}`);

// The main thread's and the worker's timeline: what ran longer than 5 ms,
// from the first task of the page.
const navigation = events.find((e) => e.name === 'navigationStart' || e.name === 'NavigationTimingStart');
const origin = navigation ? navigation.ts : Math.min(...events.filter((e) => e.ts > 0).map((e) => e.ts));
const interesting = ['ParseHTML', 'EvaluateScript', 'FunctionCall', 'Layout', 'Paint', 'v8.compile', 'HandlePostMessage',
  'EventDispatch', 'TimerFire', 'FireAnimationFrame', 'v8.wasm.compileLazy', 'v8.wasm.compiledModule', 'wasm.SyncCompile', 'wasm.AsyncCompile'];
console.log('\ntimeline (ms from navigation):');
for (const e of events.filter((x) => x.ph === 'X' && x.dur > 5000 && interesting.includes(x.name)).sort((a, b) => a.ts - b.ts)) {
  const thread = threadNames.get(`${e.pid}:${e.tid}`) || '';
  if (!/CrRendererMain|DedicatedWorker/.test(thread)) continue;
  const d = (e.args && e.args.data) || {};
  const what = d.functionName || d.url ? `${d.functionName || ''} ${(d.url || '').slice(-30)}:${d.lineNumber || ''}` : d.type || '';
  console.log(`  ${((e.ts - origin) / 1000).toFixed(0).padStart(6)} +${(e.dur / 1000).toFixed(1).padStart(6)}  ${thread.slice(0, 12)} ${e.name} ${what}`);
}
