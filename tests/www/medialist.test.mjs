// The gallery's reading of the camera's media list: grouping, companions, order and filters.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import {
  chapterOfName, dayOf, daysOf, filesOf, itemsOfList, storagesOfAnswer, viewOf,
} from '../../www/js/medialist.js';

// A list as the camera writes it: numbers as strings, companions folded into their items.
const LIST = {
  id: '42',
  media: [
    {
      d: '100TAVRO',
      fs: [
        { n: 'ZQ010001.MP4', cre: '1777539700', mod: '1777539700', ls: '1000', s: '5000' },
        { n: 'TAVR0003.JPG', cre: '1777543200', s: '900' },
        { n: 'TAVR0005.MP4', cre: '1777539600', ls: '100', s: '2000' },
        { n: 'ZQ010005.MP4', cre: '1777539610', ls: '100', s: '2001' },
        { n: 'ZQ020005.MP4', cre: '1777539620', ls: '-1', s: '2002' },
        { n: 'TAVR0006.JPG', cre: '1777539630', raw: '1', s: '300' },
      ],
    },
    {
      d: '101TAVRO',
      fs: [
        { n: 'Q0010001.JPG', g: '1', b: '1', l: '5', cre: '1777539630', raw: '1', s: '800', t: 'b', m: ['2', '4'] },
        { n: 'ZQAA0080.JPG', g: '1001', b: '80', l: '82', s: '120', t: 't', m: [] },
      ],
    },
    {
      d: '102TAVRO',
      fs: [
        // Chapters in an order the list may give them; they are sorted by number.
        { n: 'QH020010.MP4', cre: '1777539660', qlrv: '80', ls: '-1', s: '400' },
        { n: 'QH010010.MP4', cre: '1777539650', qlrv: '80', pta: '1', ls: '-1', s: '300' },
        { n: 'ZQ010011.360', cre: '1777539600', ls: '120', s: '100' },
        { n: 'QS010012.MP4', ms: '60', ls: '-1', s: '70' },
      ],
    },
    { d: '100QBACK', fs: [{ n: 'QB010021.MP4', cre: '1777539600', ls: '64', s: '100' }] },
    { d: '100Q3D_R', fs: [{ n: 'TAVR0020.JPG', cre: '1777539630', s: '19' }] },
  ],
};

test('chapters of the old and new names', () => {
  const cases = [['TAVR0005.MP4', -1], ['ZQ020005.MP4', 2], ['QH120010.MP4', 12], ['QL010010.LRV', 1],
    ['ZQ010011.360', 1], ['ZQAA0080.JPG', -1], ['ZQ01000A.JPG', -1], ['Q0010001.JPG', -1], ['XX010001.MP4', -1]];
  for (const [name, chapter] of cases) assert.equal(chapterOfName(name), chapter, name);
});

test('one item per photo and group, and one per recording with its chapters in order', () => {
  const items = itemsOfList(LIST);
  assert.deepEqual(items.map((i) => [i.key, i.kind]), [
    ['sd/100TAVRO/ZQ010001.MP4', 'video'],
    ['sd/100TAVRO/TAVR0003.JPG', 'photo'],
    ['sd/100TAVRO/TAVR0005.MP4', 'video'],
    ['sd/100TAVRO/TAVR0006.JPG', 'photo'],
    ['sd/101TAVRO/Q0010001.JPG', 'burst'],
    ['sd/101TAVRO/ZQAA0080.JPG', 'timelapse'],
    ['sd/102TAVRO/QH010010.MP4', 'video'],
    ['sd/102TAVRO/ZQ010011.360', 'video'],
    ['sd/102TAVRO/QS010012.MP4', 'video'],
    ['sd/100QBACK/QB010021.MP4', 'video'],
    ['sd/100Q3D_R/TAVR0020.JPG', 'photo'],
  ]);
  const byKey = Object.fromEntries(items.map((i) => [i.key, i]));
  const chaptered = byKey['sd/100TAVRO/TAVR0005.MP4'];
  assert.deepEqual(chaptered.chapters.map((c) => [c.name, c.index, c.proxy]), [
    ['TAVR0005.MP4', 0, 'TAVR0005.LRV'], ['ZQ010005.MP4', 1, 'ZQ010005.LRV'], ['ZQ020005.MP4', 2, null]]);
  assert.equal(chaptered.size, 6003);
  // Named after the first chapter, even when a later one came first in the list.
  const qh = byKey['sd/102TAVRO/QH010010.MP4'];
  assert.deepEqual(qh.chapters.map((c) => c.name), ['QH010010.MP4', 'QH020010.MP4']);
  assert.equal(qh.time, 1777539650);
  assert.deepEqual(qh.chapters[0].companions, ['QL010010.LRV', 'QH010010.WAV']);
  assert.equal(byKey['sd/102TAVRO/ZQ010011.360'].is360, true);
  assert.deepEqual(byKey['sd/102TAVRO/QS010012.MP4'].chapters[0].companions, ['QS010012.MRV']);
  assert.equal(byKey['sd/100QBACK/QB010021.MP4'].lens, 'Back lens');
  assert.equal(byKey['sd/100Q3D_R/TAVR0020.JPG'].lens, '3D right');
  assert.deepEqual(byKey['sd/100TAVRO/TAVR0006.JPG'].companions, ['TAVR0006.ZQR']);
});

