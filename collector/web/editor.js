// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// The test editor of the teacher's page: opens a test of the class library as a document,
// lets the teacher change every part of it, shows what the station's checker says about it a
// moment after each change, and saves it back within a second. A save refused because the
// test changed elsewhere (another tab) is never repeated over the other change: the teacher is
// told and chooses to open the test again. Every text goes in as textContent, never as markup.

const EDITOR_API = window.location.origin +
  window.location.pathname.replace(/[^/]*$/, '') + 'api/editor/';
const CHECK_DELAY_MS = 150;
const SAVE_DELAY_MS = 600;
const SAVE_RETRY_MS = 2000;
// The most a browser carries in requests that outlive their page is 64 KiB.
const KEEPALIVE_LIMIT_BYTES = 60 * 1024;
const KIND_NAMES = [['one', 'один ответ'], ['several', 'несколько ответов'],
  ['typed', 'ввести ответ']];
const FIELD_NAMES = {
  title: 'название', id: 'код', chooserText: 'текст в списке', text: 'условие',
  variants: 'варианты ответов', group: 'раздел', rate: 'вес', picture: 'рисунок',
  kind: 'вид ответа', category: 'категория', difficulty: 'сложность', marks: 'оценки',
  defer: 'отложить', quota: 'задач каждому ученику', name: 'название раздела',
};

const editor = {
  name: '', revision: 0, doc: null, findings: [], current: 0, token: '',
  dirty: false, failed: false, conflict: false, saveTimer: 0, checkTimer: 0, checkSeq: 0,
  changeSeq: 0, saving: null, saveAgain: false, savingOutlivesPage: false, replaceNext: false,
};

function editorNode(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = String(text);
  return node;
}

function testPath(name, suffix) {
  return 'tests/' + encodeURIComponent(name) + (suffix || '');
}

async function editorToken(fresh) {
  if (editor.token && !fresh) return editor.token;
  const answer = await fetch(EDITOR_API + 'token', { cache: 'no-store' });
  if (!answer.ok) throw new Error('token ' + answer.status);
  editor.token = (await answer.json()).token;
  return editor.token;
}

// One request to the editor's interface. JSON in and out (a string body is JSON text already);
// a write carries the page's token and is tried once more with a fresh one when the token was
// refused (a collector restart starts new sessions). With `keepalive` the request is sent
// before this function first waits, so that it leaves even from a page that is going away.
// Never throws: a lost connection is { ok: false, status: 0 }.
async function editorRequest(method, path, body, headers, { keepalive = false } = {}) {
  const write = method !== 'GET';
  for (let attempt = 0; attempt < 2; attempt += 1) {
    try {
      const options = { method, cache: 'no-store', keepalive,
        headers: Object.assign({}, headers) };
      if (write) {
        options.headers['X-Tezra-Token'] = editor.token && attempt === 0 ? editor.token :
          await editorToken(attempt > 0);
      }
      if (body instanceof Blob || body instanceof ArrayBuffer) {
        options.body = body;
      } else if (body !== undefined) {
        options.body = typeof body === 'string' ? body : JSON.stringify(body);
        options.headers['Content-Type'] = 'application/json';
      }
      const answer = await fetch(EDITOR_API + path, options);
      let document = null;
      try { document = await answer.json(); } catch (error) { document = null; }
      if (answer.status === 403 && write && attempt === 0) continue;
      return { ok: answer.ok, status: answer.status, document };
    } catch (error) {
      return { ok: false, status: 0, document: null };
    }
  }
  return { ok: false, status: 403, document: null };
}

function failureText(answer) {
  if (answer.status === 0) return 'нет связи с сервером';
  if (answer.document && answer.document.message) return answer.document.message;
  return 'ошибка сервера (HTTP ' + answer.status + ')';
}

// ---- the document -----------------------------------------------------------------------

function emptyProblem(group) {
  return { id: '', title: '', category: '', difficulty: 0, group: group || '', rate: 0,
    text: '', picture: null, kind: 'one', variants: [{ text: '', weight: 100 },
      { text: '', weight: 0 }] };
}

function emptyDocument() {
  return { title: '', id: '', chooserText: '', shuffle: { groups: false, problems: false,
    variants: false }, defer: 0, marks: { 5: 0, 4: 0, 3: 0, 2: 0 },
  groups: [{ name: 'Раздел 1', quota: null, rate: 1 }], problems: [emptyProblem('Раздел 1')] };
}

function getPath(object, path) {
  return path.split('.').reduce((value, key) => (value == null ? undefined : value[key]), object);
}

function setPath(object, path, value) {
  const keys = path.split('.');
  const last = keys.pop();
  const holder = keys.reduce((value, key) => {
    if (value[key] == null || typeof value[key] !== 'object') value[key] = {};
    return value[key];
  }, object);
  holder[last] = value;
}

function inputValue(input) {
  if (input.type === 'checkbox') return input.checked;
  if (input.dataset.kind === 'int') return Number.parseInt(input.value, 10) || 0;
  if (input.dataset.kind === 'quota') {
    const quota = Number.parseInt(input.value, 10);
    return Number.isFinite(quota) ? quota : null;
  }
  if (input.dataset.kind === 'number') {
    const number = Number.parseFloat(String(input.value).replace(',', '.'));
    return Number.isFinite(number) ? number : 0;
  }
  return input.value;
}

