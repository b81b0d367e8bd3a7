// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// The test editor on the teacher's page, against the real collector on 127.0.0.1:
// - a test written from nothing with the keyboard alone (two sections, one problem of each
//   answer kind, marks, a section renamed with its problems following) is saved, and its
//   station file, downloaded, is read back by `tezra-tool dump` with the same content;
// - a checker finding appears beside its problem and goes again when the cause is mended;
// - a character Windows-1251 cannot hold is flagged at its field with the look-alike, and the
//   test is not saved until it is replaced;
// - a PNG picture, chosen or dropped, is turned into JPEG in the browser, stored on the server
//   and shown as the station shows it;
// - a title like <img onerror> shows as text and runs nothing;
// - a second tab's save over a newer version is refused with the message;
// - "Как видит ученик" and a whole try pass to the score message;
// - a Moodle XML file with pictures is imported after its warnings were shown;
// - every download answers with its file;
// - steady typing is saved while it goes on; a change is saved when the page is closed before
//   its save was due; leaving a large test with unsaved changes asks first, and asks nothing
//   once it is saved;
// - a change typed while the collector is down and left behind is offered, from the
//   browser's copy, when the test is opened again, and saved when taken back.
// Screenshots of the editor and the student view go to OUTPUT_FOLDER.
//
// node editor.test.js COLLECTOR TEZRA_TOOL OUTPUT_FOLDER [chromium|firefox]

const { chromium, firefox } = require('playwright-core');
const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const { cp1251, startCollector, guideShot, clickAcrossRedraw,
  CHROMIUM_ARGS } = require('./collector');

const TIME_LIMIT_MS = 120000;
const PASSWORD = 'учитель-9Б';
const MOODLE = path.join(__dirname, '..', '..', 'data', 'convert', 'moodle-ru', 'in.xml');
const HOSTILE = '<img src=x onerror="window.__hostile=1">';

const [collectorPath, toolPath, outputDir, engine = 'chromium'] = process.argv.slice(2);
const cleanups = [];
const watched = { page: null };

function check(condition, message) {
  if (!condition) throw new Error(message);
}

async function openBrowser(workDir) {
  const options = { viewport: { width: 1280, height: 900 }, locale: 'ru-RU',
    httpCredentials: { username: 'teacher', password: PASSWORD } };
  if (engine === 'firefox') {
    const browser = await firefox.launch({
      executablePath: '/usr/bin/firefox-esr', channel: 'moz-firefox-esr', headless: true,
      firefoxUserPrefs: {
        'network.proxy.type': 1, 'network.proxy.http': '127.0.0.1', 'network.proxy.http_port': 9,
        'network.proxy.ssl': '127.0.0.1', 'network.proxy.ssl_port': 9,
        'network.proxy.no_proxies_on': '127.0.0.1', 'network.auth.confirmAuth.enabled': false,
        'app.update.disabledForTesting': true, 'network.captive-portal-service.enabled': false,
      },
    });
    cleanups.unshift(() => browser.close());
    return browser.newContext(options);
  }
  const context = await chromium.launchPersistentContext(path.join(workDir, 'profile'),
    Object.assign({ executablePath: '/usr/bin/chromium', headless: true, args: CHROMIUM_ARGS },
      options));
  cleanups.unshift(() => context.close());
  return context;
}

// A PNG of width x height with a red left half and a transparent right half.
function pngFile(width, height) {
  const table = Array.from({ length: 256 }, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; k += 1) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
  });
  const crc = (bytes) => {
    let c = 0xffffffff;
    for (const byte of bytes) c = table[(c ^ byte) & 0xff] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
  };
  const chunk = (type, data) => {
    const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
    const out = Buffer.alloc(12 + data.length);
    out.writeUInt32BE(data.length, 0);
    body.copy(out, 4);
    out.writeUInt32BE(crc(body), 8 + data.length);
    return out;
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header.set([8, 6, 0, 0, 0], 8);
  const rows = [];
  for (let y = 0; y < height; y += 1) {
    const row = Buffer.alloc(1 + width * 4);
    for (let x = 0; x < width / 2; x += 1) row.set([220, 30, 30, 255], 1 + x * 4);
    rows.push(row);
  }
  return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', header),
    chunk('IDAT', zlib.deflateSync(Buffer.concat(rows))), chunk('IEND', Buffer.alloc(0))]);
}

// [width, height] of a baseline or progressive JPEG, from its frame header.
function jpegSize(bytes) {
  for (let at = 2; at + 9 < bytes.length; at += 2 + bytes.readUInt16BE(at + 2)) {
    if (bytes[at] !== 0xff) return null;
    if (bytes[at + 1] === 0xc0 || bytes[at + 1] === 0xc2) {
      return [bytes.readUInt16BE(at + 7), bytes.readUInt16BE(at + 5)];
    }
  }
  return null;
}

// Presses Tab (or Shift+Tab, for a field above the focus) until the focused element matches
// the selector: the field is reachable from the keyboard in the page's tab order.
async function tabTo(page, selector) {
  for (let presses = 0; presses < 80; presses += 1) {
    const where = await page.evaluate((wanted) => {
      const focus = document.activeElement;
      if (focus && focus.matches(wanted)) return 'here';
      const target = document.querySelector(wanted);
      if (!target || !focus || focus === document.body) return 'below';
      return focus.compareDocumentPosition(target) & Node.DOCUMENT_POSITION_PRECEDING ?
        'above' : 'below';
    }, selector);
    if (where === 'here') return;
    await page.keyboard.press(where === 'above' ? 'Shift+Tab' : 'Tab');
  }
  throw new Error('Tab never reached ' + selector);
}

