// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';
// Which characters a station's file can hold: the Windows-1251 code page, written out whole,
// and a plain look-alike for the characters it cannot hold, so the editor can flag such a
// character at the field as it is typed and offer its replacement instead of letting it turn
// into "?" on the station.

// The characters of the bytes 0x80 to 0xBF; 0xC0 to 0xFF are А to я, 0x00 to 0x7F are ASCII.
// The byte 0x98 has no character.
const CP1251_HIGH = [
  '\u0402\u0403\u201A\u0453\u201E\u2026\u2020\u2021',
  '\u20AC\u2030\u0409\u2039\u040A\u040C\u040B\u040F',
  '\u0452\u2018\u2019\u201C\u201D\u2022\u2013\u2014',
  '\uFFFF\u2122\u0459\u203A\u045A\u045C\u045B\u045F',
  '\u00A0\u040E\u045E\u0408\u00A4\u0490\u00A6\u00A7',
  '\u0401\u00A9\u0404\u00AB\u00AC\u00AD\u00AE\u0407',
  '\u00B0\u00B1\u0406\u0456\u0491\u00B5\u00B6\u00B7',
  '\u0451\u2116\u0454\u00BB\u0458\u0405\u0455\u0457',
].join('');

const CP1251_EXTRA = new Set(Array.from(CP1251_HIGH).filter((char) => char !== '\uFFFF'));

// Characters a teacher's word processor or a web page puts in, and what a station shows
// instead. Accented Latin letters lose their accent (below); anything else has no look-alike.
const LOOK_ALIKES = new Map([
  ['\u2010', '-'], ['\u2011', '-'], ['\u2012', '-'], ['\u2015', '\u2014'], ['\u2212', '-'],
  ['\u2043', '-'],
  ['\u201B', '\''], ['\u2032', '\''], ['\u2035', '\''], ['\u02BC', '\''], ['\u00B4', '\''],
  ['\u201F', '"'], ['\u2033', '"'], ['\u2036', '"'], ['\u301D', '"'], ['\u301E', '"'],
  ['\u2024', '.'], ['\u2025', '..'], ['\u22EF', '...'], ['\u2027', '\u00B7'],
  ['\u2000', ' '], ['\u2001', ' '], ['\u2002', ' '], ['\u2003', ' '], ['\u2004', ' '],
  ['\u2005', ' '], ['\u2006', ' '], ['\u2007', ' '], ['\u2008', ' '], ['\u2009', ' '],
  ['\u200A', ' '], ['\u202F', '\u00A0'], ['\u205F', ' '], ['\u3000', ' '],
  ['\u200B', ''], ['\u200C', ''], ['\u200D', ''], ['\u2060', ''], ['\uFEFF', ''],
  ['\u00D7', 'x'], ['\u00F7', ':'], ['\u2264', '<='], ['\u2265', '>='], ['\u2260', '<>'],
  ['\u2248', '~'], ['\u2192', '->'], ['\u2190', '<-'], ['\u21D2', '=>'], ['\u221A', 'sqrt'],
  ['\u00B2', '^2'], ['\u00B3', '^3'], ['\u00B9', '^1'], ['\u00BD', '1/2'], ['\u00BC', '1/4'],
  ['\u00BE', '3/4'], ['\u2153', '1/3'], ['\u2154', '2/3'],
  ['\u00C6', 'AE'], ['\u00E6', 'ae'], ['\u0152', 'OE'], ['\u0153', 'oe'], ['\u00DF', 'ss'],
  ['\u00D8', 'O'], ['\u00F8', 'o'], ['\u0141', 'L'], ['\u0142', 'l'],
]);

function cp1251Holds(char) {
  const code = char.codePointAt(0);
  if (code < 0x80) return true;
  if (code >= 0x410 && code <= 0x44F) return true;
  return CP1251_EXTRA.has(char);
}

// The plain look-alike of one character the code page cannot hold, or null when none.
function cp1251LookAlike(char) {
  if (LOOK_ALIKES.has(char)) return LOOK_ALIKES.get(char);
  const bare = char.normalize('NFD').replace(/[\u0300-\u036F]/g, '');
  if (bare !== char && bare !== '' && Array.from(bare).every(cp1251Holds)) return bare;
  return null;
}

// Every character of the text that a station cannot hold, once each, in order of appearance:
// [{ char, code: 'U+2212', lookAlike: '-' | null }].
function cp1251Problems(text) {
  const found = new Map();
  for (const char of String(text)) {
    if (cp1251Holds(char) || found.has(char)) continue;
    found.set(char, {
      char,
      code: 'U+' + char.codePointAt(0).toString(16).toUpperCase().padStart(4, '0'),
      lookAlike: cp1251LookAlike(char),
    });
  }
  return Array.from(found.values());
}

// The text with every character that has a look-alike replaced by it; the others stay.
function cp1251Plain(text) {
  let plain = '';
  for (const char of String(text)) {
    const lookAlike = cp1251Holds(char) ? null : cp1251LookAlike(char);
    plain += lookAlike === null ? char : lookAlike;
  }
  return plain;
}

if (typeof module !== 'undefined') {
  module.exports = { cp1251Holds, cp1251LookAlike, cp1251Problems, cp1251Plain };
}