function showValue(input, value) {
  if (input.type === 'checkbox') input.checked = Boolean(value);
  else input.value = value === undefined || value === null ? '' : String(value);
}

// Every string of the document that holds a character a station cannot, as
// [{ label, problems }] for the save refusal.
function impossibleTexts(doc) {
  const found = [];
  const look = (label, text) => {
    const problems = cp1251Problems(text || '');
    if (problems.length) found.push({ label, problems });
  };
  for (const key of ['title', 'id', 'chooserText']) look(FIELD_NAMES[key], doc[key]);
  doc.groups.forEach((group, index) => look('раздел ' + (index + 1), group.name));
  doc.problems.forEach((problem, index) => {
    for (const key of ['id', 'title', 'category', 'group', 'text']) {
      look('задача ' + (index + 1) + ', ' + FIELD_NAMES[key], problem[key]);
    }
    problem.variants.forEach((variant, number) =>
      look('задача ' + (index + 1) + ', вариант ' + (number + 1), variant.text));
  });
  return found;
}

// ---- saving -------------------------------------------------------------------------------

function setSaveState(text, kind) {
  const state = document.getElementById('save-state');
  state.textContent = text;
  state.dataset.state = kind;
}

// A change is saved a moment after the first change not yet saved; later changes do not push
// that save back, so steady typing is saved while it goes on, not only when it pauses.
function changed() {
  editor.dirty = true;
  editor.changeSeq += 1;
  // A failed save stays on show until a save gets through.
  if (!editor.conflict && !editor.failed) setSaveState('Изменено…', 'pending');
  if (!editor.saveTimer && !editor.conflict) {
    editor.saveTimer = setTimeout(saveNow, SAVE_DELAY_MS);
  }
  clearTimeout(editor.checkTimer);
  editor.checkTimer = setTimeout(checkNow, CHECK_DELAY_MS);
  keepCopy();
  renderProblemList();
}

function stopSaveTimer() {
  clearTimeout(editor.saveTimer);
  editor.saveTimer = 0;
}

function showConflict(message) {
  editor.conflict = true;
  stopSaveTimer();
  document.getElementById('conflict-text').textContent = message ||
    'Этот тест уже изменён в другой вкладке или на другом компьютере. Чтобы не затереть ' +
    'ту работу, ваши последние изменения здесь не сохранены.';
  document.getElementById('conflict').hidden = false;
  setSaveState('Не сохранено: тест изменён в другом месте', 'conflict');
}

// Saves the document as it stands. One save is under way at a time: asked for while one is,
// it follows right after that one. Resolves when the saves asked for so far have ended.
function saveNow() {
  stopSaveTimer();
  if (editor.saving) {
    editor.saveAgain = true;
    return editor.saving;
  }
  if (!editor.doc || !editor.dirty || editor.conflict) return Promise.resolve();
  editor.saving = (async () => {
    let again = true;
    while (again) {
      editor.saveAgain = false;
      again = await saveOnce() && editor.saveAgain && editor.dirty && !editor.conflict;
    }
    editor.saving = null;
    editor.savingOutlivesPage = false;
  })();
  return editor.saving;
}

// The body of a save; a small one goes as a request that outlives the page (browsers carry at
// most 64 KiB of those), so a save under way is not lost when the teacher closes the page.
// A document taken back over a newer version asks to be a version of its own (`replace`), so
// that the version it replaces stays in the list.
function saveRequestBody() {
  const request = { doc: editor.doc, revision: editor.revision };
  if (editor.replaceNext) request.replace = true;
  const text = JSON.stringify(request);
  return { text, outlivesPage: new TextEncoder().encode(text).length <= KEEPALIVE_LIMIT_BYTES };
}

// One PUT of the document; answers whether it was saved.
async function saveOnce() {
  const impossible = impossibleTexts(editor.doc);
  if (impossible.length) {
    editor.failed = true;
    setSaveState('Не сохранено: в поле «' + impossible[0].label + '» есть символ «' +
      impossible[0].problems[0].char + '», которого нет на станции — замените его', 'error');
    return false;
  }
  const seq = editor.changeSeq;
  const name = editor.name;
  const body = saveRequestBody();
  editor.savingOutlivesPage = body.outlivesPage;
  const answer = await editorRequest('PUT', testPath(name), body.text, {},
    { keepalive: body.outlivesPage });
  if (name !== editor.name) return false;
  if (answer.ok && answer.document) {
    editor.failed = false;
    editor.replaceNext = false;
    editor.revision = answer.document.revision;
    if (seq === editor.changeSeq) editor.dirty = false;
    copySaved();
    setSaveState(editor.dirty ? 'Изменено…' : 'Сохранено в ' +
      new Date().toLocaleTimeString('ru-RU'), editor.dirty ? 'pending' : 'saved');
    return true;
  }
  editor.failed = true;
  if (answer.status === 409) {
    showConflict(answer.document && answer.document.message);
  } else if (answer.status === 0 || answer.status >= 500 || answer.status === 403 ||
             answer.status === 401) {
    setSaveState('Не сохранено: ' + failureText(answer) + '. Повторяем…', 'error');
    stopSaveTimer();
    editor.saveTimer = setTimeout(saveNow, SAVE_RETRY_MS);
  } else {
    // The server refused the document itself (a 4xx): the teacher must change it first.
    setSaveState('Не сохранено: ' + failureText(answer), 'error');
  }
  return false;
}