async function typeInto(page, selector, text) {
  await tabTo(page, selector);
  await page.keyboard.press('Control+A');
  await page.keyboard.type(text);
}

async function saved(page) {
  await page.waitForFunction(() => {
    const state = document.getElementById('save-state');
    return state.dataset.state === 'saved' && state.textContent.startsWith('Сохранено');
  }, null, { timeout: 8000 });
}

// Screenshots come from Chromium: Firefox's driver puts a <style> into the page for them,
// which the page's security policy refuses (and reports as a page error).
async function shoot(page, shots, name) {
  if (engine !== 'chromium') return;
  shots.push([name, await page.screenshot({ caret: 'initial' })]);
  await guideShot(page, 'editor-' + (name === 'editor' ? 'problem' : name));
}

// The bytes of an editor path, fetched by the page with its session.
async function download(page, url) {
  const base64 = await page.evaluate(async (target) => {
    const answer = await fetch(target);
    if (!answer.ok) return 'status:' + answer.status;
    const bytes = new Uint8Array(await answer.arrayBuffer());
    let text = '';
    for (const byte of bytes) text += String.fromCharCode(byte);
    return btoa(text);
  }, url);
  check(!base64.startsWith('status:'), url + ' answered ' + base64);
  return Buffer.from(base64, 'base64');
}

// The test as the collector holds it, asked by this script, not by the page.
async function storedDoc(port, name) {
  const answer = await fetch(`http://127.0.0.1:${port}/api/editor/tests/` +
    encodeURIComponent(name), { headers: { Authorization: 'Basic ' +
      Buffer.from('teacher:' + PASSWORD).toString('base64') } });
  check(answer.ok, 'reading ' + name + ' answered ' + answer.status);
  return (await answer.json()).doc;
}

async function storedSoon(port, name, wanted, what) {
  const until = Date.now() + 5000;
  let doc = await storedDoc(port, name);
  while (!wanted(doc) && Date.now() < until) {
    await new Promise((resolve) => setTimeout(resolve, 100));
    doc = await storedDoc(port, name);
  }
  check(wanted(doc), what + ': the server holds ' + JSON.stringify(doc));
}

async function writeByKeyboard(page, shots) {
  await tabTo(page, '#new-test-name');
  await page.keyboard.type('клавиатура');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => !document.getElementById('editor').hidden &&
    document.activeElement.id === 't-title', null, { timeout: 8000 });
  await page.keyboard.type('Проверка с клавиатуры');
  await typeInto(page, '#t-id', 'kbd-1');
  await typeInto(page, '#t-chooser', 'Клавиатура: три задачи');
  await tabTo(page, '#t-shuffle-variants');
  await page.keyboard.press('Space');
  await typeInto(page, '#t-defer', '1');
  for (const [mark, points] of [[5, '3'], [4, '2'], [3, '1'], [2, '0']]) {
    await typeInto(page, '#t-mark' + mark, points);
  }
  // Problem 1: one answer.
  await typeInto(page, '#p-id', 'half');
  await typeInto(page, '#p-text', 'Сколько будет 1/2 + 1/2?\nВыберите ответ.');
  await typeInto(page, '#v-text-0', '1');
  await typeInto(page, '#v-text-1', '2');
  // Enter in a variant adds the next one.
  await page.keyboard.press('Enter');
  await page.keyboard.type('1/4');
  // The second section, with problem 2 (typed) in it.
  await tabTo(page, '#add-group');
  const outline = await page.evaluate(() => getComputedStyle(document.activeElement).outlineWidth);
  check(parseFloat(outline) >= 2, 'the focused button shows no focus: ' + outline);
  await page.keyboard.press('Space');
  await page.waitForFunction(() => document.activeElement.id === 'g-name-1');
  await page.keyboard.press('Control+A');
  await page.keyboard.type('Вычисления');
  await tabTo(page, '#add-problem');
  await page.keyboard.press('Space');
  await page.waitForFunction(() => document.activeElement.id === 'p-id');
  await page.keyboard.type('mul');
  await tabTo(page, '#p-group');
  await page.keyboard.press('ArrowDown');
  await tabTo(page, '#p-kind');
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('ArrowDown');
  await typeInto(page, '#p-text', '4 * 3 = ?');
  await typeInto(page, '#v-text-0', '12');
  await tabTo(page, '[aria-label="Удалить вариант 2"]');
  await page.keyboard.press('Space');
  // Problem 3: several answers, in the first section.
  await tabTo(page, '#add-problem');
  await page.keyboard.press('Space');
  await page.waitForFunction(() => document.activeElement.id === 'p-id');
  await page.keyboard.type('even');
  await tabTo(page, '#p-group');
  await page.keyboard.press('ArrowUp');
  await tabTo(page, '#p-kind');
  await page.keyboard.press('ArrowDown');
  await typeInto(page, '#p-text', 'Отметьте чётные числа');
  await typeInto(page, '#v-text-0', '2');
  await typeInto(page, '#v-weight-0', '50');
  await typeInto(page, '#v-text-1', '4');
  await typeInto(page, '#v-weight-1', '50');
  // The first section renamed: its two problems follow.
  await typeInto(page, '#g-name-0', 'Дроби');
  await typeInto(page, '#g-quota-0', '2');
  await saved(page);
  const unlabelled = await page.evaluate(() => Array.from(
    document.querySelectorAll('#editor input, #editor select, #editor textarea'))
    .filter((field) => !Array.from(field.labels).some((label) => label.offsetWidth > 0))
    .map((field) => field.id || field.outerHTML.slice(0, 60)));
  check(unlabelled.length === 0, 'fields without a visible label: ' + unlabelled.join(', '));
  await page.evaluate(() => document.getElementById('editor').scrollIntoView());
  await shoot(page, shots, 'test');
}

