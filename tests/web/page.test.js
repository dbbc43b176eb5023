// The page served by bessel-recurrence-web, in a browser: it loads cleanly, draws what the
// controls ask for, shows the API's numbers character for character, downloads the lab's
// bytes, keeps its state in the URL and survives the server's refusals. With
// BESSEL_STATIC_SITE naming a folder that scripts/static-site wrote, the same tests run on that
// folder served by a plain file server, the laboratory in the browser's own worker; and a few of
// its own besides.
const fs = require('fs');
const path = require('path');
const { test, expect } = require('@playwright/test');
const { startServer, stopServer, requiredProgram, STATIC_SITE } = require('./server');
const { labArguments, runLab: runProgram, labComplaint } = require('../support/lab_cli');

let server;

test.beforeAll(async () => {
  server = await startServer();
});

test.afterAll(async () => {
  await stopServer(server);
});

const url = (path) => new URL(path, server.url).href;

// Waits until the page shows the result of its last request.
async function ready(page) {
  await expect(page.locator('body')).toHaveAttribute('data-state', 'ready');
}

async function open(page, query) {
  await page.goto(url(query ? '/?' + query : '/'));
  await ready(page);
}

// The lab's standard output; its failure fails the test.
function runLab(args, input) {
  const ran = runProgram(requiredProgram('BESSEL_LAB_PROGRAM'), args, input);
  if (ran.status !== 0) throw new Error(`the lab failed (${ran.status}): ${ran.stderr}`);
  return ran.stdout;
}

// The API's JSON for a query: the lab's --json, byte for byte (the API's own tests and the
// WebAssembly's hold it so), which serves the server and the static site alike.
const apiJson = (query) => runLab([...labArguments(query), '--json']).toString();

// The complaint the API gives for a refused query: the server's 400, or where there is no
// server the lab's own words, which the worker gives.
async function refusal(page, query) {
  if (!STATIC_SITE) {
    const answer = await page.request.get(url('/api/run?' + query));
    expect(answer.status()).toBe(400);
    return (await answer.json()).error;
  }
  const ran = runProgram(requiredProgram('BESSEL_LAB_PROGRAM'), labArguments(query));
  expect(ran.status).toBe(2);
  return labComplaint(ran.stderr);
}

// Row m of the API's JSON, with the texts of its numbers as the lab printed them (null stays
// null): read off the row's line, apart from anything the page does.
function jsonRow(jsonText, m, formats) {
  const line = jsonText.split('\n').find((text) => text.trimStart().startsWith(`{"m": ${m},`));
  if (!line) throw new Error(`no row ${m} in the JSON`);
  const pick = (pattern) => {
    const match = line.match(pattern);
    if (!match) throw new Error(`row ${m} has no ${pattern}`);
    return match.slice(1);
  };
  const flag = (name) => pick(new RegExp(`"${name}": (true|false)`))[0] === 'true';
  const row = {
    value: pick(/"[A-Za-z]_m": ([^,]+),/)[0],
    marks: (flag('near_zero') ? '*' : '') + (flag('below_range') ? 'u' : '') + (flag('overflowed') ? 'o' : ''),
    backward: pick(/"backward": ([^,]+),/)[0],
    formats: {},
  };
  for (const format of formats) {
    const [measured, predicted, rounding, bound] = pick(new RegExp(`"${format}": \\{"measured": ([^,]+), ` +
      '"predicted": ([^,]+), "rounding": ([^,]+), "rounding_bound": ([^}]+)\\}'));
    row.formats[format] = { measured, predicted, rounding, rounding_bound: bound };
  }
  return row;
}

// The page writes a number that is not finite (null in the JSON) as a dash.
const shownAs = (text) => (text === 'null' ? '—' : text);

async function expectRowShown(page, jsonText, m, formats) {
  const expected = jsonRow(jsonText, m, formats);
  const row = page.locator(`#table tbody tr:has(th:text-is("${m}"))`);
  await expect(row).toHaveCount(1);
  const cell = (key) => row.locator(`[data-key="${key}"]`);
  await expect(cell('value')).toHaveText(shownAs(expected.value));
  await expect(cell('marks')).toHaveText(expected.marks);
  await expect(cell('backward')).toHaveText(shownAs(expected.backward));
  for (const format of formats) {
    for (const [key, text] of Object.entries(expected.formats[format])) {
      await expect(cell(`${format}.${key}`)).toHaveText(shownAs(text));
    }
  }
}