// Whether closing the page now would lose a change: only a small document whose last save did
// not fail leaves with the page, and only when no larger save is under way.
function leavingLosesWork() {
  if (!editor.doc || editor.conflict) return false;
  if (editor.saving) return !editor.savingOutlivesPage || editor.dirty;
  return editor.dirty && (editor.failed || !saveRequestBody().outlivesPage);
}

// Before the page goes: when its last changes cannot go with it, the browser asks the teacher
// to stay, and their save starts at once so that it is done by the time they answer.
function confirmLeaving(event) {
  writeCopyNow();
  if (!leavingLosesWork()) {
    // A small change goes with the page: its request starts now, before the page is torn
    // down, rather than at the last moment on pagehide.
    sendPendingChange();
    return;
  }
  saveNow();
  event.preventDefault();
  event.returnValue = '';
}

// The page goes: a change whose save was not yet due is saved now, in a request that outlives
// the page when the document is small enough. Should the page come back (the browser's
// back-forward cache), the save's answer is taken as any other.
function saveOnLeave() {
  writeCopyNow();
  sendPendingChange();
}

// A change not yet on its way is sent now.
function sendPendingChange() {
  if (editor.doc && editor.dirty && !editor.saving && !editor.conflict) saveNow();
}

// ---- findings -----------------------------------------------------------------------------

async function checkNow() {
  if (!editor.doc) return;
  const seq = ++editor.checkSeq;
  const answer = await editorRequest('POST', 'check', { doc: editor.doc, name: editor.name });
  if (seq !== editor.checkSeq || !answer.ok || !answer.document) return;
  showFindings(answer.document.findings || [], answer.document.maxPoints);
}

const SEVERITY_NAMES = { error: 'ошибка', warning: 'предупреждение', hint: 'подсказка' };

function findingNode(finding) {
  const where = finding.where || {};
  let place = '';
  const field = findingField(finding);
  if (FIELD_NAMES[field]) place = FIELD_NAMES[field];
  if (where.variant !== null && where.variant !== undefined) {
    place = 'вариант ' + (where.variant + 1);
  }
  const item = editorNode('li', 'finding ' + (finding.severity || 'warning'));
  item.append(editorNode('span', 'severity', SEVERITY_NAMES[finding.severity] || 'замечание'),
    ' ', place ? place + ': ' : '', editorNode('span', 'finding-text', finding.text));
  return item;
}

// The field a finding names, as the page's fields name it: "problem.text" -> "text".
function findingField(finding) {
  const field = finding.where && finding.where.field ? String(finding.where.field) : '';
  return field.replace(/^(problem|group)\./, '');
}

function problemFindings(index) {
  return editor.findings.filter((finding) => finding.where && finding.where.problem === index);
}

function showFindings(findings, maxPoints) {
  editor.findings = Array.isArray(findings) ? findings : [];
  if (maxPoints !== undefined && maxPoints !== null) {
    document.getElementById('max-points').textContent = String(maxPoints).replace('.', ',');
  }
  const general = editor.findings.filter((finding) =>
    !finding.where || finding.where.problem === null || finding.where.problem === undefined);
  document.getElementById('test-findings').replaceChildren(...general.map(findingNode));
  markGroupFindings();
  renderProblemList();
  renderProblemFindings();
}

function markGroupFindings() {
  const rows = document.querySelectorAll('#groups > li');
  rows.forEach((row, index) => {
    const texts = editor.findings.filter((finding) => finding.where &&
      finding.where.group === index && (finding.where.problem === null ||
        finding.where.problem === undefined)).map((finding) => finding.text);
    row.classList.toggle('has-finding', texts.length > 0);
    row.querySelector('.group-note').textContent = texts.join('; ');
  });
}

function renderProblemFindings() {
  const list = document.getElementById('problem-findings');
  if (!list) return;
  const findings = problemFindings(editor.current);
  list.replaceChildren(...findings.map(findingNode));
  for (const field of document.querySelectorAll('#problem [data-where]')) {
    const bad = findings.some((finding) => findingField(finding) === field.dataset.where &&
      (finding.where.variant === null || finding.where.variant === undefined ||
       String(finding.where.variant) === field.dataset.variant));
    field.classList.toggle('has-finding', bad);
  }
}

// ---- characters a station cannot hold -------------------------------------------------------