function dumpOf(bytes, workDir, name) {
  const file = path.join(workDir, name);
  fs.writeFileSync(file, bytes);
  return JSON.parse(execFileSync(toolPath, ['dump', file], { encoding: 'utf8' }));
}

function checkDump(test) {
  check(test.Loaded === true, 'the station could not read the download');
  check(test.Title === 'Проверка с клавиатуры' && test.Id === 'kbd-1', 'title ' + test.Title);
  check(test.ShuffleVariants && !test.ShuffleGroups && !test.ShuffleProblems, 'shuffle bits');
  check(test.DeferLimit === 1, 'defer ' + test.DeferLimit);
  check(JSON.stringify(test.MarkThresholds.slice(2)) === '[1,2,3]', 'marks ' +
    JSON.stringify(test.MarkThresholds));
  const groups = test.Groups.map((group) => group.Name + ':' + group.Quota).join(',');
  check(groups === 'Дроби:2,Вычисления:0' || groups.startsWith('Дроби:2,Вычисления'),
    'groups ' + groups);
  const problems = test.Problems.map((problem) => [problem.Id, problem.Group, problem.Mode,
    problem.Variants.map((variant) => variant.Text + '=' + variant.Weight).join(' ')].join('|'));
  const expected = ['half|Дроби|0|1=100 2=0 1/4=0', 'mul|Вычисления|2|12=100',
    'even|Дроби|1|2=50 4=50'];
  check(JSON.stringify(problems) === JSON.stringify(expected), 'problems ' +
    JSON.stringify(problems));
  check(JSON.stringify(test.Problems[0].Condition) ===
    JSON.stringify(['Сколько будет 1/2 + 1/2?', 'Выберите ответ.']), 'condition ' +
    JSON.stringify(test.Problems[0].Condition));
}

async function openProblemNumber(page, number) {
  await page.click('#problem-list li:nth-child(' + number + ') button');
  await page.waitForFunction((n) => document.getElementById('problem-title').textContent
    .startsWith('Задача ' + n + ' '), number);
}

// A check's answer redraws the problem list; one that comes in between the press and the
// release of a click on the list must not swallow the click.
async function openProblemByPressAcrossCheckAnswer(page, number) {
  await clickAcrossRedraw(page, '#problem-list li:nth-child(' + number + ') button',
    () => showFindings(editor.findings));
  await page.waitForFunction((n) => document.getElementById('problem-title').textContent
    .startsWith('Задача ' + n + ' '), number, { timeout: 5000 });
}

// A one-answer problem without a 100 % variant gets a finding beside it; mended, it goes.
async function findingComesAndGoes(page) {
  await openProblemNumber(page, 1);
  await page.fill('#v-weight-0', '40');
  await page.waitForFunction(() => document.querySelectorAll('#problem-findings li').length > 0 &&
    document.querySelector('#problem-list li:nth-child(1) .badge') !== null, null,
  { timeout: 3000 });
  await page.fill('#v-weight-0', '100');
  await page.waitForFunction(() => document.querySelectorAll('#problem-findings li').length === 0
    && document.querySelector('#problem-list li:nth-child(1) .badge') === null, null,
  { timeout: 3000 });
  await saved(page);
}

async function flagsImpossibleCharacter(page) {
  await openProblemNumber(page, 2);
  await page.fill('#p-text', '4 × 3 = ?');
  const note = await page.waitForSelector('#p-text + .char-note:not([hidden])', { timeout: 1000 });
  const text = await note.textContent();
  check(text.includes('«×» (U+00D7)') && text.includes('«×» → «x»'), 'note: ' + text);
  await page.waitForFunction(() => document.getElementById('save-state').dataset.state ===
    'error', null, { timeout: 3000 });
  const state = await page.textContent('#save-state');
  check(state.includes('Не сохранено') && state.includes('×'), 'save state: ' + state);
  await page.focus('#p-text');
  await page.keyboard.press('Tab');
  check(await page.evaluate(() => document.activeElement.classList.contains('replace-chars')),
    'the replace button is not next in the tab order');
  await page.keyboard.press('Space');
  check(await page.inputValue('#p-text') === '4 x 3 = ?', 'not replaced');
  check(await page.isHidden('#p-text + .char-note'), 'the note stayed');
  await saved(page);
}

async function hostileTitleIsText(page) {
  await page.fill('#p-title', HOSTILE);
  await page.waitForFunction((title) => document.querySelector('#problem-list li:nth-child(2)')
    .textContent.includes(title), HOSTILE);
  check(await page.locator('#problem-list img').count() === 0, 'the title became markup');
  await saved(page);
  await page.waitForTimeout(200);
  check(await page.evaluate(() => window.__hostile === undefined), 'the title ran as script');
}

async function pictureFromPng(page, workDir, shots) {
  await openProblemNumber(page, 1);
  const file = path.join(workDir, 'circle.png');
  fs.writeFileSync(file, pngFile(120, 80));
  await page.setInputFiles('#p-picture', file);
  await page.waitForFunction(() => {
    const image = document.querySelector('#picture-holder img');
    return image && image.complete && image.naturalWidth === 120;
  }, null, { timeout: 8000 });
  const box = await page.evaluate(() => {
    const holder = document.querySelector('.picture-box');
    return [holder.style.width, holder.style.height];
  });
  check(box[0] === '121px' && box[1] === '80px', 'thumbnail box ' + box);
  await saved(page);
  const name = await page.evaluate(() => editor.doc.problems[0].picture.file);
  check(name === 'circle.jpg', 'picture named ' + name);
  const bytes = await download(page, 'api/editor/tests/' + encodeURIComponent('клавиатура.ttxt') +
    '/pictures/circle.jpg');
  check(bytes[0] === 0xff && bytes[1] === 0xd8, 'the server holds no JPEG');
  // The screenshot shows a finding beside the problem with its picture.
  await page.fill('#v-weight-0', '40');
  await page.waitForSelector('#problem-findings li', { timeout: 3000 });
  await page.evaluate(() => document.getElementById('problem').scrollIntoView());
  await shoot(page, shots, 'editor');
  await page.fill('#v-weight-0', '100');
  await page.waitForFunction(() => !document.querySelector('#problem-findings li'));
  await saved(page);
}

