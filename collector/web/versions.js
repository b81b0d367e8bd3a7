// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// The last versions of the open test: the list, a look at one version as plain text, and
// restoring one (which saves it as the newest version, so nothing is lost by restoring).

function versionTime(savedMs) {
  return savedMs ? new Date(savedMs).toLocaleString('ru-RU') : '—';
}

// A version as the teacher reads it: the test's fields, then each problem with its variants.
function versionText(doc) {
  const lines = ['Название: ' + (doc.title || ''), 'Код: ' + (doc.id || ''), ''];
  (doc.problems || []).forEach((problem, index) => {
    lines.push('Задача ' + (index + 1) + (problem.title ? ': ' + problem.title : '') +
      ' [' + (problem.group || '') + ']');
    lines.push(...String(problem.text || '').split('\n').map((line) => '  ' + line));
    for (const variant of problem.variants || []) {
      lines.push('    [' + variant.weight + '] ' + variant.text);
    }
    lines.push('');
  });
  return lines.join('\n');
}

async function lookAtVersion(revision) {
  const answer = await editorRequest('GET', testPath(editor.name, '/versions/' + revision));
  const look = document.getElementById('version-look');
  look.hidden = false;
  document.getElementById('version-look-title').textContent = 'Версия ' + revision;
  document.getElementById('version-text').textContent = answer.ok && answer.document ?
    versionText(answer.document.doc || {}) : 'Не открыта: ' + failureText(answer);
}

async function restoreVersion(revision) {
  if (!window.confirm('Вернуть тест к версии ' + revision + '? Нынешняя останется в списке.')) {
    return;
  }
  await saveNow();
  const answer = await editorRequest('POST', testPath(editor.name, '/versions/' + revision +
    '/restore'), { revision: editor.revision });
  if (answer.status === 409) {
    document.getElementById('versions-dialog').close();
    showConflict(answer.document && answer.document.message);
    return;
  }
  if (!answer.ok) {
    document.getElementById('version-look').hidden = false;
    document.getElementById('version-look-title').textContent = 'Не восстановлено';
    document.getElementById('version-text').textContent = failureText(answer);
    return;
  }
  document.getElementById('versions-dialog').close();
  await openTest(editor.name);
  setSaveState('Восстановлена версия ' + revision + ' (сохранена как ' +
    answer.document.revision + ')', 'saved');
}

function versionRow(version, newest) {
  const row = editorNode('tr');
  row.dataset.revision = String(version.revision);
  const actions = editorNode('td', 'actions');
  const look = editorNode('button', 'action', 'Посмотреть');
  look.type = 'button';
  look.setAttribute('aria-label', 'Посмотреть версию ' + version.revision);
  look.addEventListener('click', () => lookAtVersion(version.revision));
  actions.append(look);
  if (!newest) {
    const restore = editorNode('button', 'action', 'Восстановить');
    restore.type = 'button';
    restore.setAttribute('aria-label', 'Восстановить версию ' + version.revision);
    restore.addEventListener('click', () => restoreVersion(version.revision));
    actions.append(' ', restore);
  }
  row.append(editorNode('td', '', version.revision + (newest ? ' (нынешняя)' : '')),
    editorNode('td', '', versionTime(version.savedMs)),
    editorNode('td', 'number', version.problems), actions);
  return row;
}

async function showVersions() {
  await saveNow();
  const dialog = document.getElementById('versions-dialog');
  const body = document.querySelector('#versions tbody');
  document.getElementById('version-look').hidden = true;
  const answer = await editorRequest('GET', testPath(editor.name, '/versions'));
  const versions = answer.ok && answer.document && Array.isArray(answer.document.versions) ?
    answer.document.versions : [];
  body.replaceChildren(...versions.map((version, index) => versionRow(version, index === 0)));
  if (!answer.ok) {
    const row = editorNode('tr');
    row.append(editorNode('td', '', 'Список не получен: ' + failureText(answer)));
    body.append(row);
  }
  dialog.showModal();
  const first = dialog.querySelector('button');
  if (first) first.focus();
}

document.addEventListener('DOMContentLoaded', () => {
  document.getElementById('show-versions').addEventListener('click', showVersions);
  document.getElementById('versions-close').addEventListener('click', () =>
    document.getElementById('versions-dialog').close());
});
