// The page's ZQMF reader: structure, numbers, scaling and orientation, compressed payloads.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import {
  decompress, expandTypeString, parseZqmf, recordValues, scaledValues, streams, ZqmfError,
} from '../../www/js/zqmf.js';
import {
  BitWriter, be, compressed, compressPayload, concat, encodeValues, nest, record, text, values,
} from './builders.mjs';

const devc = (...children) => nest('DEVC', ...children);
const strm = (...children) => nest('STRM', ...children);

test('nested records keep their keys, types, sizes and payloads', () => {
  const bytes = devc(text('DVNM', 'Cam'), strm(values('ACCL', 's', [[1, 2, 3], [4, 5, 6]])));
  const [dev] = parseZqmf(bytes);
  assert.equal(dev.key, 'DEVC');
  assert.deepEqual(dev.children.map((r) => r.key), ['DVNM', 'STRM']);
  const accl = dev.children[1].children[0];
  assert.deepEqual([accl.type, accl.structSize, accl.repeat, accl.payload.length], ['s', 6, 2, 12]);
  assert.deepEqual(recordValues(accl), [[1, 2, 3], [4, 5, 6]]);
});

test('zero words between records are skipped; a second DEVC is read, anything after is not', () => {
  const bytes = concat(devc(new Uint8Array(8), values('TEMP', 'B', [[7]])), devc(values('TEMP', 'B', [[8]])),
                       values('JUNK', 'B', [[9]]));
  const devices = parseZqmf(bytes);
  assert.equal(devices.length, 2);
  assert.deepEqual(devices.map((d) => recordValues(d.children[0])[0][0]), [7, 8]);
});

test('damaged streams are refused with a ZqmfError', () => {
  const good = devc(strm(values('ACCL', 's', [[1, 2, 3]])));
  const cases = {
    'no DEVC': values('STRM', 'B', [[1]]),
    'too short': good.subarray(0, 4),
    'record past its nest': (() => { const b = good.slice(); b[16 + 7] = 200; return b; })(),
    'invalid key': (() => { const b = good.slice(); b[16] = 0x01; return b; })(),
    'struct size 0': (() => { const b = good.slice(); b[16 + 5] = 0; return b; })(),
    'DEVC past the buffer': good.subarray(0, good.length - 4),
    'a sixteenth nest inside a DEVC': (() => {
      let r = values('DEEP', 'B', [[1]]);
      for (let i = 0; i < 16; i++) r = nest('NEST', r);
      return devc(r);
    })(),
  };
  for (const [name, bytes] of Object.entries(cases)) {
    assert.throws(() => parseZqmf(bytes), ZqmfError, name);
  }
  // Fifteen nests inside a DEVC (levels 0 to 15) are allowed.
  let r = values('DEEP', 'B', [[1]]);
  for (let i = 0; i < 15; i++) r = nest('NEST', r);
  assert.doesNotThrow(() => parseZqmf(devc(r)));
});

test('every numeric type is read big-endian with its sign', () => {
  const cases = [
    ['b', [-2, 127]], ['B', [254, 1]], ['s', [-300, 32767]], ['S', [65535, 2]],
    ['l', [-70000, 2147483647]], ['L', [4294967295, 3]], ['f', [1.5, -0.25]],
    ['d', [46.5068123, -6.1]], ['j', [-5, 2 ** 40]], ['J', [2 ** 50, 9]],
  ];
  for (const [type, nums] of cases) {
    const [dev] = parseZqmf(devc(values('TEST', type, [nums])));
    assert.deepEqual(recordValues(dev.children[0]), [nums], type);
  }
});

test('structures take their element types from the preceding TYPE record', () => {
  assert.equal(expandTypeString('f[2]L'), 'ffL');
  assert.equal(expandTypeString('s[3]\0junk'), 'sss');
  assert.throws(() => expandTypeString('f[70]'), ZqmfError);
  const payload = concat(encodeValues('f', [1.5, 2.5]), encodeValues('L', [7]));
  const ok = devc(strm(text('TYPE', 'f[2]L'), record('MIXD', '?', 12, 1, payload)));
  const s = parseZqmf(ok)[0].children[0].children;
  assert.deepEqual(recordValues(s[1], s.slice(0, 1)), [[1.5, 2.5, 7]]);
  // A struct size that does not match the types, and no TYPE at all.
  const bad = parseZqmf(devc(strm(text('TYPE', 'f[2]L'), record('MIXD', '?', 11, 1, payload.subarray(0, 11)))));
  const b = bad[0].children[0].children;
  assert.throws(() => recordValues(b[1], b.slice(0, 1)), ZqmfError);
  assert.throws(() => recordValues(b[1], []), ZqmfError);
});