// A PNG dropped onto the picture area of problem 3 (a drag from the teacher's file manager,
// built in the page), then removed again.
async function pictureDropped(page, port) {
  await openProblemNumber(page, 3);
  const transfer = await page.evaluateHandle((base64) => {
    const bytes = Uint8Array.from(atob(base64), (char) => char.charCodeAt(0));
    const files = new DataTransfer();
    files.items.add(new File([bytes], 'dropped.png', { type: 'image/png' }));
    return files;
  }, pngFile(90, 60).toString('base64'));
  const area = page.locator('#problem fieldset.picture');
  await area.dispatchEvent('dragover', { dataTransfer: transfer });
  check(await area.evaluate((box) => box.classList.contains('dropping')), 'no drop marking');
  await area.dispatchEvent('drop', { dataTransfer: transfer });
  await page.waitForFunction(() => {
    const image = document.querySelector('#picture-holder img');
    return image && image.complete && image.naturalWidth === 90;
  }, null, { timeout: 8000 });
  check(!await area.evaluate((box) => box.classList.contains('dropping')), 'marking stayed');
  check((await page.textContent('#picture-note')).includes('переведён в JPEG'), 'note: ' +
    await page.textContent('#picture-note'));
  await saved(page);
  // The saved test holds the picture (the server names an embedded one by its problem).
  let stored = null;
  await storedSoon(port, 'клавиатура.ttxt', (doc) => (stored = doc.problems[2].picture) !== null,
    'the dropped picture');
  const bytes = await download(page, 'api/editor/tests/' + encodeURIComponent('клавиатура.ttxt') +
    '/pictures/' + encodeURIComponent(stored.file));
  check(bytes[0] === 0xff && bytes[1] === 0xd8, 'the dropped picture is no JPEG on the server');
  check(JSON.stringify(jpegSize(bytes)) === '[90,60]', 'stored size ' + jpegSize(bytes));
  await page.click('#p-picture-remove');
  await saved(page);
  await storedSoon(port, 'клавиатура.ttxt', (doc) => doc.problems[2].picture === null,
    'the removed picture');
}

async function twoTabs(page, context) {
  const other = await context.newPage();
  await other.goto(page.url());
  await other.click('#tests tbody tr[data-name="клавиатура.ttxt"] button[aria-label^="Открыть"]');
  await other.waitForFunction(() => !document.getElementById('editor').hidden);
  await page.fill('#t-title', 'Правка первой вкладки');
  await saved(page);
  await other.fill('#t-title', 'Правка второй вкладки');
  await other.waitForSelector('#conflict:not([hidden])', { timeout: 5000 });
  const message = await other.textContent('#conflict');
  check(message.includes('изменён'), 'conflict message: ' + message);
  const stored = await page.evaluate(async () => (await (await fetch(
    'api/editor/tests/' + encodeURIComponent('клавиатура.ttxt'))).json()).doc.title);
  check(stored === 'Правка первой вкладки', 'the second tab overwrote: ' + stored);
  await other.close();
}

async function studentView(page, shots) {
  await openProblemNumber(page, 1);
  await page.click('#show-student');
  await page.waitForSelector('#student-dialog[open]');
  const condition = await page.textContent('#student-condition');
  check(condition === 'Сколько будет 1/2 + 1/2?\nВыберите ответ.', 'preview: ' + condition);
  check(await page.locator('#student-controls input[type=radio]').count() === 3, 'radios');
  await page.waitForFunction(() => {
    const image = document.querySelector('#student-picture img');
    return image && image.complete && image.naturalWidth === 120;
  });
  await shoot(page, shots, 'student');
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => !document.getElementById('student-dialog').open);
}

const RIGHT = { half: ['1'], mul: ['12'], even: ['2', '4'] };

// A whole pass: the forgotten-answer message first, then every answer right, to the score.
async function tryPass(page, shots) {
  await page.click('#try-test');
  await page.waitForSelector('#student-dialog[open]');
  await page.waitForFunction(() => document.body.dataset.tryState === 'problem');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.body.dataset.tryState === 'forgotten');
  check((await page.textContent('#student-message')).startsWith('Вы забыли'), 'no reminder');
  // The one deferral the test allows sends the problem to the end.
  const first = await page.textContent('#student-condition');
  check(await page.textContent('#student-defers') === '1', 'deferrals left before');
  await page.click('#student-defer');
  await page.waitForFunction((before) =>
    document.getElementById('student-condition').textContent !== before, first);
  check(await page.textContent('#student-defers') === '0', 'deferrals left after');
  // A second press defers nothing: the station hides its defer panel and keeps the problem.
  const second = await page.textContent('#student-condition');
  await page.click('#student-defer');
  await page.waitForSelector('#student-defer-box', { state: 'hidden' });
  check(await page.textContent('#student-condition') === second, 'the problem changed');
  for (let step = 0; step < 3; step += 1) {
    const condition = await page.textContent('#student-condition');
    const key = condition.startsWith('Сколько') ? 'half' : condition.startsWith('4') ? 'mul' :
      'even';
    if (key === 'mul') {
      await page.fill('#student-typed', RIGHT.mul[0]);
    } else {
      for (const text of RIGHT[key]) {
        await page.locator('#student-controls label', { hasText: new RegExp('^' + text + '$') })
          .click();
      }
    }
    await page.click('#student-answered');
    await page.waitForFunction((before) => document.body.dataset.tryState === 'finished' ||
      document.getElementById('student-condition').textContent !== before, condition);
  }
  check(await page.evaluate(() => document.body.dataset.tryState) === 'finished', 'not finished');
  const message = await page.textContent('#student-message');
  check(/Вы набрали баллов: 3(\.0+)?\nОценка 5/.test(message), 'score message: ' + message);
  await shoot(page, shots, 'score');
  await page.click('#student-close');
}

