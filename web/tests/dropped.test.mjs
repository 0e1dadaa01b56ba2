// The walk through dropped folders, on entries made here as browsers give
// them: the order of names, the limits that keep a looping folder from
// running for ever, a folder that fails part-way, a walk no longer wanted.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { gatherDropped } from '../dropped.js';

const file = (path) => ({ isFile: true, name: path.split('/').pop(), fullPath: `/${path}`,
  file: (done) => done({ name: path }) });
// A folder handing out its entries two at a time; `failAfter` batches
// then an error.
const folder = (path, children, failAfter = Infinity) => ({ isFile: false, isDirectory: true,
  name: path.split('/').pop(), fullPath: `/${path}`,
  createReader() {
    let batches = 0;
    return { readEntries(done, fail) {
      if (batches === failAfter) return fail(new Error('gone'));
      const batch = children.slice(batches * 2, ++batches * 2);
      return queueMicrotask(() => done(batch));
    } };
  } });
const walk = async (entries, wanted) => (await gatherDropped({ entries }, wanted)).found
  .map((item) => item.path + (item.limit ? ` (${item.limit})` : '') + (item.error ? ` (${item.error})` : ''));

test('names in natural order, ties by code units, folders among files', async () => {
  const names = ['disk10', 'disk2', 'disk1', 'disk01', 'Disk3'];
  const top = folder('t', [...names.map((name) => file(`t/${name}`)), folder('t/disk2a', [file('t/disk2a/x')])]);
  assert.deepEqual(await walk([top]), ['t/disk01', 't/disk1', 't/disk2', 't/disk2a/x', 't/Disk3', 't/disk10']);
});

test('a folder failing part-way keeps what it gave, and says why', async () => {
  const top = folder('t', ['a', 'b', 'c'].map((name) => file(`t/${name}`)), 1);
  assert.deepEqual(await walk([top]), ['t/a', 't/b', 't (gone)']);
});

test('folders nested past 64 deep, or past 100,000 files, stop with one row that says so', async () => {
  let deep = file('end');
  for (let depth = 70; depth > 0; --depth) deep = folder(`d${depth}`, [deep]);
  assert.deepEqual((await walk([deep])), ['d65 (depth)']);
  // Its reader fails once it has given all: past the limit, that is not said.
  const many = folder('m', Array.from({ length: 100003 }, (_, i) => file(`m/f${i}`)), 50002);
  const found = await walk([many, file('after')]);
  assert.equal(found.length, 100001);
  assert.equal(found[100000], 'm/f100000 (count)');
});

test('a walk no longer wanted stops, between files and between a folder\'s batches', async () => {
  let wanted = true;
  const first = { ...file('t/a'), file: (done) => { wanted = false; done({}); } };
  assert.deepEqual(await walk([folder('t', [first, file('t/b'), file('t/c')])], () => wanted), ['t/a']);
  let batches = 0;
  const counted = folder('u', Array.from({ length: 10 }, (_, i) => file(`u/f${i}`)));
  const inner = counted.createReader();
  counted.createReader = () => ({ readEntries: (done, fail) => { batches += 1; inner.readEntries(done, fail); } });
  assert.deepEqual(await walk([counted], () => batches < 2), []);
  assert.equal(batches, 2);
});
