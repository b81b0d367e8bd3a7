// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// The teacher's page in headless Chromium: behind the password it shows a result sent after
// the page was opened within 2 seconds, and a surname made of markup only as text; its link
// opens the teacher's guide with every picture, within the page's security policy. The
// browser may reach nothing but the collector on 127.0.0.1.
//
// node page.test.js COLLECTOR_EXECUTABLE OUTPUT_FOLDER

const { chromium } = require('playwright-core');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { startCollector, sendResult, guideShot, CHROMIUM_ARGS } = require('./collector');

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

// The status of a GET without the teacher's password.
function statusWithoutPassword(port, target) {
  return new Promise((resolve, reject) => {
    http.get({ host: '127.0.0.1', port, path: target }, (answer) => {
      answer.resume();
      resolve(answer.statusCode);
    }).on('error', reject);
  });
}

// The header's link opens the teacher's guide: Russian, every screenshot of the guide's folder
// shown and loaded, nothing refused by the page's security policy; not without the password.
async function guideOpens(context, page, port) {
  const refused = [];
  const opened = context.waitForEvent('page').then((guide) => {
    guide.on('console', (message) => {
      if (message.type() === 'error') refused.push(message.text());
    });
    return guide;
  });
  const [guide] = await Promise.all([opened, page.click('header a.guide-link')]);
  await guide.waitForLoadState('load');
  const shown = await guide.evaluate(() => ({
    lang: document.documentElement.lang,
    heading: document.querySelector('h1').textContent,
    styled: getComputedStyle(document.querySelector('header')).backgroundColor,
    // What the page's security policy refuses: inline styles and any script.
    inline: document.querySelectorAll('style, script, [style], [onload], [onclick]').length,
    images: Array.from(document.images, (image) => [image.getAttribute('src'),
      image.complete && image.naturalWidth > 0 &&
        image.naturalWidth === Number(image.getAttribute('width')) &&
        image.naturalHeight === Number(image.getAttribute('height')), image.alt.length > 0]),
  }));
  check(shown.lang === 'ru' && shown.heading === 'Руководство учителя', 'guide: ' + shown.heading);
  check(shown.styled === 'rgb(39, 70, 110)', 'the guide has no style: ' + shown.styled);
  check(shown.inline === 0, 'the guide has inline styles or scripts the policy refuses');
  const folder = path.join(__dirname, '..', '..', '..', 'docs', 'teacher-guide');
  const pictures = fs.readdirSync(folder).filter((name) => name.endsWith('.png')).sort();
  const sources = Array.from(new Set(shown.images.map(([source]) => source))).sort();
  check(JSON.stringify(sources) === JSON.stringify(pictures),
    'guide shows ' + sources + ', its folder holds ' + pictures);
  const broken = shown.images.filter(([, loaded, alt]) => !loaded || !alt);
  check(broken.length === 0,
    'guide pictures not shown, of another size or without text: ' + broken);
  check(refused.length === 0, 'the guide was refused: ' + refused.join(' | '));
  await guide.close();
  check(await statusWithoutPassword(port, '/guide/') === 401, 'the guide opens without password');
  check(await statusWithoutPassword(port, '/guide/results.png') === 401,
    'a guide picture opens without password');
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

  await guideShot(page, 'results');
  await guideOpens(context, page, port);
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