function problemIds(page) {
  return page.evaluate(() => editor.doc.problems.map((problem) => problem.id).join(','));
}

// Problems moved, copied and deleted; a variant moved; the order is what the station gets.
async function reorder(page, workDir) {
  await openProblemNumber(page, 3);
  await page.click('#problem [data-action="up"]');
  check(await problemIds(page) === 'half,even,mul', 'after up: ' + await problemIds(page));
  await page.click('#problem [data-action="copy"]');
  check(await problemIds(page) === 'half,even,even,mul', 'after copy: ' + await problemIds(page));
  await page.click('#problem [data-action="delete"]');
  check(await problemIds(page) === 'half,even,mul', 'after delete: ' + await problemIds(page));
  await openProblemByPressAcrossCheckAnswer(page, 2);
  await page.click('#problem [data-action="down"]');
  check(await problemIds(page) === 'half,mul,even', 'after down: ' + await problemIds(page));
  await openProblemNumber(page, 1);
  await page.click('[aria-label="Вариант 1 ниже"]');
  check(await page.inputValue('#v-text-1') === '1', 'the variant did not move');
  await page.click('[aria-label="Вариант 2 выше"]');
  await saved(page);
  const test = dumpOf(await download(page, await page.getAttribute('#editor [data-as="ttxt"]',
    'href')), workDir, 'reordered.ttxt');
  check(test.Problems.map((problem) => problem.Id).join() === 'half,mul,even', 'station order');
  check(test.Problems[0].Variants[0].Text === '1', 'variant order');
}

// "Копия" and "Переименовать" in the library's list.
async function copyAndRename(page, prompts) {
  prompts.push('копия.ttxt');
  await page.click('#tests tbody tr[data-name="клавиатура.ttxt"] button[aria-label^="Копия"]');
  await page.waitForFunction(() => document.getElementById('editor-name').textContent ===
    'копия.ttxt', null, { timeout: 5000 });
  check(await page.inputValue('#t-title') === 'Правка первой вкладки' ||
    await page.inputValue('#t-title') === 'Проверка с клавиатуры', 'the copy lost its title');
  prompts.push('переименован.ttxt');
  await page.click('#tests tbody tr[data-name="копия.ttxt"] button[aria-label^="Переименовать"]');
  await page.waitForSelector('#tests tbody tr[data-name="переименован.ttxt"]', { timeout: 5000 });
  check(await page.locator('#tests tbody tr[data-name="копия.ttxt"]').count() === 0,
    'the old name is still listed');
}

// Opens "Версии" and gives the text of the second row's version, looked at.
async function lookAtSecondVersion(page, expectedRows) {
  await page.click('#show-versions');
  await page.waitForSelector('#versions-dialog[open]');
  await page.waitForFunction((rows) =>
    document.querySelectorAll('#versions tbody tr').length === rows, expectedRows,
  { timeout: 5000 }).catch(() => {});
  const rows = await page.locator('#versions tbody tr').count();
  check(rows === expectedRows, 'versions listed: ' + rows + ', expected ' + expectedRows);
  await page.click('#versions tbody tr:nth-child(2) button[aria-label^="Посмотреть"]');
  await page.waitForSelector('#version-look:not([hidden])');
  return page.textContent('#version-text');
}

async function restoreSecondVersion(page, title) {
  await page.click('#versions tbody tr:nth-child(2) button[aria-label^="Восстановить"]');
  await page.waitForFunction(() => !document.getElementById('versions-dialog').open);
  await page.waitForFunction((expected) => document.getElementById('t-title').value ===
    expected && document.getElementById('save-state').textContent.startsWith('Восстановлена'),
  title, { timeout: 5000 });
}

// The saves made seconds apart are one version beside the new test's first; restoring that
// first one is a version of its own, so the work from before the restore comes back in turn.
async function versions(page) {
  const title = await page.inputValue('#t-title');
  const first = await lookAtSecondVersion(page, 2);
  check(first.startsWith('Название: \n') && !first.includes('4 x 3'), 'first version: ' +
    first.slice(0, 200));
  await restoreSecondVersion(page, '');
  const before = await lookAtSecondVersion(page, 3);
  check(before.includes('Название: ' + title) && before.includes('  4 x 3 = ?'),
    'version before the restore: ' + before.slice(0, 200));
  await restoreSecondVersion(page, title);
}

// The collector killed while the teacher types: the page says the save failed, keeps trying,
// and saves once the collector is back.
async function survivesKill(page, collector, workDir, port) {
  collector.child.kill('SIGKILL');
  await new Promise((resolve) => collector.child.once('exit', resolve));
  await page.fill('#t-title', 'После сбоя');
  await page.waitForFunction(() => document.getElementById('save-state').dataset.state ===
    'error', null, { timeout: 5000 });
  const state = await page.textContent('#save-state');
  check(state.includes('Не сохранено') && state.includes('Повторяем'), 'state: ' + state);
  collector.child.removeAllListeners('exit');
  collector.child = (await startCollector(collectorPath, workDir, PASSWORD,
    ['--listen', '127.0.0.1:' + port], cleanups)).child;
  await saved(page);
  const stored = await page.evaluate(async (name) => (await (await fetch(
    'api/editor/tests/' + encodeURIComponent(name))).json()).doc.title, 'из-moodle.ttxt');
  check(stored === 'После сбоя', 'after the restart the test holds ' + stored);
}