// Shows at the field which of its characters a station cannot hold and offers the plain
// look-alikes; the replacement goes through the field's own input handler.
function flagCharacters(input) {
  let note = input.nextElementSibling;
  if (!note || !note.classList.contains('char-note')) {
    note = editorNode('div', 'char-note');
    note.setAttribute('role', 'alert');
    input.after(note);
  }
  const problems = cp1251Problems(input.value);
  input.classList.toggle('bad-char', problems.length > 0);
  input.setAttribute('aria-invalid', problems.length > 0 ? 'true' : 'false');
  note.replaceChildren();
  note.hidden = problems.length === 0;
  if (!problems.length) return;
  const names = problems.map((problem) => '«' + problem.char + '» (' + problem.code + ')');
  note.append(editorNode('span', '', 'Станция не сможет показать: ' + names.join(', ') + '. '));
  const plain = problems.filter((problem) => problem.lookAlike !== null);
  if (plain.length) {
    const text = plain.map((problem) => '«' + problem.char + '» → «' + problem.lookAlike + '»');
    const button = editorNode('button', 'replace-chars', 'Заменить: ' + text.join(', '));
    button.type = 'button';
    button.addEventListener('click', () => {
      input.value = cp1251Plain(input.value);
      input.dispatchEvent(new Event('input', { bubbles: true }));
      input.focus();
    });
    note.append(button);
  }
  if (plain.length < problems.length) {
    note.append(editorNode('span', '', ' Остальные удалите или замените сами.'));
  }
}

function bindText(input, read, write) {
  showValue(input, read());
  input.addEventListener('input', () => {
    write(inputValue(input));
    if (input.type !== 'checkbox' && input.type !== 'number') flagCharacters(input);
    changed();
  });
  if (input.type !== 'checkbox' && input.type !== 'number') flagCharacters(input);
}

// ---- sections -------------------------------------------------------------------------------

function sameName(a, b) {
  return String(a).toLocaleLowerCase('ru') === String(b).toLocaleLowerCase('ru');
}

function groupMembers(group) {
  return editor.doc.problems.filter((problem) => sameName(problem.group, group.name));
}

function groupField(group, key, label, kind) {
  const input = editorNode('input');
  const box = labelled(label, input, 'g-' + key + '-' + editor.doc.groups.indexOf(group));
  input.dataset.where = key;
  if (kind) {
    input.type = 'number';
    input.dataset.kind = kind;
    input.min = '0';
    input.step = kind === 'number' ? 'any' : '1';
  }
  if (kind === 'quota') input.placeholder = 'все';
  // A renamed section takes its problems along: those that were in it when the teacher
  // started typing, so that a name passing through another section's name on the way
  // takes none of that section's problems.
  let members = null;
  input.addEventListener('focus', () => { members = null; });
  bindText(input, () => group[key], (value) => {
    if (key !== 'name') {
      group[key] = value;
      return;
    }
    if (members === null) members = groupMembers(group);
    for (const problem of members) problem.group = value;
    group.name = value;
    refreshGroupChoice();
  });
  return box;
}

function groupRow(group, index) {
  const row = editorNode('li', 'field-row group');
  const count = groupMembers(group).length;
  const remove = editorNode('button', '', 'Удалить раздел');
  remove.type = 'button';
  remove.disabled = count > 0;
  remove.title = count ? 'В разделе есть задачи' : '';
  remove.addEventListener('click', () => {
    editor.doc.groups.splice(index, 1);
    renderGroups();
    refreshGroupChoice();
    changed();
  });
  const tail = editorNode('div', 'group-tail');
  tail.append(editorNode('span', 'group-count', 'задач в разделе: ' + count), remove);
  row.append(groupField(group, 'name', 'Раздел ' + (index + 1)),
    groupField(group, 'quota', 'Задач ученику (пусто — все)', 'quota'),
    groupField(group, 'rate', 'Вес задачи раздела', 'number'), tail,
    editorNode('div', 'group-note'));
  return row;
}

function renderGroups() {
  document.getElementById('groups').replaceChildren(...editor.doc.groups.map(groupRow));
  markGroupFindings();
}

function refreshGroupChoice() {
  const select = document.getElementById('p-group');
  if (select) fillGroupChoice(select, editor.doc.problems[editor.current]);
}

// ---- problems: the list ---------------------------------------------------------------------

function problemLabel(problem, index) {
  const firstLine = String(problem.text || '').split('\n').find((line) => line.trim()) || '';
  const title = problem.title || firstLine || '(пустая задача)';
  return (index + 1) + '. ' + (title.length > 60 ? title.slice(0, 59) + '…' : title);
}

// The list is redrawn after every change and every check's answer. Its buttons are kept and
// updated in place: a button replaced between the press and the release of a click would
// swallow the click, and a teacher's click would be lost whenever a check answer came in.
function renderProblemList() {
  if (!editor.doc) return;
  const list = document.getElementById('problem-list');
  const problems = editor.doc.problems;
  while (list.children.length > problems.length) list.lastElementChild.remove();
  while (list.children.length < problems.length) list.append(problemListItem());
  problems.forEach((problem, index) => {
    fillProblemButton(list.children[index].firstElementChild, problem, index);
  });
  document.getElementById('problem-count').textContent = '(' + problems.length + ')';
}

function problemListItem() {
  const item = editorNode('li');
  const button = editorNode('button', 'problem-link');
  button.type = 'button';
  button.addEventListener('click', () => openProblem(Number(button.dataset.index), true));
  item.append(button);
  return item;
}

