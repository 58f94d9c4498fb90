// The plots' arithmetic: projection, scale, ticks and thinning of long series.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { decimate, distanceM, maxOf, minOf, niceStep, projectTrack, ticks } from '../../www/js/plot.js';

test('distances along the earth', () => {
  // One degree of latitude is about 111.2 km; one of longitude shrinks with the latitude.
  assert.ok(Math.abs(distanceM(46, 6, 47, 6) - 111195) < 10);
  assert.ok(Math.abs(distanceM(60, 6, 60, 7) - 111195 / 2) < 100);
  assert.equal(distanceM(46.5, 6.6, 46.5, 6.6), 0);
});

test('the track fills the box with one scale for both axes, north up', () => {
  // 0.001 degree north and 0.001 degree east at 60 degrees north: twice as tall as wide.
  const { x, y, metresPerUnit } = projectTrack([60, 60.001, 60.001], [10, 10, 10.001], 200, 200, 10);
  const height = y[0] - y[1];
  const width = x[2] - x[1];
  assert.ok(Math.abs(height - 180) < 1e-6, `height ${height}`);
  assert.ok(Math.abs(height / width - 2) < 0.01, `aspect ${height / width}`);
  assert.ok(Math.abs(metresPerUnit * height - 111.195) < 0.1);
  assert.ok(Math.abs((x[0] + x[2]) / 2 - 100) < 1e-6, 'centred across');
  // One fix: in the middle.
  const one = projectTrack([46.5], [6.6], 100, 60, 5);
  assert.deepEqual([one.x[0], one.y[0]], [50, 30]);
});

test('round steps and ticks', () => {
  assert.deepEqual([0.7, 3, 7, 20, 149].map(niceStep), [0.5, 2, 5, 20, 100]);
  assert.equal(niceStep(0), 0);
  assert.deepEqual(ticks(0, 2, 4), [0, 0.5, 1, 1.5, 2]);
  assert.deepEqual(ticks(-0.05, 0.249, 4), [0, 0.1, 0.2]);
  assert.deepEqual(ticks(3, 3), [3]);
});

test('long series are thinned per column, keeping every peak', () => {
  assert.deepEqual(decimate([5, 1, 3], 10), [0, 1, 2]);
  const values = Array.from({ length: 10000 }, (_, i) => Math.sin(i / 50));
  values[4321] = 99;
  values[8765] = -99;
  const keep = decimate(values, 100);
  assert.ok(keep.length <= 300);
  assert.ok(keep.includes(4321) && keep.includes(8765));
  assert.deepEqual(keep, [...keep].sort((a, b) => a - b));
  // Long arrays do not overflow the argument list as Math.min(...values) would.
  const long = new Array(500000).fill(1);
  long[123456] = -2;
  assert.deepEqual([minOf(long), maxOf(long)], [-2, 1]);
});
