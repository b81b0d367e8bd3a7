// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// The teacher's page, "Тесты" and "Станции", in headless Chromium: a test uploaded through
// the page is listed with its title and check, published with its switch (the station's
// manifest then names it), a file the station cannot read is refused with the checker's
// words, a test is deleted after the confirmation, and a station that synchronised is
// listed. The browser may reach nothing but the collector on 127.0.0.1.
//
// node library.test.js COLLECTOR_EXECUTABLE OUTPUT_FOLDER

const { chromium } = require('playwright-core');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { cp1251, startCollector, guideShot, CHROMIUM_ARGS } = require('./collector');

const TIME_LIMIT_MS = 60000;
const CHROMIUM = '/usr/bin/chromium';
const PASSWORD = 'учитель-9Б';
const KEY = 'station-key-for-the-page';

const [collectorPath, outputDir] = process.argv.slice(2);
const cleanups = [];

function check(condition, message) {
  if (!condition) throw new Error(message);
}

// A text test in cp1251, as the station reads it.
const TEST = cp1251('§TEZRA\r\n§PARAMS\r\nTITLE=Дроби\r\n§END PARAMS\r\n§PROBLEMS\r\n' +
  '§PROBLEM\r\n§CONDITION\r\nПоловина?\r\n§END CONDITION\r\n§ANSWER\r\nMODE=INPUT\r\n' +
  '§VARIANTS\r\n[100] 1/2\r\n§END ANSWER\r\n§END PROBLEM\r\n§END PROBLEMS\r\n§END TEZRA\r\n');

// One request as a station's sync makes it; resolves with the status and the body.
function station(port, method, target, body) {
  return new Promise((resolve, reject) => {
    const request = http.request({ host: '127.0.0.1', port, method, path: target,
      headers: { Authorization: 'Bearer ' + KEY } }, (answer) => {
      let text = '';
      answer.on('data', (chunk) => { text += chunk; });
      answer.on('end', () => resolve({ status: answer.statusCode, body: text }));
    });
    request.on('error', reject);
    request.end(body || '');
  });
}

async function run() {
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'tezra-library-'));
  cleanups.push(() => fs.rmSync(workDir, { recursive: true, force: true }));
  fs.writeFileSync(path.join(workDir, 'key'), KEY + '\n');
  const { port } = await startCollector(collectorPath, workDir, PASSWORD,
    ['--listen', '127.0.0.1:0', '--station-key-file', path.join(workDir, 'key')], cleanups);
  const origin = `http://127.0.0.1:${port}`;
  const context = await chromium.launchPersistentContext(path.join(workDir, 'profile'), {
    executablePath: CHROMIUM,
    headless: true,
    args: CHROMIUM_ARGS,
    httpCredentials: { username: 'teacher', password: PASSWORD },
    viewport: { width: 1100, height: 900 },
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
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  page.on('dialog', (dialog) => dialog.accept());
  await page.goto(origin + '/');

  const testFile = path.join(workDir, 'дроби-5.ttxt');
  fs.writeFileSync(testFile, TEST);
  await page.setInputFiles('#upload-file', testFile);
  await page.click('#upload button[type=submit]');
  await page.waitForSelector('#tests tbody tr[data-name="дроби-5.ttxt"]', { timeout: 5000 });
  const row = await page.textContent('#tests tbody tr');
  check(row.includes('Дроби') && row.includes('в порядке'), 'listed as: ' + row);

  const junk = path.join(workDir, 'junk.tbin');
  fs.writeFileSync(junk, 'not a test');
  await page.setInputFiles('#upload-file', junk);
  await page.click('#upload button[type=submit]');
  await page.waitForFunction(() => document.getElementById('upload-status').textContent
    .startsWith('Станция не сможет прочитать'), null, { timeout: 5000 });
  check(await page.locator('#tests tbody tr').count() === 1, 'the refused file was listed');

  let manifest = JSON.parse((await station(port, 'GET', '/station/manifest')).body);
  check(manifest.files.length === 0, 'published before the switch');
  await page.check('#tests tbody tr input[type=checkbox]');
  await page.waitForFunction(async () => {
    const answer = await fetch('api/tests');
    return (await answer.json())[0].published === true;
  }, null, { timeout: 5000 });
  manifest = JSON.parse((await station(port, 'GET', '/station/manifest')).body);
  check(manifest.files.some((file) => file.name === 'дроби-5.ttxt'), 'not in the manifest');

  const journal = (await station(port, 'POST', `/station/status?host=pc-12&version=${manifest.version}&failed=0`));
  check(journal.status === 200, 'status answered ' + journal.status);
  await page.reload();
  await page.waitForFunction(() => document.querySelector('#stations tbody tr') !== null, null,
    { timeout: 8000 });
  const stationRow = await page.textContent('#stations tbody tr');
  check(stationRow.includes('pc-12') && stationRow.includes('127.0.0.1') &&
    stationRow.includes('успешно') && !stationRow.includes('устарел'), 'station: ' + stationRow);

  await page.evaluate(() => document.getElementById('library').scrollIntoView());
  await guideShot(page, 'library');
  if (outputDir) {
    fs.mkdirSync(outputDir, { recursive: true });
    await page.screenshot({ path: path.join(outputDir, 'collector-library.png'), fullPage: true });
  }
  await page.click('#tests tbody tr button');
  await page.waitForFunction(() => document.querySelectorAll('#tests tbody tr').length === 0,
    null, { timeout: 5000 });
  manifest = JSON.parse((await station(port, 'GET', '/station/manifest')).body);
  check(manifest.files.length === 0, 'the deleted test is still published');
  check(elsewhere.length === 0, 'the page asked for ' + elsewhere.join(', '));
  check(problems.length === 0, 'page errors: ' + problems.join(' | '));
}

const timer = setTimeout(() => {
  console.error(`FAILED: no end after ${TIME_LIMIT_MS} ms`);
  for (const cleanup of cleanups) { try { cleanup(); } catch (error) { /* ending anyway */ } }
  process.exit(1);
}, TIME_LIMIT_MS);

run()
  .then(() => console.log('1 passed, 0 failed'))
  .catch((error) => {
    console.error('FAILED: ' + error.message);
    process.exitCode = 1;
  })
  .finally(async () => {
    for (const cleanup of cleanups) {
      try { await cleanup(); } catch (error) { /* already gone */ }
    }
    clearTimeout(timer);
  });