test('samples are divided by SCAL, one divisor for all or one each', () => {
  const rows = [[100, 200, 300]];
  const scaledWith = (...before) => {
    const s = parseZqmf(devc(strm(...before, values('ACCL', 's', rows))))[0].children[0].children;
    return scaledValues(s[s.length - 1], s.slice(0, -1));
  };
  assert.deepEqual(scaledWith(), [[100, 200, 300]]);
  assert.deepEqual(scaledWith(values('SCAL', 's', [[100]])), [[1, 2, 3]]);
  assert.deepEqual(scaledWith(values('SCAL', 'l', [[10], [100], [0]])), [[10, 2, 0]]);
  // The nearest SCAL wins.
  assert.deepEqual(scaledWith(values('SCAL', 's', [[1]]), values('SCAL', 's', [[50]])), [[2, 4, 6]]);
  assert.throws(() => scaledWith(values('SCAL', 's', [[1], [2]])), ZqmfError);
});

test('orientation: an MTRX of other than -1, 0, 1 applies; else ORIN and ORIO do', () => {
  const rows = [[1, 2, 3]];
  const turned = (...before) => {
    const s = parseZqmf(devc(strm(...before, values('GYRO', 's', rows))))[0].children[0].children;
    return scaledValues(s[s.length - 1], s.slice(0, -1));
  };
  // A permutation matrix alone changes nothing.
  const swap = values('MTRX', 'f', [[0, 1, 0, 1, 0, 0, 0, 0, 1]]);
  assert.deepEqual(turned(swap), [[1, 2, 3]]);
  // One with another entry is applied: rows of the matrix give the outputs.
  assert.deepEqual(turned(values('MTRX', 'f', [[2, 0, 0, 0, 0, 1, 0, -1, 0]])), [[2, 3, -2]]);
  // Output axes "zXy" from input axes "XYZ": out0 = Z, out1 = X, out2 = -Y.
  const axes = [text('ORIN', 'XYZ'), text('ORIO', 'ZXy')];
  assert.deepEqual(turned(...axes), [[3, 1, -2]]);
  assert.deepEqual(turned(swap, ...axes), [[3, 1, -2]]);
  assert.throws(() => turned(values('MTRX', 'f', [[1, 2, 3, 4]])), ZqmfError);
});

// --- compressed payloads, from bits written by hand ----------------------------------------

// A "#" record of one 16-bit channel ('s', struct 2) starting at `first`, with quantiser
// `quant` and the code bits `bits` (the end word is added by the caller when wanted).
function channelRecord(type, structSize, repeat, firstBytes, channels) {
  const w = new BitWriter();
  w.put(type.charCodeAt(0), 8).put(structSize, 8).put(repeat, 16);
  for (const b of firstBytes) w.put(b, 8);
  const width = type === 'b' || type === 'B' ? 1 : 2;
  channels.forEach(({ quant, bits }, c) => {
    if (c > 0) w.align16();
    w.put(quant, width * 8).align16().putText(bits);
  });
  while (w.bits.length % 32 !== 0) w.bits.push(0);
  const payload = w.bytes();
  return parseZqmf(devc(record('DATA', '#', 1, payload.length, payload)))[0].children[0];
}

const END = '1110001111000101';
const ESCAPE = '1110001111000100';
const samplesOf = (rec) => recordValues(rec).map((row) => row[0]);

test('value codes add value x quantiser and write it to their run and one more', () => {
  // +1 (code 10, sign 0), then a run of 2 and -3 (00, code 11011, sign 1), then the end.
  const rec = channelRecord('s', 2, 7, be(100, 2), [{ quant: 2, bits: `100 00110111 ${END}` }]);
  assert.deepEqual(samplesOf(rec), [100, 102, 96, 96, 96, 96, 96]);
});

test('run prefixes stand for 16, 32, 64 and 128 samples', () => {
  const cases = [['1111110', 16], ['11111110', 32], ['111111111', 64], ['1111111101', 128]];
  for (const [prefix, run] of cases) {
    // The prefix, one more zero, then +1: run + 2 samples of 6 after the first.
    const rec = channelRecord('s', 2, run + 3, be(5, 2), [{ quant: 1, bits: `${prefix} 0 100 ${END}` }]);
    assert.deepEqual(samplesOf(rec), [5, ...new Array(run + 2).fill(6)], prefix);
  }
});

test('a run whose code does not fit the window repeats the old value, then the code reads anew', () => {
  // 14 zeros, then +1: 14 + 3 bits overflow the 16-bit window.
  const rec = channelRecord('s', 2, 16, be(9, 2), [{ quant: 1, bits: `${'0'.repeat(14)} 100 ${END}` }]);
  assert.deepEqual(samplesOf(rec), [...new Array(15).fill(9), 10]);
  // Sixteen zeros: a run of 16 on its own.
  const zeros = channelRecord('s', 2, 18, be(4, 2), [{ quant: 1, bits: `${'0'.repeat(16)} 100 ${END}` }]);
  assert.deepEqual(samplesOf(zeros), [...new Array(17).fill(4), 5]);
});

test('an escape carries a raw signed delta of the channel width', () => {
  const delta = (-300 & 0xffff).toString(2).padStart(16, '0');
  const rec = channelRecord('s', 2, 3, be(1000, 2), [{ quant: 3, bits: `${ESCAPE} ${delta} ${END}` }]);
  assert.deepEqual(samplesOf(rec), [1000, 100, 100]);
  // One-byte channels: an 8-bit quantiser and 8-bit raw deltas.
  const small = channelRecord('b', 1, 3, [10], [{ quant: 2, bits: `${ESCAPE} 11111011 100 ${END}` }]);
  assert.deepEqual(samplesOf(small), [10, 0, 2]);
});