test('the page loads with no console error and no failed request', async ({ page }) => {
  const problems = [];
  page.on('console', (message) => {
    if (message.type() === 'error' || message.type() === 'warning') problems.push(`console: ${message.text()}`);
  });
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('requestfailed', (request) => problems.push(`failed: ${request.url()} ${request.failure().errorText}`));
  page.on('response', (response) => {
    if (response.status() >= 400) problems.push(`status ${response.status()}: ${response.url()}`);
  });
  const response = await page.goto(url('/'));
  if (!STATIC_SITE) expect(response.headers()['content-security-policy']).toContain("default-src 'self'");
  await ready(page);

  // The lab's defaults, every control found by its label.
  await expect(page.getByLabel('Function')).toHaveValue('J');
  await expect(page.getByLabel(/^x\b/)).toHaveValue('1');
  await expect(page.getByLabel(/^M\b/)).toHaveValue('10');
  await expect(page.getByLabel('Arithmetic')).toHaveValue('binary128');
  await expect(page.getByLabel('Seeds')).toHaveValue('rounded');
  for (const format of ['binary16', 'bfloat16', 'x87', 'binary256']) {
    await expect(page.getByLabel(format, { exact: true })).not.toBeChecked();
  }
  for (const format of ['binary32', 'binary64', 'binary128']) {
    await expect(page.getByLabel(format, { exact: true })).toBeChecked();
  }
  await expect(page).toHaveURL(/\?function=J&x=1&orders=10&formats=binary32,binary64,binary128&arithmetic=binary128&seeds=rounded$/);
  await expect(page.locator('#chart canvas').first()).toBeVisible();
  await expect(page.locator('#table tbody tr')).toHaveCount(11);
  await expect(page.locator('#summary li').first()).toContainText('binary32 seeds');
  await expect(page.locator('#command')).toHaveText(
    'bessel-recurrence-lab --function J --x 1 --orders 10 --formats binary32,binary64,binary128 --arithmetic binary128 --seeds rounded');
  expect(problems).toEqual([]);
});

test('changing x and M redraws the chart', async ({ page }) => {
  await open(page, '');
  const chart = page.locator('#chart');
  const canvas = page.locator('#chart canvas').first();
  await expect(chart).toHaveAttribute('data-drawn', /&x=1&orders=10&/);
  const before = await canvas.evaluate((element) => element.toDataURL());

  await page.getByLabel(/^x\b/).fill('5');
  await page.getByLabel(/^M\b/).fill('40');
  await expect(chart).toHaveAttribute('data-drawn', 'function=J&x=5&orders=40&formats=binary32,binary64,binary128&arithmetic=binary128&seeds=rounded');
  await ready(page);
  await expect(page.locator('#table tbody tr')).toHaveCount(41);
  const after = await page.locator('#chart canvas').first().evaluate((element) => element.toDataURL());
  expect(after).not.toEqual(before);
  await expect(page.locator('#status')).toContainText('x = 5, M = 40');
});

test('the table shows the numbers of the API, character for character, on every page', async ({ page }) => {
  const formats = ['binary32', 'binary64'];
  const query = 'function=J&x=30&orders=150&formats=binary32,binary64&arithmetic=binary128&seeds=rounded';
  const jsonText = apiJson(query);
  await open(page, query);
  await expect(page.locator('#page-count')).toHaveText('of 2');
  for (const m of [0, 1, 6, 50, 99]) await expectRowShown(page, jsonText, m, formats);

  await page.getByRole('button', { name: 'Next' }).click();
  await expect(page.getByLabel('Page', { exact: true })).toHaveValue('2');
  await expect(page.locator('#table tbody tr')).toHaveCount(51);
  for (const m of [100, 123, 150]) await expectRowShown(page, jsonText, m, formats);

  await page.getByLabel('Page', { exact: true }).fill('1');
  await page.getByLabel('Page', { exact: true }).press('Enter');
  await expect(page.locator('#table tbody tr').first().locator('th')).toHaveText('0');
});

test('overflowed and below-range rows show their marks and dashes as the API has them', async ({ page }) => {
  const query = 'function=I&x=1&orders=60&formats=binary32&arithmetic=binary32&seeds=rounded';
  const jsonText = apiJson(query);
  await open(page, query);
  for (const m of [0, 20, 34, 35, 60]) await expectRowShown(page, jsonText, m, ['binary32']);
  await expect(page.locator('#table tbody tr:has(th:text-is("60")) [data-key="marks"]')).toHaveText('uo');
});

test('the CSV and JSON downloads are the bytes the lab prints', async ({ page }) => {
  const query = 'function=j&x=3.5&orders=25&formats=binary16,binary64&arithmetic=binary64&seeds=series';
  await open(page, query);
  for (const [link, option] of [['#download-csv', '--csv'], ['#download-json', '--json']]) {
    const [download] = await Promise.all([page.waitForEvent('download'), page.locator(link).click()]);
    const bytes = fs.readFileSync(await download.path());
    expect(bytes.equals(runLab([...labArguments(query), option]))).toBe(true);
  }
});

