// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// The teacher's page in headless Chromium: behind the password it shows a result sent after
// the page was opened within 2 seconds, and a surname made of markup only as text. The
// browser may reach nothing but the collector on 127.0.0.1.
//
// node page.test.js COLLECTOR_EXECUTABLE OUTPUT_FOLDER

const { chromium } = require('playwright-core');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { startCollector, sendResult, CHROMIUM_ARGS } = require('./collector');

const TIME_LIMIT_MS = 60000;
const UPDATE_LIMIT_MS = 2000;
const CHROMIUM = '/usr/bin/chromium';
const PASSWORD = 'учитель-9Б';

const [collectorPath, outputDir] = process.argv.slice(2);
const cleanups = [];

function fail(message) {
  console.error('FAILED: ' + message);
  process.exitCode = 1;
}

function check(condition, message) {
  if (!condition) throw new Error(message);
}

async function run() {
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'tezra-browser-'));
  cleanups.push(() => fs.rmSync(workDir, { recursive: true, force: true }));
  const { port } = await startCollector(collectorPath, workDir, PASSWORD,
    ['--listen', '127.0.0.1:0'], cleanups);
  const origin = `http://127.0.0.1:${port}`;
  check(await sendResult(port, '10Б', 'Иванов Пётр', 35000, 4) === 200, 'first result refused');

  const context = await chromium.launchPersistentContext(path.join(workDir, 'profile'), {
    executablePath: CHROMIUM,
    headless: true,
    args: CHROMIUM_ARGS,
    httpCredentials: { username: 'teacher', password: PASSWORD },
    viewport: { width: 1100, height: 720 },
    locale: 'ru-RU',
  });
  cleanups.unshift(() => context.close());
  const elsewhere = [];
  await context.route('**/*', (route) => {
    const url = new URL(route.request().url());
    if (url.hostname === '127.0.0.1') return route.continue();
    elsewhere.push(url.href);
    return route.abort();
  });
  const page = context.pages()[0] || await context.newPage();
  const dialogs = [];
  const problems = [];
  page.on('dialog', (dialog) => { dialogs.push(dialog.message()); dialog.dismiss(); });
  page.on('console', (message) => { if (message.type() === 'error') problems.push(message.text()); });
  page.on('pageerror', (error) => problems.push(error.message));

  const response = await page.goto(origin + '/');
  check(response.status() === 200, 'page answered ' + response.status());
  await page.waitForFunction(() => document.querySelectorAll('#results tbody tr').length === 1,
    null, { timeout: 5000 });
  check((await page.textContent('#results tbody')).includes('Иванов Пётр'), 'first row missing');

  const hostile = '<script>window.__tezraHacked=1</script><img src=x onerror="window.__tezraHacked=2">';
  check(await sendResult(port, '9 А', hostile, 27000, 3) === 200, 'second result refused');
  const acknowledged = Date.now();
  await page.waitForFunction((text) => Array.from(document.querySelectorAll('#results td'))
    .some((cell) => cell.textContent === text), hostile, { timeout: UPDATE_LIMIT_MS });
  const shownAfter = Date.now() - acknowledged;

  const inTable = await page.evaluate(() => ({
    markup: document.querySelectorAll('#results script, #results img, #summary script').length,
    hacked: window.__tezraHacked,
    newest: document.querySelector('#results tbody tr td:nth-child(4)').textContent,
    classes: Array.from(document.querySelectorAll('#summary tbody tr td:first-child'),
      (cell) => cell.textContent),
  }));
  check(inTable.markup === 0, 'markup from a station became elements');
  check(inTable.hacked === undefined, 'markup from a station ran');
  check(inTable.newest === hostile, 'newest row is not first: ' + inTable.newest);
  check(JSON.stringify(inTable.classes) === JSON.stringify(['10Б', '9 А']),
    'summary classes: ' + inTable.classes);
  check(dialogs.length === 0, 'dialogs opened: ' + dialogs);
  check(elsewhere.length === 0, 'the page asked for ' + elsewhere.join(', '));
  check(problems.length === 0, 'page errors: ' + problems.join(' | '));

  if (outputDir) {
    fs.mkdirSync(outputDir, { recursive: true });
    await page.screenshot({ path: path.join(outputDir, 'collector-page.png'), fullPage: true });
  }
  console.log(`new result shown ${shownAfter} ms after its 200`);
}

const timer = setTimeout(() => {
  fail(`no end after ${TIME_LIMIT_MS} ms`);
  for (const cleanup of cleanups) { try { cleanup(); } catch (error) { /* ending anyway */ } }
  process.exit(1);
}, TIME_LIMIT_MS);

run()
  .then(() => console.log('1 passed, 0 failed'))
  .catch((error) => { fail(error.message); console.log('0 passed, 1 failed'); })
  .finally(async () => {
    for (const cleanup of cleanups) {
      try { await cleanup(); } catch (error) { /* already gone */ }
    }
    clearTimeout(timer);
  });
