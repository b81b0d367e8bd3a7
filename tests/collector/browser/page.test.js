// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// The teacher's page in headless Chromium: behind the password it shows a result sent after
// the page was opened within 2 seconds, and a surname made of markup only as text. The
// browser may reach nothing but the collector on 127.0.0.1.
//
// node page.test.js COLLECTOR_EXECUTABLE OUTPUT_FOLDER

const { chromium } = require('playwright-core');
const { spawn } = require('child_process');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');

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

// cp1251 bytes of Latin and Russian text, as a station sends them.
function cp1251(text) {
  const bytes = [];
  for (const char of text) {
    const code = char.codePointAt(0);
    if (code < 0x80) bytes.push(code);
    else if (code >= 0x410 && code <= 0x44f) bytes.push(code - 0x410 + 0xc0);
    else if (code === 0x401) bytes.push(0xa8);
    else if (code === 0x451) bytes.push(0xb8);
    else bytes.push(0x3f);
  }
  return Buffer.from(bytes);
}

function startCollector(workDir) {
  const passwordFile = path.join(workDir, 'password');
  fs.writeFileSync(passwordFile, PASSWORD + '\n');
  const child = spawn(collectorPath, ['--listen', '127.0.0.1:0', '--db',
    path.join(workDir, 'results.sqlite'), '--teacher-password-file', passwordFile],
  { stdio: ['ignore', 'pipe', 'inherit'] });
  cleanups.push(() => child.kill('SIGTERM'));
  return new Promise((resolve, reject) => {
    let output = '';
    child.stdout.on('data', (chunk) => {
      output += chunk.toString();
      const match = /Listening on 127\.0\.0\.1:(\d+)/.exec(output);
      if (match) resolve(Number(match[1]));
    });
    child.on('exit', (code) => reject(new Error('collector ended with ' + code + ': ' + output)));
  });
}

// Sends a result request line exactly as an older station writes it: raw cp1251 bytes and
// raw spaces in the values. Resolves with the status code.
function sendResult(port, group, user, res, mark) {
  const line = Buffer.concat([
    Buffer.from('GET /tezra/result?group='), cp1251(group), Buffer.from('&user='), cp1251(user),
    Buffer.from(`&res=${res}&mark=${mark} HTTP/1.1\r\nHost: 127.0.0.1:${port}\r\n` +
      'Content-Type: text/html\r\nAccept: text/html, */*\r\nConnection: close\r\n\r\n'),
  ]);
  return new Promise((resolve, reject) => {
    const socket = net.connect(port, '127.0.0.1', () => socket.write(line));
    let answer = '';
    socket.setTimeout(5000, () => socket.destroy(new Error('no answer')));
    socket.on('data', (chunk) => { answer += chunk.toString('latin1'); });
    socket.on('end', () => resolve(Number(answer.slice(9, 12))));
    socket.on('error', reject);
  });
}

async function run() {
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'tezra-browser-'));
  cleanups.push(() => fs.rmSync(workDir, { recursive: true, force: true }));
  const port = await startCollector(workDir);
  const origin = `http://127.0.0.1:${port}`;
  check(await sendResult(port, '10Б', 'Иванов Пётр', 35000, 4) === 200, 'first result refused');

  const context = await chromium.launchPersistentContext(path.join(workDir, 'profile'), {
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--no-proxy-server', '--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1'],
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