test('the URL holds the parameters: a reload restores them, the back button the previous ones', async ({ page }) => {
  await open(page, '');
  await page.getByLabel('Function').selectOption('Y');
  await expect(page).toHaveURL(/function=Y&/);
  await page.getByLabel(/^x\b/).fill('2.5');
  await expect(page).toHaveURL(/&x=2\.5&/);
  await page.getByLabel('x87', { exact: true }).check();
  await page.getByLabel('binary128', { exact: true }).uncheck();
  const previous = 'function=Y&x=2.5&orders=10&formats=binary32,binary64,x87&arithmetic=binary128&seeds=rounded';
  await expect(page).toHaveURL(url('/?' + previous));
  await ready(page);
  await page.getByLabel('Arithmetic').selectOption('binary64');
  const last = 'function=Y&x=2.5&orders=10&formats=binary32,binary64,x87&arithmetic=binary64&seeds=rounded';
  await expect(page).toHaveURL(url('/?' + last));
  await expect(page.locator('#chart')).toHaveAttribute('data-drawn', last);

  await page.reload();
  await ready(page);
  await expect(page.getByLabel('Function')).toHaveValue('Y');
  await expect(page.getByLabel(/^x\b/)).toHaveValue('2.5');
  await expect(page.getByLabel('Arithmetic')).toHaveValue('binary64');
  await expect(page.getByLabel('x87', { exact: true })).toBeChecked();
  await expect(page.getByLabel('binary128', { exact: true })).not.toBeChecked();
  await expect(page.locator('#chart')).toHaveAttribute('data-drawn', last);

  await page.goBack();
  await expect(page).toHaveURL(url('/?' + previous));
  await expect(page.getByLabel('Arithmetic')).toHaveValue('binary128');
  await expect(page.locator('#chart')).toHaveAttribute('data-drawn', previous);
  await ready(page);
  await expect(page.locator('#command')).toContainText('--arithmetic binary128');
});

test('a refused x shows the server\'s message, and the page works again once it is corrected', async ({ page }) => {
  const error = await refusal(page, 'x=abc');
  expect(error).toContain('abc');

  await open(page, '');
  await page.getByLabel(/^x\b/).fill('abc');
  await expect(page.locator('#message')).toBeVisible();
  await expect(page.locator('#message')).toHaveText(error);
  await expect(page.locator('body')).toHaveAttribute('data-state', 'error');
  await expect(page.locator('#table tbody tr')).toHaveCount(11);

  await page.getByLabel(/^x\b/).fill('2');
  await ready(page);
  await expect(page.locator('#message')).toBeHidden();
  await expect(page.locator('#chart')).toHaveAttribute('data-drawn', /&x=2&/);
  await expect(page.locator('#table tbody tr:has(th:text-is("0")) [data-key="value"]'))
    .toHaveText(jsonRow(apiJson('x=2'), 0, []).value);
});

test('a busy server is asked again after its Retry-After', async ({ page }) => {
  test.skip(!!STATIC_SITE, 'a static site has no server');
  let refused = 0;
  await page.route((address) => address.pathname === '/api/run', async (route) => {
    if (refused++ === 0) {
      await route.fulfill({ status: 503, headers: { 'Retry-After': '1' }, body: '' });
    } else {
      await route.continue();
    }
  });
  await page.goto(url('/?function=J&x=1&orders=12'));
  await expect(page.locator('#status')).toContainText('The server is busy, retrying');
  await ready(page);
  await expect(page.locator('#table tbody tr')).toHaveCount(13);
  expect(refused).toBe(2);
});

test('at 360 px wide only the table scrolls sideways, inside its own box', async ({ page }) => {
  await page.setViewportSize({ width: 360, height: 800 });
  await open(page, 'function=J&x=20&orders=60&formats=binary16,bfloat16,binary32,binary64,x87,binary128,binary256');
  const widths = await page.evaluate(() => ({
    page: document.documentElement.scrollWidth,
    box: document.querySelector('.table-box').clientWidth,
    table: document.querySelector('.table-box').scrollWidth,
    chart: document.querySelector('#chart canvas').getBoundingClientRect().right,
  }));
  expect(widths.page).toBeLessThanOrEqual(360);
  expect(widths.chart).toBeLessThanOrEqual(360);
  expect(widths.table).toBeGreaterThan(widths.box);
});

