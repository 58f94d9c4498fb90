// The page's MP4 box reader: sample tables to sample offsets and times, and refusals.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { Mp4Error, readBoxes, readTracks, sampleBytes } from '../../www/js/mp4.js';
import { ascii, be, box, concat, fullBox, movie } from './builders.mjs';

const payload = (n, size) => new Uint8Array(size).fill(n);

function twoTracks(options = {}) {
  const video = {
    handler: 'vide', format: 'avc1', timescale: 30000,
    samples: [payload(1, 50), payload(2, 10), payload(3, 30), payload(4, 5), payload(5, 7)],
    durations: [1001, 1001, 1001, 1001, 2002], perChunk: [2, 2, 1],
  };
  const meta = {
    handler: 'meta', format: 'zqmd', timescale: 1000,
    samples: [payload(9, 40), payload(8, 44), payload(7, 48)],
    durations: [1000, 1000, 500], perChunk: [1, 1, 1], ...options.meta,
  };
  return movie([video, meta], options);
}

test('tracks give their handler, format and every sample with offset, size and time', () => {
  const bytes = twoTracks();
  const tracks = readTracks(bytes);
  assert.deepEqual(tracks.map((t) => [t.id, t.handler, t.format, t.timescale]),
                   [[1, 'vide', 'avc1', 30000], [2, 'meta', 'zqmd', 1000]]);
  const [video, meta] = tracks;
  // Samples come back whole and in order: chunks of 2, 2, 1 for the video, 1 each for the rest.
  assert.deepEqual(video.samples.map((s) => sampleBytes(bytes, s)[0]), [1, 2, 3, 4, 5]);
  assert.deepEqual(video.samples.map((s) => s.size), [50, 10, 30, 5, 7]);
  assert.deepEqual(meta.samples.map((s) => [...new Set(sampleBytes(bytes, s))]), [[9], [8], [7]]);
  assert.deepEqual(meta.samples.map((s) => [s.time, s.duration]), [[0, 1], [1, 1], [2, 0.5]]);
  assert.equal(video.samples[4].time, (4 * 1001) / 30000);
  assert.equal(video.samples[1].offset, video.samples[0].offset + 50);
});

test('64-bit chunk offsets, a 64-bit media data size and version 1 headers read the same', () => {
  const plain = readTracks(twoTracks())[1].samples;
  const bytes = twoTracks({ largeMdat: true, meta: { co64: true, version: 1 } });
  const wide = readTracks(bytes)[1];
  assert.deepEqual(wide.samples.map((s) => [s.size, s.time]), plain.map((s) => [s.size, s.time]));
  assert.deepEqual(wide.samples.map((s) => sampleBytes(bytes, s)[0]), [9, 8, 7]);
  assert.equal(readBoxes(bytes).at(-1).headerSize, 16);
});

test('a box of size 0 runs to the end; a fixed sample size fills the size table', () => {
  const bytes = concat(box('ftyp', ascii('isom')), be(0, 4), ascii('mdat'), new Uint8Array(20));
  const boxes = readBoxes(bytes);
  assert.deepEqual(boxes.map((b) => [b.type, b.end]), [['ftyp', 12], ['mdat', 40]]);

  const fixed = twoTracks({ meta: { samples: [payload(1, 16), payload(2, 16), payload(3, 16)], fixedSize: true } });
  const stsz = indexOf(fixed, ascii('stsz'), indexOf(fixed, ascii('zqmd')));
  assert.deepEqual([...fixed.subarray(stsz + 8, stsz + 16)], [0, 0, 0, 16, 0, 0, 0, 3]);
  const meta = readTracks(fixed)[1];
  assert.deepEqual(meta.samples.map((s) => [s.size, sampleBytes(fixed, s)[0]]), [[16, 1], [16, 2], [16, 3]]);
});

test('inconsistent movies are refused with an Mp4Error', () => {
  const bytes = twoTracks();
  const corrupt = (mutate) => {
    const b = bytes.slice();
    mutate(b);
    return b;
  };
  const moov = readBoxes(bytes).find((b) => b.type === 'moov');
  const stsc = indexOf(bytes, ascii('stsc'), moov.start) - 4;
  const stsz = indexOf(bytes, ascii('stsz'), moov.start) - 4;
  const stco = indexOf(bytes, ascii('stco'), moov.start) - 4;
  const cases = {
    'no movie box': box('ftyp', ascii('isom')),
    'a box larger than the file': corrupt((b) => b.set(be(bytes.length, 4), moov.start)),
    'a cut box header': bytes.subarray(0, moov.start + 4),
    'a size table longer than its box': corrupt((b) => b.set(be(1000000, 4), stsz + 16)),
    'chunks holding fewer samples than the size table': corrupt((b) => b.set(be(1, 4), stsc + 16 + 4)),
    'a chunk run past the chunks': corrupt((b) => {
      b.set(be(1, 4), stsc + 16 + 4);
      b.set(be(9, 4), stsc + 16 + 12);
    }),
    'runs out of order': corrupt((b) => b.set(be(1, 4), stsc + 16 + 12)),
    'a sample past the end of the file': corrupt((b) => b.set(be(bytes.length - 10, 4), stco + 16)),
    'fewer times than samples': corrupt((b) => {
      const stts = indexOf(bytes, ascii('stts'), moov.start) - 4;
      b.set(be(4, 4), stts + 12);
    }),
  };
  for (const [name, b] of Object.entries(cases)) {
    assert.throws(() => readTracks(b), Mp4Error, name);
  }
});

function indexOf(haystack, needle, from = 0) {
  outer: for (let i = from; i <= haystack.length - needle.length; i++) {
    for (let j = 0; j < needle.length; j++) if (haystack[i + j] !== needle[j]) continue outer;
    return i;
  }
  return -1;
}