test('groups list their frames without the missing ones', () => {
  const items = itemsOfList(LIST);
  const burst = items.find((i) => i.name === 'Q0010001.JPG');
  assert.deepEqual(burst.group, { id: 1, first: 1, last: 5, missing: [2, 4] });
  assert.deepEqual(burst.frames, ['Q0010001.JPG', 'Q0010003.JPG', 'Q0010005.JPG']);
  assert.equal(burst.raw, true);
  const lapse = items.find((i) => i.name === 'ZQAA0080.JPG');
  assert.deepEqual(lapse.frames, ['ZQAA0080.JPG', 'ZQAA0081.JPG', 'ZQAA0082.JPG']);
  assert.equal(lapse.time, 0);
});

test('files of an item: chapters with companions, a photo with its raw file, frames', () => {
  const byName = Object.fromEntries(itemsOfList(LIST).map((i) => [i.name, i]));
  assert.deepEqual(filesOf(byName['TAVR0005.MP4']), ['100TAVRO/TAVR0005.MP4', '100TAVRO/TAVR0005.LRV',
    '100TAVRO/ZQ010005.MP4', '100TAVRO/ZQ010005.LRV', '100TAVRO/ZQ020005.MP4']);
  assert.deepEqual(filesOf(byName['TAVR0006.JPG']), ['100TAVRO/TAVR0006.JPG', '100TAVRO/TAVR0006.ZQR']);
  assert.deepEqual(filesOf(byName['Q0010001.JPG']).length, 3);
});

test('both storages of the extended list; the plain list is the SD card alone', () => {
  const internal = { id: '7', media: [{ d: '100QFRNT', fs: [{ n: 'QF010021.MP4', s: '100' }] }] };
  const both = storagesOfAnswer([LIST, internal]);
  assert.deepEqual(both.map((s) => [s.id, s.cardId, s.items.length]), [['sd', '42', 11], ['internal', '7', 1]]);
  assert.deepEqual([both[1].items[0].key, both[1].items[0].lens], ['internal/100QFRNT/QF010021.MP4', 'Front lens']);
  assert.deepEqual(storagesOfAnswer(LIST).map((s) => s.id), ['sd']);
  // Entries the page cannot use are passed over rather than breaking the gallery.
  const odd = { media: [{ d: '100TAVRO', fs: [{}, { n: 5 }, { n: 'X.JPG' }, { n: 'TAVR0001.JPG' }] }, {}] };
  assert.deepEqual(itemsOfList(odd).map((i) => i.name), ['TAVR0001.JPG']);
  assert.deepEqual(itemsOfList(null), []);
});

test('filters by type and day, orders by time or name', () => {
  const items = itemsOfList(LIST);
  const names = (view) => view.map((i) => i.name);
  assert.deepEqual(names(viewOf(items, { type: 'photo', order: 'name' })),
    ['TAVR0020.JPG', 'TAVR0003.JPG', 'TAVR0006.JPG']);  // folder 100Q3D_R sorts before 100TAVRO
  assert.deepEqual(names(viewOf(items, { type: 'group' })), ['Q0010001.JPG', 'ZQAA0080.JPG']);
  const newest = viewOf(items, { order: 'newest' });
  assert.equal(newest[0].name, 'TAVR0003.JPG');
  assert.deepEqual(names(viewOf(items, { order: 'oldest' })).slice(0, 2), ['ZQAA0080.JPG', 'QS010012.MP4']);
  assert.equal(dayOf(1777543200), '2026-04-30');
  assert.equal(dayOf(0), '');
  assert.deepEqual(daysOf(items), ['2026-04-30']);
  assert.equal(viewOf(items, { day: '2026-04-30' }).length, 9);
  assert.equal(viewOf(items, { day: '2026-05-01' }).length, 0);
});
