// The laboratory compiled to WebAssembly, run under node, against the native lab: for each case
// its JSON and CSV must be the bytes bessel-recurrence-lab prints with --json and --csv, its
// check the bytes of --check - --json, and a refused query the lab's own complaint.
//
//   BESSEL_WASM_MODULE=build-wasm/wasm/bessel-recurrence-wasm.js \
//   BESSEL_LAB_PROGRAM=build-test/lab/bessel-recurrence-lab \
//     node --no-experimental-fetch --test tests/wasm/
'use strict';

const assert = require('node:assert');
const { spawnSync } = require('node:child_process');
const { test } = require('node:test');

function required(variable) {
  const value = process.env[variable];
  if (!value) throw new Error(`${variable} must name a file (a path)`);
  return value;
}

const lab = require(required('BESSEL_WASM_MODULE'))();
const LAB_PROGRAM = required('BESSEL_LAB_PROGRAM');
const EVERY_FORMAT = 'binary16,bfloat16,binary32,binary64,x87,binary128,binary256';

// The native lab's standard output, standard error and status for a query's parameters.
function runLab(query, extra, input) {
  const args = [];
  for (const [name, value] of new URLSearchParams(query)) args.push('--' + name, value);
  const ran = spawnSync(LAB_PROGRAM, [...args, ...extra], { input, maxBuffer: 1 << 30 });
  if (ran.error) throw ran.error;
  return ran;
}

function answer(module, path, query) {
  const { status, type, body } = module.answer(path, query);
  return { status, type, body: Buffer.from(body, 'utf8') };
}

// Every function, every format as seeds, every format as the arithmetic; the truth's two ways
// (balls, and beyond x = 111 with enough orders the plain recurrence bounded afterwards); x near
// the ends of its range; and both seed kinds.
const CASES = [
  ...['J', 'Y', 'I', 'K', 'j', 'y'].map((fn) =>
    `function=${fn}&x=2.5&orders=30&formats=${EVERY_FORMAT}&arithmetic=binary64&seeds=rounded`),
  ...EVERY_FORMAT.split(',').map((arithmetic) =>
    `function=J&x=1.3&orders=25&formats=binary32,binary64&arithmetic=${arithmetic}&seeds=series`),
  `function=Y&x=150&orders=400&formats=${EVERY_FORMAT}&arithmetic=binary128&seeds=rounded`,
  'function=j&x=300&orders=600&formats=binary64&arithmetic=binary64&seeds=rounded',
  'function=K&x=1e-300&orders=50&formats=binary64,binary256&arithmetic=binary256&seeds=rounded',
  'function=I&x=10000&orders=20&formats=binary16,binary32&arithmetic=binary32&seeds=series',
  'function=J&x=0.1875&orders=40&formats=x87&arithmetic=x87&seeds=rounded',
];

for (const query of CASES) {
  test(`the JSON and CSV of ${query} are the lab's bytes`, async () => {
    const module = await lab;
    for (const [path, option] of [['/api/run', '--json'], ['/api/run.csv', '--csv']]) {
      const expected = runLab(query, [option]);
      assert.strictEqual(expected.status, 0, expected.stderr.toString());
      const got = answer(module, path, query);
      assert.strictEqual(got.status, 200, got.body.toString());
      assert.ok(got.body.equals(expected.stdout), `${path}?${query} differs from ${option}`);
    }
  });
}

test('a check of a student\'s values is the bytes of --check - --json', async () => {
  const module = await lab;
  // A binary32 loop with a fused multiply-add, as C's %a prints its values.
  const values = '0x1.3d7beap-1\n0x1.0b46a2p-1\n0x1.76d6b6p-3\n0x1.50fc3p-5\n0x1.bfb026p-8\n';
  const query = 'function=J&x=1.3&arithmetic=binary32&seeds=rounded';
  for (const [path, option] of [['/api/check', '--json'], ['/api/check.csv', '--csv']]) {
    const expected = runLab(query, ['--check', '-', option], values);
    assert.strictEqual(expected.status, 0, expected.stderr.toString());
    const got = answer(module, path, query + '&values=' + encodeURIComponent(values));
    assert.strictEqual(got.status, 200, got.body.toString());
    assert.ok(got.body.equals(expected.stdout), `${path} differs from --check - ${option}`);
  }
});

test('a refused query gives the lab\'s own complaint, and an unknown path 404', async () => {
  const module = await lab;
  for (const query of ['x=abc', 'x=0x1.8p-3', 'function=Q', 'orders=100001', 'x=0', 'formats=binary8']) {
    const expected = runLab(query, ['--json']);
    assert.strictEqual(expected.status, 2);
    const complaint = expected.stderr.toString().split('\n')[0].replace(/^bessel-recurrence-lab: /, '');
    const got = answer(module, '/api/run', query);
    assert.strictEqual(got.status, 400);
    assert.deepStrictEqual(JSON.parse(got.body.toString()), { error: complaint });
  }
  assert.strictEqual(answer(module, '/api/nothing', '').status, 404);
});

test('the summary that follows a run is the one that ends the lab\'s table, for that run', async () => {
  const module = await lab;
  const queries = ['function=J&x=20&orders=40', 'function=y&x=3&orders=12&arithmetic=binary32'];
  for (const query of queries) {
    const table = runLab(query, []).stdout.toString();
    // After its own run, after another's, and with no run before it: always its own.
    for (const before of [query, queries.find((other) => other !== query), null]) {
      if (before) answer(module, '/api/run', before);
      const summary = answer(module, '/api/summary', query);
      assert.strictEqual(summary.status, 200);
      assert.ok(summary.body.toString().startsWith('Summary:'), summary.body.toString());
      assert.ok(table.endsWith(summary.body.toString()), `the summary of ${query} after ${before}`);
    }
  }
});
