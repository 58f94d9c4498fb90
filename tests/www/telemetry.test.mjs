// Telemetry for the viewer: a clip's track payloads and a photo's block, as the camera writes
// them, to GPS fixes and motion samples with times.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { telemetryFromBlock, telemetryFromMp4 } from '../../www/js/telemetry.js';
import { compressed, movie, nest, text, values } from './builders.mjs';

const GPS_SCALE = [10000000, 10000000, 1000, 1000, 100];

// One second of telemetry: `imu` accelerometer and gyroscope samples (compressed, in counts)
// and `fixes` GPS fixes, like the camera's track payloads.
function payload(second, imu, fixes) {
  const accl = [];
  const gyro = [];
  for (let i = 0; i < imu; i++) {
    accl.push([4100 + second * 10 + i, -i, 42]);
    gyro.push([i % 7, 0, -3]);
  }
  const gps = [];
  for (let i = 0; i < fixes; i++) {
    gps.push([465068000 + 100 * (second * fixes + i), 66266000 + 120 * (second * fixes + i), 372000, 6000, 600]);
  }
  const imuStream = (name, key, unit, scale, rows) => nest('STRM', text('STNM', name), text('SIUN', unit),
    values('TSMP', 'L', [[(second + 1) * imu]]), values('SCAL', 's', [[scale]]), compressed(key, 's', rows));
  return nest('DEVC', values('DVID', 'L', [[1]]), text('DVNM', 'Tavro Camera'),
    imuStream('Accelerometer', 'ACCL', 'm/s2', 418, accl),
    imuStream('Gyroscope', 'GYRO', 'rad/s', 939, gyro),
    nest('STRM', text('STNM', 'GPS'), values('GPSF', 'L', [[3]]),
      values('SCAL', 'l', GPS_SCALE.map((s) => [s])), values('GPS5', 'l', gps)));
}

test('a clip: every fix and motion sample, spread over its payload\'s time', () => {
  const samples = [payload(0, 200, 18), payload(1, 200, 18), payload(2, 100, 9)];
  const video = { handler: 'vide', format: 'avc1', timescale: 90000, samples: [new Uint8Array(100)], durations: [3000] };
  const meta = { handler: 'meta', format: 'zqmd', timescale: 1000, samples, durations: [1000, 1000, 500], perChunk: [2, 1] };
  const t = telemetryFromMp4(movie([video, meta]));
  assert.deepEqual(t.errors, []);
  assert.equal(t.gps.lat.length, 45);
  assert.equal(t.accl.x.length, 500);
  assert.equal(t.gyro.z.length, 500);
  assert.deepEqual([t.accl.name, t.accl.unit, t.gyro.unit], ['Accelerometer', 'm/s2', 'rad/s']);
  // Times: payload start plus an even share of its duration.
  assert.equal(t.gps.time[18], 1);
  assert.equal(t.gps.time[44], 2 + (8 * 0.5) / 9);
  assert.equal(t.accl.time[450], 2 + 50 * 0.005);
  // Values: scaled, and the compressed samples expanded.
  assert.equal(t.gps.lat[1], 46.5068100);
  assert.equal(t.gps.lon[1], 6.6266120);
  assert.equal(t.gps.alt[0], 372);
  assert.equal(t.gps.speed[0], 6);
  assert.equal(t.accl.x[205], (4110 + 5) / 418);
  assert.equal(t.accl.y[3], -3 / 418);
  assert.equal(t.gyro.x[13], 6 / 939);
});

test('a clip without a telemetry track is refused', () => {
  const video = { handler: 'vide', format: 'avc1', timescale: 90000, samples: [new Uint8Array(10)], durations: [3000] };
  assert.throws(() => telemetryFromMp4(movie([video])), /no telemetry track/);
});

test('a photo\'s block: one fix and one accelerometer sample at time 0', () => {
  const block = nest('DEVC', values('DVID', 'L', [[1]]),
    nest('STRM', text('STNM', 'Accelerometer'), text('SIUN', 'm/s2'), values('SCAL', 's', [[418]]),
      values('ACCL', 's', [[4100, 84, 42]])),
    nest('STRM', values('SCAL', 'l', GPS_SCALE.map((s) => [s])), values('GPS5', 'l', [[465068000, 66266000, 372500, 0, 0]])),
    nest('STRM', text('STNM', 'Camera facts'), values('TZON', 's', [[60]])));
  const t = telemetryFromBlock(block);
  assert.deepEqual([t.gps.lat, t.gps.lon, t.gps.alt, t.gps.time], [[46.5068], [6.6266], [372.5], [0]]);
  assert.deepEqual([t.accl.x, t.accl.y, t.accl.z], [[4100 / 418], [84 / 418], [42 / 418]]);
  assert.equal(t.gyro, null);
});