async function openFromLibrary(page, name) {
  await page.click('#tests tbody tr[data-name="' + name + '"] button[aria-label^="Открыть"]');
  await page.waitForFunction((wanted) => !document.getElementById('editor').hidden &&
    document.getElementById('editor-name').textContent === wanted, name, { timeout: 8000 });
}

const TEACHER = { Authorization: 'Basic ' +
  Buffer.from('teacher:' + PASSWORD).toString('base64') };

// The test's versions, newest first, as the collector lists them.
async function versionList(port, name) {
  const answer = await fetch(`http://127.0.0.1:${port}/api/editor/tests/` +
    encodeURIComponent(name) + '/versions', { headers: TEACHER });
  return (await answer.json()).versions;
}

// A change saved by someone else through the editor's interface, as another browser would.
async function saveElsewhere(port, name, title) {
  const test = `http://127.0.0.1:${port}/api/editor/tests/` + encodeURIComponent(name);
  const { token } = await (await fetch(`http://127.0.0.1:${port}/api/editor/token`,
    { headers: TEACHER })).json();
  const open = await (await fetch(test, { headers: TEACHER })).json();
  open.doc.title = title;
  const saved = await fetch(test, { method: 'PUT', headers: Object.assign({ 'X-Tezra-Token': token,
    'Content-Type': 'application/json' }, TEACHER),
  body: JSON.stringify({ doc: open.doc, revision: open.revision }) });
  check(saved.ok, 'the other save answered ' + saved.status);
  return (await saved.json()).revision;
}

// The collector killed while the teacher types, and the page closed all the same (the teacher
// confirms leaving): the change kept in the browser is offered when the test is opened again
// once the collector is back, taken back with the keyboard and saved; then it is not offered
// any more. A copy left while the test was then saved elsewhere is offered saying so, and
// taken back it leaves that other version in the list.
async function unsavedCopyReturns(context, url, collector, workDir, port) {
  const name = 'сохранение.ttxt';
  const before = (await storedDoc(port, name)).title;
  const { page, dialogs } = await editorPage(context, url, true);
  await openFromLibrary(page, name);
  collector.child.kill('SIGKILL');
  await new Promise((resolve) => collector.child.once('exit', resolve));
  await page.focus('#t-title');
  await page.keyboard.press('End');
  await page.keyboard.type(' (без связи)');
  await page.waitForFunction(() => document.getElementById('save-state').dataset.state ===
    'error', null, { timeout: 5000 });
  const closed = page.waitForEvent('close');
  await page.close({ runBeforeUnload: true });
  await closed;
  check(dialogs.join() === 'beforeunload', 'leaving unsaved asked: ' + dialogs.join());
  collector.child.removeAllListeners('exit');
  collector.child = (await startCollector(collectorPath, workDir, PASSWORD,
    ['--listen', '127.0.0.1:' + port], cleanups)).child;
  check((await storedDoc(port, name)).title === before, 'the change was saved while offline');
  const again = (await editorPage(context, url, true)).page;
  await openFromLibrary(again, name);
  await again.waitForSelector('#unsaved-copy:not([hidden])', { timeout: 3000 });
  const offer = await again.textContent('#unsaved-copy-text');
  check(/^Есть несохранённые правки от \d\d:\d\d\. Вернуть их\?$/.test(offer), 'offer: ' + offer);
  check(await again.inputValue('#t-title') === before, 'the copy was put in unasked');
  check(await again.evaluate(() => document.activeElement.id) === 'unsaved-restore',
    'the offer has no focus');
  await again.keyboard.press('Enter');
  await again.waitForFunction((title) => document.getElementById('t-title').value === title,
    before + ' (без связи)', { timeout: 3000 });
  check(await again.isHidden('#unsaved-copy'), 'the offer stayed');
  await saved(again);
  await storedSoon(port, name, (doc) => doc.title === before + ' (без связи)',
    'the change taken back');
  await again.click('#close-editor');
  await again.waitForSelector('#editor', { state: 'hidden' });
  await openFromLibrary(again, name);
  check(await again.isHidden('#unsaved-copy'), 'a saved copy is offered again');

  await again.route('**/api/editor/tests/**', (route) =>
    route.request().method() === 'PUT' ? route.abort() : route.fallback());
  await again.focus('#t-title');
  await again.keyboard.press('End');
  await again.keyboard.type('!');
  await again.waitForFunction(() => document.getElementById('save-state').dataset.state ===
    'error', null, { timeout: 5000 });
  await again.click('#close-editor');
  await again.waitForSelector('#editor', { state: 'hidden' });
  await again.unroute('**/api/editor/tests/**');
  const other = await saveElsewhere(port, name, 'Чужая правка');
  await openFromLibrary(again, name);
  await again.waitForSelector('#unsaved-copy:not([hidden])', { timeout: 3000 });
  const newer = await again.textContent('#unsaved-copy-text');
  check(newer.includes('изменился') && newer.includes('версия ' + other) &&
    newer.includes('«Версии»'), 'offer over a newer version: ' + newer);
  await again.keyboard.press('Enter');
  await saved(again);
  await storedSoon(port, name, (doc) => doc.title === before + ' (без связи)!',
    'the copy taken back over a newer version');
  const list = await versionList(port, name);
  check(list.some((version) => version.title === 'Чужая правка'),
    'the other version left the list: ' + JSON.stringify(list));
  await again.close();
}

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, Math.max(0, ms)));
}

