// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// A problem's picture in the editor: chosen or dropped by the teacher, sent as JPEG (a PNG,
// GIF or WebP is drawn on a canvas and turned into JPEG here, since a station shows JPEG
// only), shown at the size the station's test window shows it, removable, and kept either
// inside the test file or beside it.

const PICTURE_LIMIT_BYTES = 10 * 1024 * 1024;
// The station's picture box: at most half of its 846-pixel problem area wide, and as high as
// the area above the smallest answer panel; a larger picture scrolls inside it.
const STATION_PICTURE_WIDTH = 423;
const STATION_PICTURE_HEIGHT = 292;
const PICTURE_TYPES = ['image/jpeg', 'image/png', 'image/gif', 'image/webp'];

function isJpeg(file) {
  return file.type === 'image/jpeg' || (!file.type && /\.jpe?g$/i.test(file.name));
}

// Decoded straight from the file's bytes: the page's security policy lets no blob: address
// into an <img>.
async function decodeImage(file) {
  try {
    return await createImageBitmap(file);
  } catch (error) {
    throw new Error('undecodable');
  }
}

// JPEG bytes of the picture: a JPEG file as it is, anything else drawn on white (a station has
// no transparency) and encoded here.
async function pictureAsJpeg(file) {
  if (isJpeg(file)) return file;
  const image = await decodeImage(file);
  const canvas = document.createElement('canvas');
  canvas.width = image.width;
  canvas.height = image.height;
  const context = canvas.getContext('2d');
  context.fillStyle = '#fff';
  context.fillRect(0, 0, canvas.width, canvas.height);
  context.drawImage(image, 0, 0);
  image.close();
  const blob = await new Promise((resolve) => canvas.toBlob(resolve, 'image/jpeg', 0.92));
  if (!blob) throw new Error('undecodable');
  return blob;
}

// A file name a station's folder takes: Latin letters, digits, "-" and "_", ending in .jpg.
function pictureFileName(file, index) {
  const base = file.name.replace(/\.[^.]*$/, '').replace(/[^A-Za-z0-9_-]+/g, '_')
    .replace(/^_+|_+$/g, '').slice(0, 40);
  return (base || 'picture-' + (index + 1)) + '.jpg';
}

function pictureUrl(file) {
  return EDITOR_API + testPath(editor.name, '/pictures/' + encodeURIComponent(file));
}

function setPictureNote(text, bad) {
  const note = document.getElementById('picture-note');
  if (!note) return;
  note.textContent = text;
  note.classList.toggle('bad', Boolean(bad));
}

async function uploadPicture(problem, file) {
  const index = editor.doc.problems.indexOf(problem);
  if (!PICTURE_TYPES.includes(file.type) && !isJpeg(file)) {
    setPictureNote('Это не рисунок JPEG, PNG, GIF или WebP: «' + file.name + '».', true);
    return;
  }
  setPictureNote('Загрузка рисунка…');
  let jpeg;
  try {
    jpeg = await pictureAsJpeg(file);
  } catch (error) {
    setPictureNote('Рисунок «' + file.name + '» не удалось прочитать.', true);
    return;
  }
  if (jpeg.size > PICTURE_LIMIT_BYTES) {
    setPictureNote('Рисунок больше 10 МБ: уменьшите его и выберите снова.', true);
    return;
  }
  const name = pictureFileName(file, index);
  const answer = await editorRequest('PUT', testPath(editor.name, '/pictures/' +
    encodeURIComponent(name)), jpeg, { 'Content-Type': 'image/jpeg' });
  if (!answer.ok || !answer.document) {
    setPictureNote('Рисунок не принят: ' + failureText(answer), true);
    return;
  }
  const embedded = problem.picture ? problem.picture.embedded !== false : true;
  problem.picture = { file: answer.document.file || name, embedded };
  changed();
  if (editor.doc.problems[editor.current] === problem) showPicture(problem);
  setPictureNote('Рисунок ' + answer.document.width + '×' + answer.document.height +
    (isJpeg(file) ? '' : ', переведён в JPEG') + '.');
}

// The thumbnail: the picture at its own size inside a box as large as the station's.
function pictureThumbnail(problem) {
  const box = editorNode('div', 'picture-box');
  const image = editorNode('img');
  image.alt = 'Рисунок задачи: ' + problem.picture.file;
  image.src = pictureUrl(problem.picture.file) + '?v=' + editor.changeSeq;
  const fit = (width, height) => {
    box.style.width = Math.min(width + 1, STATION_PICTURE_WIDTH) + 'px';
    box.style.height = Math.min(height, STATION_PICTURE_HEIGHT) + 'px';
  };
  image.addEventListener('load', () => fit(image.naturalWidth, image.naturalHeight));
  box.append(image);
  return box;
}

function showPicture(problem) {
  const holder = document.getElementById('picture-holder');
  if (!holder) return;
  holder.replaceChildren();
  if (!problem.picture) {
    holder.append(editorNode('p', 'empty', 'Рисунка нет.'));
    return;
  }
  const embedded = editorNode('input');
  embedded.type = 'checkbox';
  embedded.checked = problem.picture.embedded !== false;
  const keep = labelled('хранить рисунок внутри файла теста (иначе — отдельным файлом рядом)',
    embedded, 'p-picture-embedded');
  keep.classList.add('check-field');
  keep.prepend(embedded);
  embedded.addEventListener('change', () => {
    problem.picture.embedded = embedded.checked;
    changed();
  });
  const remove = editorNode('button', '', 'Убрать рисунок');
  remove.type = 'button';
  remove.id = 'p-picture-remove';
  remove.addEventListener('click', () => {
    problem.picture = null;
    changed();
    showPicture(problem);
    document.getElementById('p-picture').focus();
  });
  holder.append(pictureThumbnail(problem), editorNode('p', 'file-name', problem.picture.file),
    keep, remove);
}

function pictureBlock(problem) {
  const box = editorNode('fieldset', 'picture');
  box.dataset.where = 'picture';
  const input = editorNode('input');
  input.type = 'file';
  input.accept = PICTURE_TYPES.join(',');
  const choose = labelled('Выбрать рисунок (JPEG, PNG, GIF, WebP) или перетащить его сюда',
    input, 'p-picture');
  input.addEventListener('change', () => {
    if (input.files[0]) uploadPicture(problem, input.files[0]);
    input.value = '';
  });
  box.addEventListener('dragover', (event) => {
    event.preventDefault();
    box.classList.add('dropping');
  });
  box.addEventListener('dragleave', () => box.classList.remove('dropping'));
  box.addEventListener('drop', (event) => {
    event.preventDefault();
    box.classList.remove('dropping');
    const file = event.dataTransfer.files[0];
    if (file) uploadPicture(problem, file);
  });
  const holder = editorNode('div', 'picture-holder');
  holder.id = 'picture-holder';
  const note = editorNode('p', 'picture-note');
  note.id = 'picture-note';
  note.setAttribute('role', 'status');
  box.append(editorNode('legend', '', 'Рисунок'), choose, note, holder);
  return box;
}
