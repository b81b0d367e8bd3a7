// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// Shared pieces of the browser tests: a collector on 127.0.0.1 and a station's raw request.

const { spawn } = require('child_process');
const fs = require('fs');
const net = require('net');
const path = require('path');

// cp1251 bytes of Latin and Russian text and the section sign, as a station sends and reads them.
function cp1251(text) {
  const bytes = [];
  for (const char of text) {
    const code = char.codePointAt(0);
    if (code < 0x80) bytes.push(code);
    else if (code >= 0x410 && code <= 0x44f) bytes.push(code - 0x410 + 0xc0);
    else if (code === 0x401) bytes.push(0xa8);
    else if (code === 0x451) bytes.push(0xb8);
    else if (code === 0xa7) bytes.push(0xa7);
    else bytes.push(0x3f);
  }
  return Buffer.from(bytes);
}

// Starts the collector with the password; resolves with { child, port }. extra: more options.
function startCollector(collectorPath, workDir, password, extra, cleanups) {
  const passwordFile = path.join(workDir, 'password');
  fs.writeFileSync(passwordFile, password + '\n');
  const child = spawn(collectorPath, ['--db', path.join(workDir, 'results.sqlite'),
    '--teacher-password-file', passwordFile].concat(extra),
  { stdio: ['ignore', 'pipe', 'inherit'] });
  cleanups.push(() => child.kill('SIGKILL'));
  return new Promise((resolve, reject) => {
    let output = '';
    child.stdout.on('data', (chunk) => {
      output += chunk.toString();
      const match = /Listening on 127\.0\.0\.1:(\d+)/.exec(output);
      if (match) resolve({ child, port: Number(match[1]), output });
    });
    child.on('exit', (code) => reject(new Error('collector ended with ' + code + ': ' + output)));
  });
}

function stopCollector(child) {
  return new Promise((resolve) => {
    if (child.exitCode !== null) return resolve();
    child.removeAllListeners('exit');
    child.on('exit', () => resolve());
    child.kill('SIGTERM');
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

const CHROMIUM_ARGS = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--no-proxy-server', '--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1'];

// With TEZRA_GUIDE_SHOTS set to a folder, the browser tests also save the screenshots the
// teacher's guide shows there (scripts/guide-screenshots.sh sets it to the guide's folder).
// Only the view is shot (not the whole page), so each picture shows what the teacher sees.
async function guideShot(page, name) {
  const folder = process.env.TEZRA_GUIDE_SHOTS;
  if (!folder) return;
  fs.mkdirSync(folder, { recursive: true });
  await page.screenshot({ path: path.join(folder, name + '.png'), caret: 'initial' });
}

// Clicks the element `selector` names with the page redrawn (`redraw`, run in the page)
// between the press and the release, as when an answer from the server comes in meanwhile.
async function clickAcrossRedraw(page, selector, redraw) {
  const box = await page.locator(selector).boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  await page.evaluate(redraw);
  await page.mouse.up();
}

module.exports = { cp1251, startCollector, stopCollector, sendResult, guideShot,
  clickAcrossRedraw, CHROMIUM_ARGS };
