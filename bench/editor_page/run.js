// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// How fast the test editor answers the teacher, measured in headless Chromium against the
// real collector on 127.0.0.1:
// - from a change of one weight in a 200-problem test to the checker's finding on screen
//   (goal: under 300 ms), and from mending it to the finding gone;
// - from "Открыть" of a 1,000-problem test to its editor on screen (goal: under 1 s).
// Prints the median and the worst of each, one line per measure.
//
// NODE_PATH=BUILD/tests/collector/browser/node_modules node bench/editor_page/run.js \
//     BUILD/collector/tezra-collector [ROUNDS]

const { chromium } = require('playwright-core');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { startCollector, CHROMIUM_ARGS } =
  require(path.join(__dirname, '..', '..', 'tests', 'collector', 'browser', 'collector'));

const PASSWORD = 'bench-password';
const [collectorPath, roundsText = '10'] = process.argv.slice(2);
const ROUNDS = Number(roundsText);

function documentOf(count) {
  const problems = [];
  for (let index = 0; index < count; index += 1) {
    problems.push({ id: 'p' + index, title: 'Задача ' + (index + 1), category: '',
      difficulty: 1, group: 'Раздел ' + (1 + (index % 4)), rate: 0,
      text: 'Сколько будет ' + index + ' + 1?\nОтвет запишите числом.', picture: null,
      kind: 'one', variants: [{ text: String(index + 1), weight: 100 },
        { text: String(index), weight: 0 }, { text: String(index + 2), weight: 0 }] });
  }
  return { title: 'Проверка скорости', id: 'speed', chooserText: '',
    shuffle: { groups: false, problems: true, variants: true }, defer: 2,
    marks: { 5: count * 0.85, 4: count * 0.7, 3: count * 0.5, 2: 0 },
    groups: [1, 2, 3, 4].map((n) => ({ name: 'Раздел ' + n, quota: null, rate: 1 })),
    problems };
}

function summary(label, times, goal) {
  const sorted = times.slice().sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];
  const worst = sorted[sorted.length - 1];
  console.log(`${label}: median ${median.toFixed(0)} ms, worst ${worst.toFixed(0)} ms ` +
    `(${times.length} rounds, goal under ${goal} ms)`);
}

async function createTests(page) {
  await page.evaluate(async ([small, large]) => {
    for (const [name, doc] of [['bench-200.ttxt', small], ['bench-1000.ttxt', large]]) {
      const answer = await editorRequest('POST', 'tests', { name, doc });
      if (!answer.ok) throw new Error(name + ': ' + answer.status);
    }
  }, [documentOf(200), documentOf(1000)]);
}

// One change that makes a finding, then one that mends it; each timed to the screen.
async function findingRound(page) {
  return page.evaluate(() => new Promise((resolve) => {
    const input = document.getElementById('v-weight-0');
    const badge = () => document.querySelector('#problem-list li:nth-child(1) .badge');
    const times = [];
    const wait = (wanted, then) => {
      const start = performance.now();
      input.value = wanted ? '40' : '100';
      input.dispatchEvent(new Event('input', { bubbles: true }));
      const look = () => {
        if ((badge() !== null) === wanted) {
          times.push(performance.now() - start);
          then();
        } else {
          requestAnimationFrame(look);
        }
      };
      requestAnimationFrame(look);
    };
    wait(true, () => wait(false, () => resolve(times)));
  }));
}

async function openRound(page) {
  return page.evaluate(async () => {
    await closeEditor(true);
    const start = performance.now();
    await openTest('bench-1000.ttxt');
    await new Promise((resolve) => requestAnimationFrame(() => resolve()));
    return performance.now() - start;
  });
}

async function run(cleanups) {
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'tezra-editor-bench-'));
  cleanups.push(() => fs.rmSync(workDir, { recursive: true, force: true }));
  const { port } = await startCollector(collectorPath, workDir, PASSWORD,
    ['--listen', '127.0.0.1:0'], cleanups);
  const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
    args: CHROMIUM_ARGS });
  cleanups.unshift(() => browser.close());
  const context = await browser.newContext({ viewport: { width: 1280, height: 900 },
    httpCredentials: { username: 'teacher', password: PASSWORD } });
  const page = await context.newPage();
  await page.goto(`http://127.0.0.1:${port}/`);
  await createTests(page);
  const opening = [];
  for (let round = 0; round < ROUNDS; round += 1) opening.push(await openRound(page));
  await page.evaluate(async () => {
    await closeEditor(true);
    await openTest('bench-200.ttxt');
  });
  const appear = [];
  const vanish = [];
  for (let round = 0; round < ROUNDS; round += 1) {
    const [made, mended] = await findingRound(page);
    appear.push(made);
    vanish.push(mended);
  }
  summary('finding on screen after a change, 200 problems', appear, 300);
  summary('finding gone after the mend, 200 problems', vanish, 300);
  summary('1,000-problem test opened in the editor', opening, 1000);
}

const cleanups = [];
run(cleanups)
  .catch((error) => {
    console.error('FAILED: ' + error.message);
    process.exitCode = 1;
  })
  .finally(async () => {
    for (const cleanup of cleanups) {
      try { await cleanup(); } catch (error) { /* already gone */ }
    }
  });
