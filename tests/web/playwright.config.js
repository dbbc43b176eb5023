// The browser tests of bessel-recurrence-web's page, in Debian's headless Chromium.
//
//   BESSEL_WEB_PROGRAM=.../bessel-recurrence-web BESSEL_LAB_PROGRAM=.../bessel-recurrence-lab \
//     npx playwright test --config tests/web/playwright.config.js
//
// Nothing is started here: each test file starts its own server (tests/web/server.js), one
// per worker, so the files run in parallel. No browser is ever downloaded.
const os = require('os');
const path = require('path');
const { defineConfig } = require('@playwright/test');

module.exports = defineConfig({
  testDir: __dirname,
  testMatch: /.*\.test\.js$/,
  outputDir: process.env.BESSEL_WEB_TEST_OUTPUT || path.join(os.tmpdir(), 'bessel-recurrence-web-tests'),
  fullyParallel: true,
  forbidOnly: !!process.env.CI,
  retries: 0,
  workers: process.env.BESSEL_WEB_TEST_WORKERS ? Number(process.env.BESSEL_WEB_TEST_WORKERS) : 2,
  timeout: 120 * 1000,
  expect: { timeout: 60 * 1000 },
  reporter: [['list']],
  use: {
    browserName: 'chromium',
    headless: true,
    launchOptions: {
      executablePath: process.env.BESSEL_CHROMIUM || '/usr/bin/chromium',
      // CI runs as root, where Chromium's sandbox cannot start.
      args: ['--no-sandbox', '--disable-dev-shm-usage'],
    },
    viewport: { width: 1280, height: 900 },
    acceptDownloads: true,
    actionTimeout: 30 * 1000,
    navigationTimeout: 30 * 1000,
  },
});