function fillProblemButton(button, problem, index) {
  button.dataset.index = String(index);
  button.replaceChildren(problemLabel(problem, index));
  if (index === editor.current) button.setAttribute('aria-current', 'true');
  else button.removeAttribute('aria-current');
  const findings = problemFindings(index);
  if (!findings.length) {
    button.removeAttribute('title');
    return;
  }
  button.title = findings.map((finding) => finding.text).join('\n');
  const worst = findings.some((finding) => finding.severity === 'error') ? 'error' :
    findings.some((finding) => finding.severity === 'warning') ? 'warning' : 'hint';
  button.append(' ', editorNode('span', 'badge ' + worst, findings.length));
}

function moveItem(list, from, to) {
  if (to < 0 || to >= list.length) return false;
  const [item] = list.splice(from, 1);
  list.splice(to, 0, item);
  return true;
}

function problemAction(action) {
  const problems = editor.doc.problems;
  const index = editor.current;
  let next = index;
  if (action === 'up' && moveItem(problems, index, index - 1)) next = index - 1;
  else if (action === 'down' && moveItem(problems, index, index + 1)) next = index + 1;
  else if (action === 'copy') {
    problems.splice(index + 1, 0, JSON.parse(JSON.stringify(problems[index])));
    next = index + 1;
  } else if (action === 'delete') {
    if (!window.confirm('Удалить задачу ' + (index + 1) + '?')) return;
    problems.splice(index, 1);
    if (!problems.length) problems.push(emptyProblem(editor.doc.groups[0] ?
      editor.doc.groups[0].name : ''));
    next = Math.min(index, problems.length - 1);
  } else if (action !== 'copy') {
    return;
  }
  renderGroups();
  openProblem(next, false);
  changed();
  const again = document.querySelector('#problem [data-action="' + action + '"]');
  if (again && !again.disabled) again.focus();
}

// ---- problems: one problem ------------------------------------------------------------------

function labelled(labelText, input, id) {
  input.id = id;
  const box = editorNode('div', 'field');
  const label = editorNode('label', '', labelText);
  label.htmlFor = id;
  box.append(label, input);
  return box;
}

function problemInput(problem, key, labelText, kind) {
  const input = editorNode(key === 'text' ? 'textarea' : 'input');
  input.dataset.where = key;
  if (kind) {
    input.type = 'number';
    input.dataset.kind = kind;
    input.step = kind === 'int' ? '1' : 'any';
  }
  if (key === 'text') {
    input.rows = 8;
    input.className = 'condition';
    input.spellcheck = false;
  }
  const box = labelled(labelText, input, 'p-' + key);
  bindText(input, () => problem[key], (value) => { problem[key] = value; });
  return box;
}

function fillGroupChoice(select, problem) {
  const names = editor.doc.groups.map((group) => group.name);
  if (!names.some((name) => sameName(name, problem.group))) names.push(problem.group);
  select.replaceChildren(...names.map((name) => {
    const option = editorNode('option', '', name === '' ? '(без названия)' : name);
    option.value = name;
    return option;
  }));
  select.value = names.find((name) => sameName(name, problem.group));
}

function groupChoice(problem) {
  const select = editorNode('select');
  select.dataset.where = 'group';
  const box = labelled('Раздел', select, 'p-group');
  fillGroupChoice(select, problem);
  select.addEventListener('change', () => {
    problem.group = select.value;
    renderGroups();
    changed();
  });
  return box;
}

function kindChoice(problem) {
  const select = editorNode('select');
  select.dataset.where = 'kind';
  for (const [value, text] of KIND_NAMES) {
    const option = editorNode('option', '', text);
    option.value = value;
    select.append(option);
  }
  select.value = problem.kind;
  select.addEventListener('change', () => {
    problem.kind = select.value;
    changed();
    renderVariants(problem);
  });
  return labelled('Вид ответа', select, 'p-kind');
}

function smallButton(text, label, action, disabled) {
  const button = editorNode('button', 'small', text);
  button.type = 'button';
  button.setAttribute('aria-label', label);
  button.title = label;
  button.disabled = Boolean(disabled);
  button.addEventListener('click', action);
  return button;
}

