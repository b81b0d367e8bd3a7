// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// "Как видит ученик" and "Пройти тест": one problem laid out as the station's test window
// shows it (the condition left in monospace, the picture right, the answer control below with
// "Я ответил" and "Отложить"), and a whole pass through the test. The drawing, the shuffles,
// the deferrals and the score come from the server, which runs the station's own model code;
// nothing is sent to the results.

const student = { attempt: '', view: null, preview: false };

function studentPicture(problem) {
  const holder = document.getElementById('student-picture');
  holder.replaceChildren();
  holder.hidden = !problem.picture || !problem.picture.file;
  if (holder.hidden) return;
  const image = editorNode('img');
  image.alt = 'Рисунок задачи';
  image.src = pictureUrl(problem.picture.file) + '?v=' + editor.changeSeq;
  holder.append(image);
}

function choiceControl(type, text, index) {
  const box = editorNode('div', 'choice');
  const input = editorNode('input');
  input.type = type;
  input.name = 'student-choice';
  input.value = String(index);
  input.id = 'student-choice-' + index;
  const label = editorNode('label', '', text);
  label.htmlFor = input.id;
  box.append(input, label);
  return box;
}

function studentControls(problem) {
  const holder = document.getElementById('student-controls');
  holder.dataset.kind = problem.kind;
  if (problem.kind === 'typed') {
    const input = editorNode('input', 'typed-answer');
    input.id = 'student-typed';
    input.value = problem.placeholder || '';
    input.addEventListener('focus', () => input.select());
    const label = editorNode('label', 'typed-label', 'Ответ:');
    label.htmlFor = input.id;
    holder.replaceChildren(label, input);
    return;
  }
  const type = problem.kind === 'several' ? 'checkbox' : 'radio';
  const group = editorNode('fieldset', 'choices');
  group.append(editorNode('legend', 'visually-hidden', 'Ответ'),
    ...problem.variants.map((text, index) => choiceControl(type, text, index)));
  holder.replaceChildren(group);
}

// Draws a problem with the progress line and the defer panel as the station shows them.
function showStudentProblem(problem, remainingText, defer, answerLabel) {
  document.getElementById('student-progress').textContent = remainingText || '';
  document.getElementById('student-condition').textContent = (problem.lines ||
    String(problem.text || '').split('\n')).join('\n');
  studentPicture(problem);
  studentControls(problem);
  document.getElementById('student-answer').hidden = false;
  document.getElementById('student-answered').textContent = answerLabel || 'Я ответил';
  const deferBox = document.getElementById('student-defer-box');
  deferBox.hidden = !defer || !defer.visible;
  document.getElementById('student-defer').disabled = !defer || !defer.enabled;
  document.getElementById('student-defer').textContent = (defer && defer.label) || 'Отложить';
  document.getElementById('student-defers').textContent = defer ? String(defer.left) : '0';
}

function studentMessage(text) {
  document.getElementById('student-message').textContent = text || '';
}

function showView(view) {
  student.view = view;
  document.getElementById('student-title').textContent = 'Пройти тест: ' + (view.title || '');
  studentMessage(view.message);
  document.body.dataset.tryState = view.state;
  if (view.state === 'finished' || !view.problem) {
    document.getElementById('student-answer').hidden = true;
    document.getElementById('student-progress').textContent = '';
    document.getElementById('student-condition').textContent = '';
    document.getElementById('student-picture').hidden = true;
    document.getElementById('student-note').textContent = view.score ?
      'Баллов: ' + view.score.pointsText + ' из ' + String(view.score.maxPoints) +
      ', оценка ' + view.score.mark + '. Результат никуда не отправлен.' : '';
    document.getElementById('student-close').focus();
    return;
  }
  showStudentProblem(view.problem, view.progress && view.progress.remainingText, view.defer,
    view.answerLabel);
  focusFirstAnswer();
}

function focusFirstAnswer() {
  const first = document.querySelector('#student-controls input');
  if (first) first.focus();
}

function chosenAnswer() {
  const kind = document.getElementById('student-controls').dataset.kind;
  if (kind === 'typed') return document.getElementById('student-typed').value;
  const chosen = Array.from(document.querySelectorAll('#student-controls input:checked'),
    (input) => Number(input.value));
  if (kind === 'several') return chosen;
  return chosen.length ? chosen[0] : null;
}

function openStudentDialog(note) {
  document.getElementById('student-note').textContent = note;
  studentMessage('');
  const dialog = document.getElementById('student-dialog');
  if (!dialog.open) dialog.showModal();
}

async function showAsStudent() {
  const answer = await editorRequest('POST', 'preview', { doc: editor.doc,
    problem: editor.current });
  student.preview = true;
  student.attempt = '';
  if (!answer.ok || !answer.document) {
    setSaveState('Просмотр не открыт: ' + failureText(answer), 'error');
    return;
  }
  const view = answer.document;
  document.getElementById('student-title').textContent = 'Как видит ученик: задача ' +
    (editor.current + 1);
  openStudentDialog(view.problem.variantsShuffled ?
    'Варианты перемешаны, как их перемешает станция. Ответ здесь никуда не идёт.' :
    'Ответ здесь никуда не идёт.');
  showStudentProblem(view.problem, view.remainingText, view.defer, view.answerLabel);
  focusFirstAnswer();
}

async function tryTest() {
  const answer = await editorRequest('POST', 'try', { doc: editor.doc });
  if (!answer.ok || !answer.document) {
    setSaveState('Тест не запущен: ' + failureText(answer), 'error');
    return;
  }
  student.preview = false;
  student.attempt = answer.document.attempt;
  openStudentDialog('Пробный проход: результат никуда не отправляется.');
  showView(answer.document);
}

async function tryStep(path, body) {
  const answer = await editorRequest('POST', 'try/' + student.attempt + path, body);
  if (!answer.ok || !answer.document) {
    studentMessage(failureText(answer));
    return;
  }
  showView(answer.document);
}

function endAttempt() {
  if (student.attempt) {
    editorRequest('DELETE', 'try/' + student.attempt);
    student.attempt = '';
  }
  delete document.body.dataset.tryState;
  document.getElementById('try-test').focus();
}

document.addEventListener('DOMContentLoaded', () => {
  document.getElementById('show-student').addEventListener('click', showAsStudent);
  document.getElementById('try-test').addEventListener('click', tryTest);
  document.getElementById('student-answer').addEventListener('submit', (event) => {
    event.preventDefault();
    if (student.preview) {
      studentMessage('Это просмотр: ответ не проверяется. Нажмите «Пройти тест».');
      return;
    }
    tryStep('/answer', { answer: chosenAnswer() });
  });
  // Enter answers, as the station's default button does, wherever the focus is in the answer
  // (a button keeps its own Enter).
  document.getElementById('student-answer').addEventListener('keydown', (event) => {
    if (event.key !== 'Enter' || event.target.tagName === 'BUTTON') return;
    event.preventDefault();
    document.getElementById('student-answer').requestSubmit();
  });
  document.getElementById('student-defer').addEventListener('click', () => {
    if (!student.preview) tryStep('/defer');
  });
  const dialog = document.getElementById('student-dialog');
  document.getElementById('student-close').addEventListener('click', () => dialog.close());
  dialog.addEventListener('close', endAttempt);
});
