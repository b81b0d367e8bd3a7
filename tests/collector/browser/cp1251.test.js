// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// The page's Windows-1251 table against the code page as the platform decodes it: every
// character of the 255 defined bytes is held, no other character of the whole Unicode range
// is, every offered look-alike is itself storable, and the look-alikes of the characters a
// teacher's word processor puts in are the plain ones.
//
// node cp1251.test.js

const path = require('path');
const { cp1251Holds, cp1251LookAlike, cp1251Problems, cp1251Plain } =
  require(path.join(__dirname, '..', '..', '..', 'collector', 'web', 'cp1251.js'));

const failures = [];
function check(condition, message) {
  if (!condition) failures.push(message);
}

function codePageCharacters() {
  const decoder = new TextDecoder('windows-1251');
  const held = new Set();
  for (let byte = 0; byte < 256; byte += 1) {
    // 0x98 has no character in the code page (the platform's decoder passes it through).
    if (byte === 0x98) continue;
    held.add(decoder.decode(Uint8Array.of(byte)));
  }
  return held;
}

function checkTable() {
  const held = codePageCharacters();
  check(held.size === 255, 'the decoder gave ' + held.size + ' characters');
  let wrong = 0;
  for (let code = 0; code <= 0x10ffff; code += 1) {
    if (code >= 0xd800 && code <= 0xdfff) continue;
    const char = String.fromCodePoint(code);
    if (cp1251Holds(char) !== held.has(char) && wrong++ < 10) {
      failures.push('U+' + code.toString(16) + ': page says ' + cp1251Holds(char));
    }
  }
  check(wrong === 0, wrong + ' characters judged wrongly');
  for (let code = 0x80; code <= 0x10ffff; code += 1) {
    if (code >= 0xd800 && code <= 0xdfff) continue;
    const char = String.fromCodePoint(code);
    const lookAlike = cp1251Holds(char) ? null : cp1251LookAlike(char);
    if (lookAlike !== null && !Array.from(lookAlike).every(cp1251Holds)) {
      failures.push('the look-alike of U+' + code.toString(16) + ' is not storable');
    }
  }
}

const LOOK_ALIKES = [
  ['\u2212', '-'], ['\u2010', '-'], ['\u2011', '-'], ['\u201B', '\''], ['\u201F', '"'],
  ['\u2009', ' '], ['\u202F', '\u00A0'], ['\u200B', ''], ['\uFEFF', ''], ['\u00D7', 'x'],
  ['\u2264', '<='], ['\u00B2', '^2'], ['\u00BD', '1/2'], ['\u00E9', 'e'], ['\u00C7', 'C'],
  ['\u0107', 'c'], ['\u00DF', 'ss'], ['\u22EF', '...'], ['\u{1F600}', null], ['\u03C0', null],
];

function checkLookAlikes() {
  for (const [char, expected] of LOOK_ALIKES) {
    check(cp1251LookAlike(char) === expected, 'look-alike of ' + char + ': ' +
      cp1251LookAlike(char) + ' instead of ' + expected);
  }
}

const TEXTS = [
  // text, what a station cannot hold (in order, once each), the text with look-alikes
  ['Площадь – «S», 5…10 м', [], 'Площадь – «S», 5…10 м'],
  ['x − y × 2 − 1', ['\u2212', '\u00D7'], 'x - y x 2 - 1'],
  ['Ёж\u00A0и\u2009ёлка', ['\u2009'], 'Ёж\u00A0и ёлка'],
  ['π ≈ 3,14 😀', ['\u03C0', '\u2248', '\u{1F600}'], 'π ~ 3,14 😀'],
  ['café\u200B', ['\u00E9', '\u200B'], 'cafe'],
];

function checkTexts() {
  for (const [text, impossible, plain] of TEXTS) {
    const found = cp1251Problems(text).map((problem) => problem.char);
    check(found.join('|') === impossible.join('|'), text + ': flagged ' + found.join('|'));
    check(cp1251Plain(text) === plain, text + ': plain ' + cp1251Plain(text));
  }
  const problem = cp1251Problems('a\u2212b')[0];
  check(problem.code === 'U+2212' && problem.lookAlike === '-', 'code ' + problem.code);
  check(cp1251Problems('\u{1F600}')[0].code === 'U+1F600', 'astral code point misnamed');
}

checkTable();
checkLookAlikes();
checkTexts();
if (failures.length) {
  console.error('FAILED:\n' + failures.join('\n'));
  process.exitCode = 1;
} else {
  console.log('3 passed, 0 failed');
}