function variantRow(problem, variant, index) {
  const row = editorNode('li', 'variant');
  const text = editorNode('input', 'variant-text');
  text.dataset.where = 'variants';
  text.dataset.variant = String(index);
  const weight = editorNode('input', 'variant-weight');
  weight.type = 'number';
  weight.step = '1';
  weight.dataset.kind = 'int';
  const textBox = labelled((problem.kind === 'typed' ? 'Верный ответ ' : 'Вариант ') + (index + 1),
    text, 'v-text-' + index);
  const weightBox = labelled('Вес, %', weight, 'v-weight-' + index);
  bindText(text, () => variant.text, (value) => { variant.text = value; });
  bindText(weight, () => variant.weight, (value) => { variant.weight = value; });
  // Enter in a variant's text adds the next variant and moves there.
  text.addEventListener('keydown', (event) => {
    if (event.key !== 'Enter') return;
    event.preventDefault();
    problem.variants.splice(index + 1, 0, { text: '', weight: 0 });
    changed();
    renderVariants(problem);
    document.getElementById('v-text-' + (index + 1)).focus();
  });
  const variants = problem.variants;
  const redo = (focusId) => {
    changed();
    renderVariants(problem);
    const target = document.getElementById(focusId);
    if (target) target.focus();
  };
  const n = index + 1;
  row.append(textBox, weightBox,
    smallButton('↑', 'Вариант ' + n + ' выше', () => {
      if (moveItem(variants, index, index - 1)) redo('v-up-' + (index - 1));
    }, index === 0),
    smallButton('↓', 'Вариант ' + n + ' ниже', () => {
      if (moveItem(variants, index, index + 1)) redo('v-down-' + (index + 1));
    }, index === variants.length - 1),
    smallButton('✕', 'Удалить вариант ' + n, () => {
      variants.splice(index, 1);
      redo(variants.length ? 'v-text-' + Math.min(index, variants.length - 1) : 'add-variant');
    }));
  const buttons = row.querySelectorAll('button');
  buttons[0].id = 'v-up-' + index;
  buttons[1].id = 'v-down-' + index;
  return row;
}

function renderVariants(problem) {
  const list = document.getElementById('variants');
  list.replaceChildren(...problem.variants.map((variant, index) =>
    variantRow(problem, variant, index)));
  document.getElementById('variants-title').textContent = problem.kind === 'typed' ?
    'Верные ответы (ученик их не видит) и их вес в процентах' :
    'Варианты ответов и их вес в процентах (100 — верный, 0 — неверный)';
  renderProblemFindings();
}

function variantsBlock(problem) {
  const box = editorNode('fieldset', 'variants');
  const legend = editorNode('legend');
  legend.id = 'variants-title';
  const list = editorNode('ol');
  list.id = 'variants';
  const add = editorNode('button', '', 'Добавить вариант');
  add.type = 'button';
  add.id = 'add-variant';
  add.addEventListener('click', () => {
    problem.variants.push({ text: '', weight: 0 });
    changed();
    renderVariants(problem);
    document.getElementById('v-text-' + (problem.variants.length - 1)).focus();
  });
  box.append(legend, list, add);
  return box;
}

function problemButtons(index, count) {
  const bar = editorNode('div', 'problem-buttons');
  for (const [action, text, disabled] of [['up', 'Задачу выше', index === 0],
    ['down', 'Задачу ниже', index === count - 1], ['copy', 'Копия задачи', false],
    ['delete', 'Удалить задачу', false]]) {
    const button = editorNode('button', '', text);
    button.type = 'button';
    button.dataset.action = action;
    button.disabled = disabled;
    button.addEventListener('click', () => problemAction(action));
    bar.append(button);
  }
  return bar;
}

function openProblem(index, focus) {
  const problems = editor.doc.problems;
  editor.current = Math.max(0, Math.min(index, problems.length - 1));
  const problem = problems[editor.current];
  const panel = document.getElementById('problem');
  const heading = editorNode('h3', '', 'Задача ' + (editor.current + 1) + ' из ' + problems.length);
  heading.id = 'problem-title';
  panel.setAttribute('aria-labelledby', 'problem-title');
  const findings = editorNode('ul', 'findings');
  findings.id = 'problem-findings';
  findings.setAttribute('aria-label', 'Замечания к задаче');
  const row1 = editorNode('div', 'field-row');
  row1.append(problemInput(problem, 'id', 'Код задачи (ID)'),
    problemInput(problem, 'title', 'Заголовок задачи'),
    problemInput(problem, 'category', 'Категория'),
    problemInput(problem, 'difficulty', 'Сложность', 'int'));
  const row2 = editorNode('div', 'field-row');
  row2.append(groupChoice(problem), problemInput(problem, 'rate',
    'Вес задачи (0 — вес раздела)', 'number'), kindChoice(problem));
  panel.replaceChildren(heading, problemButtons(editor.current, problems.length), findings,
    row1, row2, problemInput(problem, 'text', 'Условие (так, как его покажет станция)'),
    pictureBlock(problem), variantsBlock(problem));
  renderVariants(problem);
  showPicture(problem);
  renderProblemList();
  if (focus) panel.focus();
}

// ---- opening, closing -----------------------------------------------------------------------

function bindTestFields() {
  for (const input of document.querySelectorAll('#editor .test-fields [data-field]')) {
    if (input.dataset.bound) continue;
    input.dataset.bound = '1';
    input.addEventListener('input', () => {
      if (!editor.doc) return;
      setPath(editor.doc, input.dataset.field, inputValue(input));
      if (input.dataset.field === 'chooserText') setDownloadLinks();
      if (input.type === 'text' || input.type === '') flagCharacters(input);
      changed();
    });
  }
}

function showTestFields() {
  for (const input of document.querySelectorAll('#editor .test-fields [data-field]')) {
    showValue(input, getPath(editor.doc, input.dataset.field));
    if (input.type === 'text') flagCharacters(input);
  }
}

