// The laboratory compiled to WebAssembly, run under node, against the native lab: for each case
// its JSON and CSV must be the bytes bessel-recurrence-lab prints with --json and --csv, its
// check the bytes of --check - --json, and a refused query the lab's own complaint.
//
//   BESSEL_WASM_MODULE=build-wasm/wasm/bessel-recurrence-wasm.js \
//   BESSEL_LAB_PROGRAM=build-test/lab/bessel-recurrence-lab \
//     node --no-experimental-fetch --test tests/wasm/
'use strict';

const assert = require('node:assert');
const { test } = require('node:test');
const { labArguments, runLab: runProgram, labComplaint } = require('../support/lab_cli');

function required(variable) {
  const value = process.env[variable];
  if (!value) throw new Error(`${variable} must name a file (a path)`);
  return value;
}

const lab = require(required('BESSEL_WASM_MODULE'))();
const LAB_PROGRAM = required('BESSEL_LAB_PROGRAM');
const EVERY_FORMAT = 'binary16,bfloat16,binary32,binary64,x87,binary128,binary256';

// The native lab's standard output, standard error and status for a query's parameters.
const runLab = (query, extra, input) =>
  runProgram(LAB_PROGRAM, [...labArguments(query), ...extra], input);

function answer(module, path, query) {
  const { status, type, body } = module.answer(path, query);
  return { status, type, body: Buffer.from(body, 'utf8') };
}

// A binary32 loop with a fused multiply-add, as C's %a prints its values: a student's, checked.
const FMA_VALUES = '0x1.3d7beap-1\n0x1.0b46a2p-1\n0x1.76d6b6p-3\n0x1.50fc3p-5\n0x1.bfb026p-8\n';

// Every function, every format as seeds, every format as the arithmetic; the truth's two ways
// (balls, and beyond x = 111 with enough orders the plain recurrence bounded afterwards); x near
// the ends of its range; both seed kinds; and a check, its values the lab's standard input.
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
].map((query) => ({ query, path: '/api/run', extra: [] }));
CASES.push({ query: 'function=J&x=1.3&arithmetic=binary32&seeds=rounded', path: '/api/check',
  extra: ['--check', '-'], values: FMA_VALUES });

for (const { query, path, extra, values } of CASES) {
  test(`the JSON and CSV of ${path}?${query} are the lab's bytes`, async () => {
    const module = await lab;
    const asked = values === undefined ? query : query + '&values=' + encodeURIComponent(values);
    for (const [suffix, option] of [['', '--json'], ['.csv', '--csv']]) {
      const expected = runLab(query, [...extra, option], values);
      assert.strictEqual(expected.status, 0, expected.stderr.toString());
      const got = answer(module, path + suffix, asked);
      assert.strictEqual(got.status, 200, got.body.toString());
      assert.ok(got.body.equals(expected.stdout), `${path + suffix}?${query} differs from ${option}`);
    }
  });
}

test('a refused query gives the lab\'s own complaint, and an unknown path 404', async () => {
  const module = await lab;
  for (const query of ['x=abc', 'x=0x1.8p-3', 'function=Q', 'orders=100001', 'x=0', 'formats=binary8']) {
    const expected = runLab(query, ['--json']);
    assert.strictEqual(expected.status, 2);
    const got = answer(module, '/api/run', query);
    assert.strictEqual(got.status, 400);
    assert.deepStrictEqual(JSON.parse(got.body.toString()), { error: labComplaint(expected.stderr) });
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
