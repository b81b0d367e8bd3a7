// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// The teacher's page, "Тесты" and "Станции": the class library (upload, publish, download in
// each station format, delete) and what every station did at its last sync. Everything the
// server sends is put in as text (textContent), never as markup.

const STATIONS_POLL_MS = 5000;
// Requests go to the page's origin without the user name and password a bookmark may carry
// in the address: a browser refuses a script's request to such an address.
const LIBRARY_BASE = window.location.origin + window.location.pathname.replace(/[^/]*$/, '');

function libraryNode(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = String(text);
  return node;
}

function testUrl(name, suffix) {
  return 'api/tests/' + encodeURIComponent(name) + (suffix || '');
}

// A lost connection answers { ok: false, status: 0 } instead of throwing, so that the
// stations' polling goes on once the server is back.
async function libraryRequest(method, url, body) {
  let answer;
  try {
    answer = await fetch(LIBRARY_BASE + url, { method, body, cache: 'no-store' });
  } catch (error) {
    return { ok: false, status: 0, document: null };
  }
  let document = null;
  try {
    document = await answer.json();
  } catch (error) {
    document = null;
  }
  return { ok: answer.ok, status: answer.status, document };
}

function checkText(test) {
  if (test.errors === 0 && test.warnings === 0) return 'в порядке';
  return 'ошибок: ' + test.errors + ', предупреждений: ' + test.warnings;
}

function downloadLinks(test) {
  const cell = libraryNode('td', 'downloads');
  for (const [as, label] of [['ttxt', 'ttxt'], ['tbin', 'tbin'], ['tbin-scrambled', 'tbin*']]) {
    const link = libraryNode('a', '', label);
    link.href = testUrl(test.name, '?as=' + as);
    link.download = '';
    link.title = as === 'tbin-scrambled' ? 'двоичный, зашифрованный' : as;
    cell.append(link, ' ');
  }
  return cell;
}

function publishedSwitch(test) {
  const box = libraryNode('input');
  box.type = 'checkbox';
  box.checked = Boolean(test.published);
  box.setAttribute('aria-label', 'Опубликован: ' + test.name);
  box.addEventListener('change', async () => {
    const body = JSON.stringify({ published: box.checked });
    const answer = await libraryRequest('PATCH', testUrl(test.name), body);
    if (!answer.ok) box.checked = !box.checked;
    loadTests();
  });
  const cell = libraryNode('td');
  cell.append(box);
  return cell;
}

function deleteButton(test) {
  const button = libraryNode('button', '', 'Удалить');
  button.type = 'button';
  button.addEventListener('click', async () => {
    if (!window.confirm('Удалить тест «' + test.name + '» из библиотеки?')) return;
    const answer = await libraryRequest('DELETE', testUrl(test.name));
    // Unsaved edits the browser kept for the deleted test go with it.
    if (answer.ok && typeof removeCopy === 'function') removeCopy(test.name);
    loadTests();
  });
  const cell = libraryNode('td');
  cell.append(button);
  return cell;
}

function testRow(test) {
  const row = libraryNode('tr');
  row.dataset.name = test.name;
  const check = libraryNode('td', test.errors > 0 ? 'check bad' : 'check', checkText(test));
  row.append(libraryNode('td', '', test.name), libraryNode('td', '', test.title),
             libraryNode('td', 'number', test.problems), check, publishedSwitch(test),
             downloadLinks(test), deleteButton(test));
  return row;
}

async function loadTests() {
  const answer = await libraryRequest('GET', 'api/tests');
  if (!answer.ok || !Array.isArray(answer.document)) return;
  document.querySelector('#tests tbody').replaceChildren(...answer.document.map(testRow));
}

function diagnosticsText(report) {
  const file = report && Array.isArray(report.files) ? report.files[0] : null;
  if (!file) return '';
  return file.diagnostics.slice(0, 5).map((d) => {
    const place = d.line !== undefined && d.line !== null ? 'строка ' + d.line :
      d.offset !== undefined && d.offset !== null ? 'смещение ' + d.offset : 'файл';
    return place + ': ' + d.text;
  }).join('; ');
}

async function uploadTest(event) {
  event.preventDefault();
  const input = document.getElementById('upload-file');
  const status = document.getElementById('upload-status');
  const file = input.files[0];
  if (!file) {
    status.textContent = 'Выберите файл теста.';
    return;
  }
  status.textContent = 'Загрузка…';
  const answer = await libraryRequest('PUT', testUrl(file.name), file);
  const details = diagnosticsText(answer.document);
  if (answer.ok) {
    status.textContent = 'Загружен ' + file.name + (details ? ' — ' + details : '');
    input.value = '';
  } else if (answer.status === 422) {
    status.textContent = 'Станция не сможет прочитать ' + file.name + ': ' + details;
  } else {
    const reason = answer.document && answer.document.error ? answer.document.error : answer.status;
    status.textContent = 'Не загружен: ' + reason;
  }
  loadTests();
}

function stationRow(station) {
  const row = libraryNode('tr');
  const version = station.version ? station.version + (station.current ? '' : ' (устарел)') : '—';
  const outcome = station.failed ? 'ошибка' + (station.message ? ': ' + station.message : '') :
    'успешно';
  row.append(libraryNode('td', '', station.host), libraryNode('td', '', station.address),
             libraryNode('td', '', station.last.replace('T', ' ').slice(0, 19)),
             libraryNode('td', station.current ? '' : 'stale', version),
             libraryNode('td', 'number', station.records),
             libraryNode('td', station.failed ? 'check bad' : '', outcome));
  return row;
}

async function loadStations() {
  const answer = await libraryRequest('GET', 'api/stations');
  if (answer.ok && answer.document && Array.isArray(answer.document.stations)) {
    document.getElementById('set-version').textContent =
      'опубликованный набор ' + answer.document.version;
    document.querySelector('#stations tbody')
      .replaceChildren(...answer.document.stations.map(stationRow));
  }
  window.setTimeout(loadStations, STATIONS_POLL_MS);
}

document.addEventListener('DOMContentLoaded', () => {
  document.getElementById('upload').addEventListener('submit', uploadTest);
  loadTests();
  loadStations();
});
