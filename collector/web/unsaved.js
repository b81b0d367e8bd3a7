// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// A copy of the open test kept in the browser (localStorage) while a change is not saved on
// the server yet. A teacher who leaves while the server cannot be reached, or whose browser
// ends, is offered that work the next time the test is opened here. The copy is kept per
// test name (the storage is the page's origin's own), with the revision its document builds
// on and the time; it goes once a save of its state, or of a newer one, has got through.
// A browser whose storage is off or full edits as it would without the copy.

const COPY_PREFIX = 'tezra-editor-unsaved:';
const COPY_DELAY_MS = 500;
// This page's own mark: a save removes only a copy this page wrote, never the work of
// another tab or of an earlier page that has not been answered yet.
const COPY_PAGE = Date.now().toString(36) + '-' + Math.random().toString(36).slice(2);

const unsaved = { timer: 0, lastMs: 0, offered: null };

function copyStorage() {
  try {
    return window.localStorage || null;
  } catch (error) {
    return null;
  }
}

function copyKey(name) {
  return COPY_PREFIX + name;
}

// The copy kept for a test, or null when there is none that can be read.
function readCopy(name) {
  try {
    const storage = copyStorage();
    const text = storage ? storage.getItem(copyKey(name)) : null;
    const copy = text ? JSON.parse(text) : null;
    if (!copy || !copy.doc || typeof copy.doc !== 'object' || !Number.isInteger(copy.revision) ||
        !Array.isArray(copy.doc.problems) ||
        !copy.doc.problems.every((problem) => problem && typeof problem === 'object')) {
      return null;
    }
    return copy;
  } catch (error) {
    return null;
  }
}

function removeCopy(name) {
  try {
    const storage = copyStorage();
    if (storage) storage.removeItem(copyKey(name));
  } catch (error) {
    // Nothing kept, nothing to remove.
  }
}

function stopCopyTimer() {
  clearTimeout(unsaved.timer);
  unsaved.timer = 0;
}

// Writes the open document as the test's copy when it holds a change not saved yet.
function writeCopyNow() {
  stopCopyTimer();
  if (!editor.doc || !editor.dirty || !editor.name) return;
  unsaved.lastMs = Date.now();
  try {
    const storage = copyStorage();
    if (!storage) return;
    storage.setItem(copyKey(editor.name), JSON.stringify({ doc: editor.doc,
      revision: editor.revision, savedMs: Date.now(), page: COPY_PAGE }));
  } catch (error) {
    // The storage is full or refused: the save to the server goes on as before.
  }
}

// After a change: the copy is written at once when the last write is old enough, else when
// it is, so steady typing writes it at most every COPY_DELAY_MS.
function keepCopy() {
  if (unsaved.timer) return;
  const wait = unsaved.lastMs + COPY_DELAY_MS - Date.now();
  if (wait <= 0) writeCopyNow();
  else unsaved.timer = setTimeout(writeCopyNow, wait);
}

// After a save got through: a change made while it was under way is still only here, so its
// copy is written again on the new revision; otherwise this page's copy has been saved.
function copySaved() {
  if (editor.dirty) {
    writeCopyNow();
    return;
  }
  stopCopyTimer();
  const copy = readCopy(editor.name);
  if (copy && copy.page === COPY_PAGE) removeCopy(editor.name);
}

// A renamed test keeps its copy under the new name.
function moveCopy(from, to) {
  try {
    const storage = copyStorage();
    const text = storage ? storage.getItem(copyKey(from)) : null;
    if (text === null) return;
    storage.setItem(copyKey(to), text);
    storage.removeItem(copyKey(from));
  } catch (error) {
    // Left under the old name.
  }
}

// ---- the offer when a test is opened -------------------------------------------------------

// The JSON text of a value with the keys of every object in one order, for comparing
// documents whatever order their fields were written in.
function orderedJson(value) {
  if (Array.isArray(value)) return '[' + value.map(orderedJson).join(',') + ']';
  if (value && typeof value === 'object') {
    return '{' + Object.keys(value).sort().filter((key) => value[key] !== undefined)
      .map((key) => JSON.stringify(key) + ':' + orderedJson(value[key])).join(',') + '}';
  }
  return JSON.stringify(value === undefined ? null : value);
}

// Whether two documents hold the same test; the highest reachable points the server adds
// are worked out from the rest.
function sameDocument(a, b) {
  const strip = (doc) => Object.assign({}, doc, { maxPoints: undefined });
  return orderedJson(strip(a)) === orderedJson(strip(b));
}

function copyTime(savedMs) {
  const when = new Date(Number(savedMs) || 0);
  const time = when.toLocaleTimeString('ru-RU', { hour: '2-digit', minute: '2-digit' });
  if (when.toDateString() === new Date().toDateString()) return time;
  return when.toLocaleDateString('ru-RU') + ' ' + time;
}

function hideCopyOffer() {
  unsaved.offered = null;
  document.getElementById('unsaved-copy').hidden = true;
}

// Called once the stored test is in the editor: a copy that differs from it is offered, one
// that holds the same test (its save got through after all) is removed. Answers whether
// the teacher is asked.
function offerCopy() {
  hideCopyOffer();
  const copy = readCopy(editor.name);
  if (!copy) return false;
  normalizeDocument(copy.doc);
  if (sameDocument(copy.doc, editor.doc)) {
    removeCopy(editor.name);
    return false;
  }
  unsaved.offered = copy;
  let text = 'Есть несохранённые правки от ' + copyTime(copy.savedMs);
  if (copy.revision !== editor.revision) {
    text += ', но с тех пор тест на сервере изменился (теперь это версия ' + editor.revision +
      '). Если вернуть правки, они заменят эту версию; она останется в списке «Версии»';
  }
  document.getElementById('unsaved-copy-text').textContent = text + '. Вернуть их?';
  document.getElementById('unsaved-copy').hidden = false;
  return true;
}

// "Вернуть": the copy becomes the document and is saved on top of the revision the editor
// opened, so a save made meanwhile elsewhere is refused as any other. Over a newer version
// than its own it is saved as a version of its own, and the newer one stays in the list.
function restoreCopy() {
  const copy = unsaved.offered;
  hideCopyOffer();
  if (!copy || !editor.doc) return;
  editor.doc = copy.doc;
  editor.replaceNext = copy.revision !== editor.revision;
  showDocument();
  changed();
  saveNow();
  document.getElementById('t-title').focus();
}

// "Отбросить": the copy goes, unless a change made since has already taken its place.
function dropCopy() {
  const copy = unsaved.offered;
  hideCopyOffer();
  const stored = copy ? readCopy(editor.name) : null;
  if (stored && stored.page === copy.page && stored.savedMs === copy.savedMs) {
    removeCopy(editor.name);
  }
  document.getElementById('t-title').focus();
}

document.addEventListener('DOMContentLoaded', () => {
  document.getElementById('unsaved-restore').addEventListener('click', restoreCopy);
  document.getElementById('unsaved-drop').addEventListener('click', dropCopy);
});