test('a hundred thousand orders stay usable', async ({ page }) => {
  test.slow();
  await open(page, 'function=J&x=20&orders=100000&formats=binary64&arithmetic=binary64&seeds=rounded');
  await expect(page.locator('#page-count')).toHaveText('of 1001');
  await page.getByRole('button', { name: 'Last' }).click();
  await expect(page.locator('#table tbody tr')).toHaveCount(1);
  await expect(page.locator('#table tbody tr th')).toHaveText('100000');
  await expect(page.locator('#chart')).toHaveAttribute('data-drawn', /orders=100000/);
});

// A student's binary32 loop with a fused multiply-add, its values as C's %a prints them (the
// same loop check_test.cpp writes, whose variant the lab's own tests name).
const FMA_VALUES = [
  '0x1.3d7beap-1', '0x1.0b46a2p-1', '0x1.76d6b6p-3', '0x1.50fc3p-5', '0x1.bfb026p-8',
].join('\n') + '\n';

test('your own values, pasted or opened from a file, are checked as the lab checks them', async ({ page }, testInfo) => {
  const answer = JSON.parse(runLab(['--check', '-', '--x', '1.3', '--arithmetic', 'binary32', '--json'],
    FMA_VALUES));
  expect(answer.rows).toHaveLength(5);

  await open(page, 'function=J&x=1.3&orders=4&formats=binary32&arithmetic=binary32&seeds=rounded');
  await page.getByRole('textbox', { name: 'Your values' }).fill(FMA_VALUES);
  await page.getByRole('button', { name: 'Check' }).click();
  await expect(page.locator('body')).toHaveAttribute('data-check', 'ready');
  await expect(page.locator('#check-verdict')).toHaveText('Verdict: ' + answer.verdict + '.');
  await expect(page.locator('#check-table tbody tr')).toHaveCount(5);
  for (const key of ['yours', 'lab', 'step']) {
    await expect(page.locator(`#check-table [data-key="${key}"]`)).toHaveText(answer.rows.map((row) => row[key]));
  }
  await expect(page.locator('#check-chart canvas').first()).toBeVisible();
  await page.locator('#check-heading').scrollIntoViewIfNeeded();
  await page.screenshot({ path: testInfo.outputPath('check.png'), fullPage: true });

  // A file instead, with a value that is not a number: the server's words, naming the line.
  await page.locator('#values-file').setInputFiles({
    name: 'mine.txt', mimeType: 'text/plain', buffer: Buffer.from(FMA_VALUES + 'abc\n'),
  });
  await expect(page.getByRole('textbox', { name: 'Your values' })).toHaveValue(FMA_VALUES + 'abc\n');
  await page.getByRole('button', { name: 'Check' }).click();
  await expect(page.locator('#check-message')).toHaveText(
    "values: line 6: 'abc' is not a number (decimal, or C99 hexadecimal such as 0x1.8p-3)");
  await expect(page.locator('body')).toHaveAttribute('data-check', 'error');
});

test('opened straight from disk, the page runs the laboratory in the browser', async ({ page }) => {
  test.skip(!STATIC_SITE, 'the server\'s page is not a file');
  const query = 'function=Y&x=7.5&orders=30&formats=binary16,binary64&arithmetic=binary64&seeds=rounded';
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  await page.goto('file://' + path.resolve(STATIC_SITE, 'index.html') + '?' + query);
  await ready(page);
  for (const m of [0, 7, 30]) await expectRowShown(page, apiJson(query), m, ['binary16', 'binary64']);
  expect(problems).toEqual([]);
});

test('a long run can be stopped, and the page answers while it runs', async ({ page }) => {
  test.skip(!STATIC_SITE, 'a server\'s run is stopped by the server');
  await open(page, '');
  await page.getByLabel(/^x\b/).fill('10000');
  await page.getByLabel(/^M\b/).fill('100000');
  for (const format of ['binary16', 'bfloat16', 'x87', 'binary256']) {
    await page.getByLabel(format, { exact: true }).check();
  }
  await expect(page.locator('#stop')).toBeVisible();
  await expect(page.locator('#status')).toHaveText(/^Computing… \d+ s$/);
  // The page's own thread is free: the controls answer at once.
  await page.getByLabel('Function').focus();
  await page.getByRole('button', { name: 'Stop' }).click();
  await expect(page.locator('body')).toHaveAttribute('data-state', 'stopped');
  await expect(page.locator('#status')).toHaveText('Stopped; still showing the last result.');
  await expect(page.locator('#stop')).toBeHidden();
  await expect(page.locator('#table tbody tr')).toHaveCount(11);

  // The next run starts a new worker and is answered.
  await page.getByLabel(/^M\b/).fill('12');
  await ready(page);
  await expect(page.locator('#table tbody tr')).toHaveCount(13);
});