// A new page of the teacher's page; its questions are answered "stay" unless `leave`.
async function editorPage(context, url, leave = false) {
  const page = await context.newPage();
  const dialogs = [];
  page.on('dialog', (dialog) => {
    dialogs.push(dialog.type());
    return leave ? dialog.accept() : dialog.dismiss();
  });
  page.on('pageerror', (error) => watched.problems.push(watched.step + ': ' + error.message));
  await page.goto(url);
  await page.waitForSelector('#new-test-name');
  return { page, dialogs };
}

const STEADY = 'Пишу без паузы!';

// A key every 300 ms, each read back from the server at once: the stored title follows the
// typing within about a second while the typing goes on. Then a change made just before the
// page is closed, before its save was due, is saved all the same, and nothing was asked.
async function steadyTypingAndClosing(context, url, port) {
  const { page, dialogs } = await editorPage(context, url);
  await page.fill('#new-test-name', 'сохранение');
  await page.press('#new-test-name', 'Enter');
  await page.waitForFunction(() => !document.getElementById('editor').hidden &&
    document.activeElement.id === 't-title', null, { timeout: 8000 });
  await page.keyboard.press('Control+A');
  const seen = new Set();
  let stored = '';
  for (const char of STEADY) {
    const started = Date.now();
    await page.keyboard.type(char);
    stored = (await storedDoc(port, 'сохранение.ttxt')).title;
    seen.add(stored);
    await sleep(300 - (Date.now() - started));
  }
  check(STEADY.startsWith(stored) && stored.length >= STEADY.length - 6,
    'after the last key the server holds «' + stored + '»');
  check(seen.size >= 4, 'saved while typing: ' + Array.from(seen).join(' | '));
  await saved(page);
  await typeInto(page, '#t-id', 'closed-at-once');
  const closed = page.waitForEvent('close');
  await page.close({ runBeforeUnload: true });
  await closed;
  await storedSoon(port, 'сохранение.ttxt', (doc) => doc.id === 'closed-at-once',
    'the change made just before closing');
  check(dialogs.length === 0, 'closing a small test asked: ' + dialogs.join());
}

// A test too large to go with a closing page: leaving it unsaved asks first (and saves
// meanwhile); once saved, leaving asks nothing.
async function leavingLargeTest(context, url, port) {
  const name = 'большой.ttxt';
  const doc = { title: 'Большой тест', groups: [{ name: 'Раздел 1', quota: null, rate: 1 }],
    problems: Array.from({ length: 200 }, (_, index) => ({ id: 'p' + (index + 1),
      group: 'Раздел 1', rate: 1, text: 'Задача ' + (index + 1) + '. ' +
        'Условие, длинное как у настоящей задачи. '.repeat(8), kind: 'one',
      variants: [{ text: 'да', weight: 100 }, { text: 'нет', weight: 0 }] })) };
  check(Buffer.byteLength(JSON.stringify(doc)) > 64 * 1024, 'the large test is small');
  const auth = { Authorization: 'Basic ' + Buffer.from('teacher:' + PASSWORD).toString('base64') };
  const api = `http://127.0.0.1:${port}/api/editor/`;
  const { token } = await (await fetch(api + 'token', { headers: auth })).json();
  const created = await fetch(api + 'tests', { method: 'POST', body: JSON.stringify({ name, doc }),
    headers: Object.assign({ 'X-Tezra-Token': token, 'Content-Type': 'application/json' }, auth) });
  check(created.status === 201, 'the large test was not created: ' + created.status);
  const { page, dialogs } = await editorPage(context, url);
  await page.click('#tests tbody tr[data-name="' + name + '"] button[aria-label^="Открыть"]');
  await page.waitForFunction(() => !document.getElementById('editor').hidden &&
    document.activeElement.id === 't-title', null, { timeout: 8000 });
  await page.keyboard.press('End');
  await page.keyboard.type(', правка');
  await page.close({ runBeforeUnload: true });
  for (let waited = 0; waited < 5000 && !dialogs.length; waited += 50) await sleep(50);
  check(dialogs.join() === 'beforeunload', 'leaving unsaved asked: ' + dialogs.join());
  check(!page.isClosed(), 'the page closed although the teacher chose to stay');
  await saved(page);
  await storedSoon(port, name, (stored) => stored.title === 'Большой тест, правка',
    'the large test after staying');
  const closed = page.waitForEvent('close');
  await page.close({ runBeforeUnload: true });
  await closed;
  check(dialogs.length === 1, 'leaving a saved test asked: ' + dialogs.join());
}

async function importMoodle(page, shots) {
  await page.setInputFiles('#import-file', MOODLE);
  await page.click('#import-test button[type=submit]');
  await page.waitForSelector('#import-review:not([hidden])', { timeout: 8000 });
  const warnings = await page.locator('#import-warnings li').allTextContents();
  check(warnings.length > 3 && warnings.some((text) => text.includes('рисунок')),
    'warnings: ' + warnings.join(' | '));
  await page.evaluate(() => document.getElementById('import-review').scrollIntoView());
  await shoot(page, shots, 'import');
  await page.fill('#import-name', 'из-moodle.ttxt');
  await page.click('#import-save button[type=submit]');
  await page.waitForFunction(() => document.getElementById('editor-name').textContent ===
    'из-moodle.ttxt', null, { timeout: 8000 });
  const withPicture = await page.evaluate(() =>
    editor.doc.problems.findIndex((problem) => problem.picture));
  check(withPicture >= 0, 'the imported test has no picture');
  await openProblemNumber(page, withPicture + 1);
  await page.waitForFunction(() => {
    const image = document.querySelector('#picture-holder img');
    return image && image.complete && image.naturalWidth > 0;
  }, null, { timeout: 5000 });
}

