// What the page asks the media operation route when deleting.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import {
  hasNumberedChapters, opQuery, opStatus, opSucceeded, planDelete, planDeleteChapter,
} from '../../www/js/deletion.js';
import { itemsOfList } from '../../www/js/medialist.js';

const items = Object.fromEntries(itemsOfList({
  media: [
    {
      d: '100TAVRO',
      fs: [
        { n: 'ZQ010001.MP4', ls: '10', s: '5' },
        { n: 'TAVR0003.JPG', raw: '1', s: '9' },
        { n: 'TAVR0005.MP4', ls: '1', s: '2' },
        { n: 'ZQ010005.MP4', ls: '1', s: '2' },
        { n: 'ZQ020005.MP4', ls: '-1', pta: '1', s: '2' },
      ],
    },
    { d: '101TAVRO', fs: [{ n: 'Q0010001.JPG', g: '1', b: '1', l: '4', raw: '1', s: '8', t: 'b', m: ['3'] }] },
    { d: '102TAVRO', fs: [{ n: 'QH010010.MP4', qlrv: '1', s: '3' }, { n: 'QH020010.MP4', s: '3' }] },
    { d: '100Q3D_R', fs: [{ n: 'TAVR0009.MP4', s: '3' }, { n: 'ZQ010009.MP4', s: '3' }] },
  ],
}).map((i) => [`${i.folder}/${i.name}`, i]));

const queries = (ops) => ops.map((op) => `${opQuery(op)}${op.optional ? ' (optional)' : ''}`);

test('a photo goes with its raw file; a group frame by frame', () => {
  assert.deepEqual(queries(planDelete(items['100TAVRO/TAVR0003.JPG'])),
    ['p=del&f=100TAVRO/TAVR0003.JPG', 'p=del&f=100TAVRO/TAVR0003.ZQR (optional)']);
  assert.deepEqual(queries(planDelete(items['101TAVRO/Q0010001.JPG'])), [
    'p=del&f=101TAVRO/Q0010001.JPG', 'p=del&f=101TAVRO/Q0010001.ZQR (optional)',
    'p=del&f=101TAVRO/Q0010002.JPG', 'p=del&f=101TAVRO/Q0010002.ZQR (optional)',
    'p=del&f=101TAVRO/Q0010004.JPG', 'p=del&f=101TAVRO/Q0010004.ZQR (optional)',
  ]);
});

test('numbered chapters go through the chapter operation, which renumbers the rest', () => {
  const clip = items['100TAVRO/TAVR0005.MP4'];
  assert.equal(hasNumberedChapters(clip), true);
  assert.deepEqual(queries(planDelete(clip)), [
    'p=delcv&fd=100&fn=0005&tc=3&c=0,1,2', 'p=del&f=100TAVRO/ZQ020005.WAV (optional)']);
  assert.deepEqual(queries(planDeleteChapter(clip, 1)), ['p=delcv&fd=100&fn=0005&tc=3&c=1']);
  assert.deepEqual(queries(planDeleteChapter(clip, 2)), [
    'p=delcv&fd=100&fn=0005&tc=3&c=2', 'p=del&f=100TAVRO/ZQ020005.WAV (optional)']);
  assert.deepEqual(planDeleteChapter(clip, 3), []);
});

test('other clips go file by file: video, companions, thumbnail', () => {
  // No chapter 0 (TAVR0001), new-style names, or a folder the chapter operation does not know.
  for (const key of ['100TAVRO/ZQ010001.MP4', '102TAVRO/QH010010.MP4', '100Q3D_R/TAVR0009.MP4']) {
    assert.equal(hasNumberedChapters(items[key]), false, key);
  }
  assert.deepEqual(queries(planDelete(items['100TAVRO/ZQ010001.MP4'])), [
    'p=del&f=100TAVRO/ZQ010001.MP4', 'p=del&f=100TAVRO/ZQ010001.LRV (optional)',
    'p=del&f=100TAVRO/ZQ010001.THM (optional)']);
  assert.deepEqual(queries(planDeleteChapter(items['102TAVRO/QH010010.MP4'], 0)), [
    'p=del&f=102TAVRO/QH010010.MP4', 'p=del&f=102TAVRO/QL010010.LRV (optional)',
    'p=del&f=102TAVRO/QH010010.THM (optional)']);
  assert.equal(planDelete(items['100Q3D_R/TAVR0009.MP4']).filter((op) => !op.optional).length, 2);
});

test('answers: status 0 is done; a missing file is fine only for an optional one', () => {
  assert.equal(opStatus('\n{ "status":"0"}\r\n'), 0);
  assert.equal(opStatus('\n{"success":"1","valid":"1","status":"0","remaining_chapters":"2","error_str":""}\r\n'), 0);
  assert.equal(opStatus('\n{ "status":"9","errno":"No such file or directory(2)"}\r\n'), 9);
  assert.ok(Number.isNaN(opStatus('<html>')));
  assert.ok(Number.isNaN(opStatus('{}')));
  const required = { p: 'del', f: 'x', optional: false };
  const optional = { p: 'del', f: 'x', optional: true };
  assert.deepEqual([0, 9, 10, NaN].map((s) => opSucceeded(required, s)), [true, false, false, false]);
  assert.deepEqual([0, 9, 10, NaN].map((s) => opSucceeded(optional, s)), [true, true, false, false]);
});