test('each channel starts on a 16-bit boundary; wide elements are coded as 16-bit halves', () => {
  const two = channelRecord('s', 4, 3, concat(be(1, 2), be(-1, 2)), [
    { quant: 1, bits: `100 ${END}` },   // +1 then end: 1, 2, 2
    { quant: 5, bits: `101 ${END}` },   // -1 x 5: -1, -6, -6
  ]);
  assert.deepEqual(recordValues(two), [[1, -1], [2, -6], [2, -6]]);
  // A 32-bit value 0x0001FFFF: its low half wraps on +1 without carrying into the high half.
  const wide = channelRecord('l', 4, 2, be(0x0001ffff, 4), [
    { quant: 1, bits: END },
    { quant: 1, bits: `100 ${END}` },
  ]);
  assert.deepEqual(recordValues(wide), [[0x0001ffff], [0x00010000]]);
});

test('damaged compressed payloads are refused', () => {
  const cases = {
    'invalid code': `1110001000000000 ${END}`,
    'more samples than announced': `1111110 0 100 ${END}`,
    'no end code before the data ends': '100',
  };
  for (const [name, bits] of Object.entries(cases)) {
    const rec = channelRecord('s', 2, 4, be(0, 2), [{ quant: 1, bits }]);
    assert.throws(() => recordValues(rec), ZqmfError, name);
  }
  const header = parseZqmf(devc(record('DATA', '#', 1, 2, new Uint8Array([0x73, 2]))))[0].children[0];
  assert.throws(() => decompress(header), ZqmfError);
});

// --- compressed payloads, round trips through the test coder --------------------------------

function randomWalk(seed, n, channels, range) {
  let state = seed;
  const next = () => {
    state = (state * 1103515245 + 12345) % 2147483648;
    return state / 2147483648;
  };
  const rows = [];
  const current = new Array(channels).fill(0).map(() => Math.floor(next() * range) - range / 2);
  for (let k = 0; k < n; k++) {
    for (let c = 0; c < channels; c++) {
      const r = next();
      // Mostly small steps, some repeats, now and then a jump that needs an escape.
      if (r < 0.3) continue;
      current[c] += r < 0.9 ? Math.floor(next() * 21) - 10 : Math.floor(next() * 2000) - 1000;
      current[c] = Math.max(-range, Math.min(range, current[c]));
    }
    rows.push([...current]);
  }
  return rows;
}

test('round trips: random walks of 1-, 2- and 4-byte elements decode to what was coded', () => {
  for (let seed = 1; seed <= 20; seed++) {
    const cases = [['s', 32000, 3], ['b', 120, 2], ['l', 2000000, 2], ['S', 30000, 1]];
    for (const [type, range, channels] of cases) {
      let rows = randomWalk(seed, 1 + (seed * 37) % 400, channels, range);
      if (type === 'S') rows = rows.map((r) => r.map((v) => Math.abs(v)));
      const rec = parseZqmf(devc(compressed('DATA', type, rows)))[0].children[0];
      assert.deepEqual(recordValues(rec), rows, `${type} seed ${seed}`);
    }
  }
  // A quantiser other than 1.
  const rows = [[0], [8], [8], [-400], [-396], [-396], [-396]];
  const rec = parseZqmf(devc(compressed('QUAN', 's', rows, 4)))[0].children[0];
  assert.deepEqual(recordValues(rec), rows);
  assert.ok(compressPayload('s', rows, 4).length < 32);
});

test('streams: each STRM gives its key, name, units and scaled rows; a bad key leaves the rest', () => {
  const block = devc(
    values('DVID', 'L', [[1]]),
    strm(text('STNM', 'Accelerometer'), text('SIUN', 'm/s2'), values('SCAL', 's', [[10]]),
         compressed('ACCL', 's', [[98, 1, 2], [99, 1, 3]])),
    strm(text('STNM', 'GPS'), record('UNIT', 'c', 3, 2, new TextEncoder().encode('degm  ')),
         values('SCAL', 'l', [[10], [100]]), values('GPS2', 'l', [[465, 3720]]),
         values('BADS', 's', [[1, 2, 3]])),
  );
  const out = streams(parseZqmf(block));
  assert.deepEqual(out.map((s) => [s.key, s.name, s.units]), [
    ['ACCL', 'Accelerometer', ['m/s2']], ['GPS2', 'GPS', ['deg', 'm']], ['BADS', 'GPS', ['deg', 'm']],
  ]);
  assert.deepEqual(out[0].rows, [[9.8, 0.1, 0.2], [9.9, 0.1, 0.3]]);
  assert.deepEqual(out[1].rows, [[46.5, 37.2]]);
  assert.match(out[2].error, /SCAL of 2 values for 3 elements/);
});
