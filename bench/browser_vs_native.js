// The laboratory in the browser against the native lab, case by case: the same JSON from the
// static site's worker in headless Chromium, and from bessel-recurrence-lab --json, timed in
// alternation; the medians and their ratio. The worker is started and warmed first, so that a
// case's time is the run alone, as a student who changes a parameter waits for it; the native
// time is a whole process, as a student at the command line waits for it.
//
//   node bench/browser_vs_native.js SITE LAB [ROUNDS]
//     SITE   a folder scripts/static-site wrote; LAB   build/lab/bessel-recurrence-lab
'use strict';

const path = require('path');
const { chromium } = require('playwright-core');
const { labArguments, runLab } = require('../tests/support/lab_cli');

const [site, lab, roundsText] = process.argv.slice(2);
if (!site || !lab) {
  console.error('usage: node bench/browser_vs_native.js SITE LAB [ROUNDS]');
  process.exit(2);
}
const rounds = Number(roundsText || 5);
const EVERY_FORMAT = 'binary16,bfloat16,binary32,binary64,x87,binary128,binary256';
const CASES = [
  'function=J&x=1&orders=10&formats=binary32,binary64,binary128&arithmetic=binary128&seeds=rounded',
  `function=J&x=20&orders=1000&formats=${EVERY_FORMAT}&arithmetic=binary128&seeds=rounded`,
  `function=J&x=1000&orders=10000&formats=${EVERY_FORMAT}&arithmetic=binary128&seeds=rounded`,
  `function=J&x=10000&orders=100000&formats=${EVERY_FORMAT}&arithmetic=binary128&seeds=rounded`,
];

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

function nativeSeconds(query) {
  const began = process.hrtime.bigint();
  const ran = runLab(lab, [...labArguments(query), '--json']);
  const seconds = Number(process.hrtime.bigint() - began) / 1e9;
  if (ran.status !== 0) throw new Error(`${lab} failed: ${ran.stderr}`);
  return { seconds, bytes: ran.stdout.length };
}

(async () => {
  const browser = await chromium.launch({
    executablePath: process.env.BESSEL_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-dev-shm-usage'],
  });
  const page = await browser.newPage();
  await page.goto('file://' + path.resolve(site, 'index.html'));
  await page.waitForFunction(() => typeof BESSEL_LAB_WORKER === 'string');
  // A worker of its own, apart from the page's: started, and warmed by the smallest run.
  await page.evaluate(() => {
    const worker = new Worker(URL.createObjectURL(new Blob([BESSEL_LAB_WORKER])));
    let next = 0;
    window.benchRun = (query) => new Promise((resolve) => {
      const id = ++next;
      worker.onmessage = ({ data }) => {
        if (data.id === id) resolve({ status: data.status, bytes: data.body.length });
      };
      worker.postMessage({ id, path: '/api/run', query });
    });
    return window.benchRun('orders=1');
  });
  console.log('case | browser (median) | native (median) | ratio');
  for (const query of CASES) {
    const browserTimes = [];
    const nativeTimes = [];
    for (let round = 0; round < rounds; round++) {
      const timed = await page.evaluate(async (q) => {
        const began = performance.now();
        const answer = await window.benchRun(q);
        return { ...answer, seconds: (performance.now() - began) / 1000 };
      }, query);
      const native = nativeSeconds(query);
      if (timed.status !== 200 || timed.bytes !== native.bytes) {
        throw new Error(`${query}: the browser's answer (${timed.status}, ${timed.bytes} bytes) ` +
          `is not the lab's (${native.bytes} bytes)`);
      }
      browserTimes.push(timed.seconds);
      nativeTimes.push(native.seconds);
    }
    const b = median(browserTimes);
    const n = median(nativeTimes);
    console.log(`${query} | ${b.toFixed(3)} s | ${n.toFixed(3)} s | ${(b / n).toFixed(2)}`);
  }
  await browser.close();
})().catch((error) => {
  console.error(error.message);
  process.exit(1);
});
