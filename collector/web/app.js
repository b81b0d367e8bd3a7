// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// The teacher's page: asks the collector every second for results newer than those shown,
// and draws the table and the per-class summary. Values from stations are only ever put in
// as text (textContent), never as markup.

const POLL_MS = 1000;
const LATEST = '9223372036854775807';

const state = {
  date: '',
  group: '',
  followToday: true,
  lastId: 0,
  rows: [],
  generation: 0,
  timer: 0,
  initialised: false,  // the first answer since the last restart is shown
};

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = String(text);
  return node;
}

function pointsText(points) {
  return String(points).replace('.', ',');
}

function query(extra) {
  const params = new URLSearchParams();
  params.set('date', state.date);
  if (state.group) params.set('group', state.group);
  for (const [key, value] of Object.entries(extra || {})) params.set(key, value);
  return params.toString();
}

function setStatus(text, offline) {
  const status = document.getElementById('status');
  status.textContent = text;
  status.classList.toggle('offline', Boolean(offline));
}

function updateExportLinks() {
  const params = query();
  document.getElementById('csv').href = 'results.csv?' + params;
  document.getElementById('json').href = 'results.json?' + params;
}

function updateGroups(groups) {
  const select = document.getElementById('group');
  const wanted = [''].concat(groups);
  if (state.group && !wanted.includes(state.group)) wanted.push(state.group);
  const present = Array.from(select.options, (option) => option.value);
  if (present.join('\u0000') === wanted.join('\u0000')) return;
  select.replaceChildren();
  for (const group of wanted) {
    const option = element('option', '', group === '' ? 'Все классы' : group);
    option.value = group;
    select.append(option);
  }
  select.value = state.group;
}

function markBadge(mark) {
  return element('span', 'mark m' + mark, mark);
}

function resultRow(row, fresh) {
  const tr = element('tr', fresh ? 'fresh' : '');
  tr.append(
    element('td', '', row.received.slice(11, 19)),
    element('td', '', row.source === 'report.log' ? row.station + ' (из журнала)' : row.station),
    element('td', '', row.group),
    element('td', '', row.user),
    element('td', 'number', pointsText(row.points)));
  const mark = element('td', 'number');
  mark.append(markBadge(row.mark));
  tr.append(mark);
  return tr;
}

function summaryRow(group, rows) {
  const counts = [0, 0, 0, 0, 0];
  let sum = 0;
  for (const row of rows) {
    counts[row.mark - 1] += 1;
    sum += row.mark;
  }
  const most = Math.max(...counts);
  const bars = element('div', 'bars');
  counts.forEach((count, index) => {
    const bar = element('div', 'bar');
    bar.title = 'Оценка ' + (index + 1) + ': ' + count;
    const fill = element('div', 'fill m' + (index + 1));
    fill.style.height = (most ? Math.round((count / most) * 26) : 0) + 'px';
    bar.append(element('span', '', count || ''), fill, element('span', 'label', index + 1));
    bars.append(bar);
  });
  const tr = element('tr');
  const chart = element('td');
  chart.append(bars);
  tr.append(element('td', '', group === '' ? '(без класса)' : group),
    element('td', 'number', rows.length),
    element('td', 'number', (sum / rows.length).toFixed(2).replace('.', ',')),
    chart);
  return tr;
}

function render(freshIds) {
  const body = document.querySelector('#results tbody');
  const sorted = state.rows.slice().sort((a, b) =>
    b.received.localeCompare(a.received) || b.id - a.id);
  body.replaceChildren(...sorted.map((row) => resultRow(row, freshIds.has(row.id))));
  document.getElementById('empty').hidden = state.rows.length > 0;
  document.getElementById('count').textContent = state.rows.length ? '(' + state.rows.length + ')' : '';

  const byGroup = new Map();
  for (const row of state.rows) {
    if (!byGroup.has(row.group)) byGroup.set(row.group, []);
    byGroup.get(row.group).push(row);
  }
  const summary = document.querySelector('#summary tbody');
  const groups = Array.from(byGroup.keys()).sort((a, b) => a.localeCompare(b, 'ru'));
  summary.replaceChildren(...groups.map((group) => summaryRow(group, byGroup.get(group))));
}

async function fetchJson(params) {
  const response = await fetch('api/results?' + params, { cache: 'no-store' });
  if (!response.ok) throw new Error('HTTP ' + response.status);
  return response.json();
}

async function poll() {
  const generation = state.generation;
  try {
    const update = await fetchJson(query({ after: String(state.lastId) }));
    if (generation !== state.generation) return;
    if (state.followToday && update.today !== state.date) {
      // Midnight passed: the page moves on to the new day.
      setDate(update.today, true);
      return;
    }
    updateGroups(update.groups);
    const first = !state.initialised;
    const fresh = new Set();
    for (const row of update.rows) {
      state.rows.push(row);
      state.lastId = Math.max(state.lastId, row.id);
      if (!first) fresh.add(row.id);
    }
    if (update.rows.length || first) render(fresh);
    state.initialised = true;
    setStatus('Обновлено в ' + new Date().toLocaleTimeString('ru-RU'));
    schedule(update.more ? 0 : POLL_MS);
  } catch (error) {
    if (generation !== state.generation) return;
    setStatus('Нет связи с сервером результатов, повторяем…', true);
    schedule(POLL_MS);
  }
}

function schedule(delay) {
  clearTimeout(state.timer);
  state.timer = setTimeout(poll, delay);
}

function restart() {
  state.generation += 1;
  state.lastId = 0;
  state.rows = [];
  state.initialised = false;
  updateExportLinks();
  schedule(0);
}

function setDate(date, following) {
  state.date = date;
  state.followToday = following;
  document.getElementById('date').value = date;
  restart();
}

async function loadToday() {
  try {
    const first = await fetchJson('after=' + LATEST);
    setDate(first.today, true);
  } catch (error) {
    setStatus('Нет связи с сервером результатов, повторяем…', true);
    setTimeout(loadToday, POLL_MS);
  }
}

function start() {
  document.getElementById('date').addEventListener('change', (event) => {
    if (!event.target.value) return;
    setDate(event.target.value, false);
  });
  document.getElementById('group').addEventListener('change', (event) => {
    state.group = event.target.value;
    restart();
  });
  document.getElementById('filters').addEventListener('submit', (event) => event.preventDefault());
  loadToday();
}

document.addEventListener('DOMContentLoaded', start);