function setDownloadLinks() {
  for (const link of document.querySelectorAll('#editor [data-as]')) {
    link.href = EDITOR_API + testPath(editor.name, '/export?as=' + link.dataset.as);
    // A test has a .desc file only with a text for the station's list.
    if (link.dataset.as === 'desc') link.hidden = !String(editor.doc.chooserText || '').trim();
  }
}

// Fills in what a document may leave out, so that every part of the editor finds its place.
function normalizeDocument(doc) {
  doc.groups = doc.groups || [];
  doc.problems = doc.problems || [];
  doc.shuffle = doc.shuffle || { groups: false, problems: false, variants: false };
  doc.marks = doc.marks || { 5: 0, 4: 0, 3: 0, 2: 0 };
  if (!doc.problems.length) doc.problems.push(emptyProblem(''));
  for (const problem of doc.problems) problem.variants = problem.variants || [];
  return doc;
}

// Shows every field of the document in the editor, at its first problem.
function showDocument() {
  setDownloadLinks();
  showTestFields();
  renderGroups();
  openProblem(0, false);
}

function loadDocument(answer) {
  // The test open so far keeps its unsaved change in the browser before another replaces it.
  writeCopyNow();
  editor.name = answer.name;
  editor.revision = answer.revision;
  editor.doc = normalizeDocument(answer.doc);
  editor.dirty = false;
  editor.failed = false;
  editor.conflict = false;
  editor.replaceNext = false;
  stopSaveTimer();
  document.getElementById('conflict').hidden = true;
  document.getElementById('editor-name').textContent = editor.name;
  document.getElementById('editor-published').checked = Boolean(answer.published);
  document.getElementById('max-points').textContent = '—';
  showDocument();
  showFindings(answer.findings || [], answer.maxPoints);
  setSaveState('Сохранено', 'saved');
  checkNow();
  return offerCopy();
}

async function openTest(name) {
  if (!await closeEditor(false)) return;
  const answer = await editorRequest('GET', testPath(name));
  if (!answer.ok) {
    document.getElementById('library-status').textContent =
      'Тест «' + name + '» не открыт: ' + failureText(answer);
    return;
  }
  bindTestFields();
  const offered = loadDocument(answer.document);
  // The token is at hand for the save that leaves with the page.
  editorToken().catch(() => { /* asked again by the first write */ });
  const section = document.getElementById('editor');
  section.hidden = false;
  section.scrollIntoView();
  // Unsaved work kept in the browser is asked about first.
  document.getElementById(offered ? 'unsaved-restore' : 't-title').focus();
}

// Leaves the test after its last change is saved; when it cannot be saved the teacher is
// asked first. Answers whether the editor was left.
async function closeEditor(hide) {
  stopSaveTimer();
  if (editor.doc && (editor.dirty || editor.saving) && !editor.conflict) await saveNow();
  if (editor.doc && editor.dirty && !editor.conflict && !window.confirm(
    'Последние изменения теста «' + editor.name + '» не сохранены (' +
    document.getElementById('save-state').textContent + '). Закрыть его всё равно?')) {
    return false;
  }
  writeCopyNow();
  if (hide === false) return true;
  hideCopyOffer();
  editor.doc = null;
  editor.name = '';
  document.getElementById('editor').hidden = true;
  loadTests();
  return true;
}

// ---- the library: new, duplicate, rename, import ----------------------------------------------

function libraryStatus(text) {
  document.getElementById('library-status').textContent = text;
}

async function createTest(name, doc, from, pictures) {
  const body = { name };
  if (doc) body.doc = doc;
  if (from) body.from = from;
  // An import's pictures travel with the new test in the same request.
  if (pictures && pictures.length) {
    body.pictures = pictures.map((picture) => ({ file: picture.file,
      dataBase64: picture.dataBase64 }));
  }
  const answer = await editorRequest('POST', 'tests', body);
  if (!answer.ok) {
    libraryStatus('Тест «' + name + '» не создан: ' + failureText(answer));
    return false;
  }
  const created = answer.document.name;
  await loadTests();
  await openTest(created);
  libraryStatus('Создан тест «' + created + '»');
  return true;
}

async function duplicateTest(name) {
  const copy = window.prompt('Имя файла копии теста «' + name + '»:', 'копия-' + name);
  if (copy) await createTest(copy, null, name);
}

async function renameTest(name) {
  const to = window.prompt('Новое имя файла теста «' + name + '»:', name);
  if (!to || to === name) return;
  if (editor.name === name && !await closeEditor(true)) return;
  const answer = await editorRequest('POST', testPath(name, '/rename'), { to });
  if (answer.ok) moveCopy(name, to);
  libraryStatus(answer.ok ? 'Тест «' + name + '» теперь называется «' + to + '»' :
    'Не переименован: ' + failureText(answer));
  loadTests();
}

const importState = { doc: null, pictures: [] };

function baseName(fileName) {
  return fileName.replace(/\.[^.]*$/, '');
}