async function downloads(page, workDir) {
  await page.check('#editor-published');
  await page.waitForFunction(async () => (await (await fetch('api/tests')).json())
    .some((test) => test.name === 'из-moodle.ttxt' && test.published === true), null,
  { timeout: 5000 });
  // The imported test has no text for the station's list, so no .desc to offer.
  const exports = await page.$$eval('#editor [data-as]:not([hidden])', (links) =>
    links.map((link) => [link.dataset.as, link.getAttribute('href')]));
  check(exports.map((link) => link[0]).join() === 'ttxt,tbin,tbin-scrambled,gift,moodle-xml',
    'export links: ' + exports.map((link) => link[0]).join());
  await page.fill('#t-chooser', 'Вопросы из Moodle');
  await saved(page);
  exports.push(['desc', await page.getAttribute('#editor [data-as="desc"]:not([hidden])',
    'href')]);
  for (const [as, href] of exports) {
    const bytes = await download(page, href);
    check(bytes.length > 0, as + ' is empty');
    if (as === 'desc') {
      check(bytes.subarray(0, 17).equals(cp1251('Вопросы из Moodle')), 'desc holds ' + bytes);
    }
    if (as === 'tbin' || as === 'tbin-scrambled') {
      check(dumpOf(bytes, workDir, 'export.tbin').Problems.length > 0, as + ' unreadable');
    }
  }
  const zip = await download(page, await page.getAttribute('#library-zip', 'href'));
  check(zip.subarray(0, 2).toString('latin1') === 'PK', 'the library zip is no zip');
}

async function run() {
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'tezra-editor-'));
  cleanups.push(() => fs.rmSync(workDir, { recursive: true, force: true }));
  const collector = await startCollector(collectorPath, workDir, PASSWORD,
    ['--listen', '127.0.0.1:0'], cleanups);
  const port = collector.port;
  const context = await openBrowser(workDir);
  const elsewhere = [];
  if (engine === 'chromium') {
    await context.route('**/*', (route) => {
      const url = new URL(route.request().url());
      if (url.hostname === '127.0.0.1') return route.continue();
      elsewhere.push(url.href);
      return route.abort();
    });
  }
  const page = context.pages()[0] || await context.newPage();
  watched.page = page;
  const problems = [];
  watched.problems = problems;
  page.on('pageerror', (error) => problems.push(watched.step + ': ' + error.message));
  // Questions are confirmed; a name asked for is the next of `prompts`.
  const prompts = [];
  page.on('dialog', (dialog) => dialog.accept(dialog.type() === 'prompt' ?
    prompts.shift() : undefined));
  await page.goto(`http://127.0.0.1:${port}/`);
  await page.waitForSelector('#new-test-name');
  const shots = [];

  const steps = [
    ['keyboard', () => writeByKeyboard(page, shots)],
    ['dump', async () => checkDump(dumpOf(await download(page, await page.getAttribute(
      '#editor [data-as="ttxt"]', 'href')), workDir, 'клавиатура.ttxt'))],
    ['finding', () => findingComesAndGoes(page)],
    ['cp1251', () => flagsImpossibleCharacter(page)],
    ['hostile', () => hostileTitleIsText(page)],
    ['picture', () => pictureFromPng(page, workDir, shots)],
    ['drop', () => pictureDropped(page, port)],
    ['student', () => studentView(page, shots)],
    ['try', () => tryPass(page, shots)],
    ['tabs', () => twoTabs(page, context)],
    ['versions', () => versions(page)],
    ['reorder', () => reorder(page, workDir)],
    ['library', () => copyAndRename(page, prompts)],
    ['import', () => importMoodle(page, shots)],
    ['downloads', () => downloads(page, workDir)],
    ['steady', () => steadyTypingAndClosing(context, page.url(), port)],
    ['large', () => leavingLargeTest(context, page.url(), port)],
    ['unsaved', () => unsavedCopyReturns(context, page.url(), collector, workDir, port)],
    ['kill', () => survivesKill(page, collector, workDir, port)],
  ];
  for (const [name, step] of steps) {
    watched.step = name;
    await step();
  }

  if (outputDir) {
    fs.mkdirSync(outputDir, { recursive: true });
    for (const [name, png] of shots) {
      fs.writeFileSync(path.join(outputDir, 'editor-' + name + '-' + engine + '.png'), png);
    }
  }
  check(elsewhere.length === 0, 'the page asked for ' + elsewhere.join(', '));
  check(problems.length === 0, 'page errors: ' + problems.join(' | '));
}

const timer = setTimeout(() => {
  console.error(`FAILED: no end after ${TIME_LIMIT_MS} ms`);
  for (const cleanup of cleanups) { try { cleanup(); } catch (error) { /* ending anyway */ } }
  process.exit(1);
}, TIME_LIMIT_MS);

// What the page said when a step failed, to tell why.
async function pageState() {
  if (!watched.page) return '';
  try {
    return await watched.page.evaluate(() => ['save-state', 'library-status', 'conflict-text',
      'student-message', 'picture-note'].map((id) => id + ': ' +
      (document.getElementById(id) || {}).textContent)
      .join('; '));
  } catch (error) {
    return '';
  }
}

run()
  .then(() => console.log('1 passed, 0 failed'))
  .catch(async (error) => {
    console.error('FAILED: ' + error.stack + '\n' + await pageState() + '\npage errors: ' +
      (watched.problems || []).join(' | '));
    process.exitCode = 1;
  })
  .finally(async () => {
    watched.page = null;
    for (const cleanup of cleanups) {
      try { await cleanup(); } catch (error) { /* already gone */ }
    }
    clearTimeout(timer);
  });