async function readImport(event) {
  event.preventDefault();
  const file = document.getElementById('import-file').files[0];
  if (!file) return;
  libraryStatus('Чтение «' + file.name + '»…');
  const answer = await editorRequest('POST', 'import?name=' + encodeURIComponent(file.name),
    await file.arrayBuffer());
  if (!answer.ok || !answer.document) {
    libraryStatus('Файл «' + file.name + '» не прочитан: ' + failureText(answer));
    return;
  }
  libraryStatus('');
  importState.doc = answer.document.doc;
  importState.pictures = answer.document.pictures || [];
  const warnings = answer.document.warnings || [];
  const problems = (importState.doc.problems || []).length;
  document.getElementById('import-summary').textContent = 'Файл «' + file.name + '»: задач ' +
    problems + ', рисунков ' + importState.pictures.length + '. ' + (warnings.length ?
    'Замечания перевода (' + warnings.length + '):' : 'Переведено без замечаний.');
  document.getElementById('import-warnings').replaceChildren(...warnings.map((warning) =>
    editorNode('li', 'finding warning', warning)));
  document.getElementById('import-name').value = baseName(file.name) + '.ttxt';
  document.getElementById('import-review').hidden = false;
  document.getElementById('import-name').focus();
}

function closeImport() {
  importState.doc = null;
  importState.pictures = [];
  document.getElementById('import-review').hidden = true;
  document.getElementById('import-file').value = '';
}

async function saveImport(event) {
  event.preventDefault();
  if (!importState.doc) return;
  const name = document.getElementById('import-name').value.trim();
  if (await createTest(name, importState.doc, null, importState.pictures)) closeImport();
}

function libraryActions(name) {
  const cell = editorNode('td', 'actions');
  for (const [text, action] of [['Открыть', () => openTest(name)],
    ['Копия', () => duplicateTest(name)], ['Переименовать', () => renameTest(name)]]) {
    const button = editorNode('button', 'action', text);
    button.type = 'button';
    button.setAttribute('aria-label', text + ': ' + name);
    button.addEventListener('click', action);
    cell.append(button, ' ');
  }
  return cell;
}

// The library's table is drawn by tests.js; each row gets the editor's buttons when it appears.
function addLibraryButtons() {
  for (const row of document.querySelectorAll('#tests tbody tr')) {
    if (row.querySelector('td.actions')) continue;
    row.append(libraryActions(row.dataset.name));
  }
}

// The library's own switch: the stations take the test at their next sync.
async function publishTest() {
  const box = document.getElementById('editor-published');
  await saveNow();
  const answer = await fetch(window.location.origin + window.location.pathname
    .replace(/[^/]*$/, '') + 'api/tests/' + encodeURIComponent(editor.name), {
    method: 'PATCH', cache: 'no-store', body: JSON.stringify({ published: box.checked }) })
    .catch(() => ({ ok: false, status: 0, json: async () => null }));
  if (!answer.ok) {
    box.checked = !box.checked;
    setSaveState('Публикация не изменена: ' + failureText({ status: answer.status,
      document: await answer.json().catch(() => null) }), 'error');
  }
  loadTests();
}

function startEditor() {
  document.getElementById('new-test').addEventListener('submit', async (event) => {
    event.preventDefault();
    const input = document.getElementById('new-test-name');
    const name = input.value.trim();
    if (!name) return;
    const file = /\.(ttxt|txt|tbin)$/i.test(name) ? name : name + '.ttxt';
    if (await createTest(file, emptyDocument())) {
      input.value = '';
    }
  });
  document.getElementById('import-test').addEventListener('submit', readImport);
  document.getElementById('import-save').addEventListener('submit', saveImport);
  const cancelImport = () => {
    closeImport();
    document.getElementById('import-file').focus();
  };
  document.getElementById('import-cancel').addEventListener('click', cancelImport);
  document.getElementById('import-review').addEventListener('keydown', (event) => {
    if (event.key === 'Escape') cancelImport();
  });
  document.getElementById('editor-published').addEventListener('change', publishTest);
  document.getElementById('close-editor').addEventListener('click', () => closeEditor(true));
  document.getElementById('conflict-reload').addEventListener('click', () => openTest(editor.name));
  document.getElementById('add-problem').addEventListener('click', () => {
    const group = editor.doc.problems[editor.current] ?
      editor.doc.problems[editor.current].group : '';
    editor.doc.problems.push(emptyProblem(group));
    renderGroups();
    openProblem(editor.doc.problems.length - 1, false);
    changed();
    document.getElementById('p-id').focus();
  });
  document.getElementById('add-group').addEventListener('click', () => {
    const names = new Set(editor.doc.groups.map((group) => group.name.toLowerCase()));
    let number = editor.doc.groups.length + 1;
    while (names.has(('Раздел ' + number).toLowerCase())) number += 1;
    editor.doc.groups.push({ name: 'Раздел ' + number, quota: null, rate: 1 });
    renderGroups();
    refreshGroupChoice();
    changed();
    document.getElementById('g-name-' + (editor.doc.groups.length - 1)).focus();
  });
  new MutationObserver(addLibraryButtons)
    .observe(document.querySelector('#tests tbody'), { childList: true });
  window.addEventListener('beforeunload', confirmLeaving);
  window.addEventListener('pagehide', saveOnLeave);
}

document.addEventListener('DOMContentLoaded', startEditor);
