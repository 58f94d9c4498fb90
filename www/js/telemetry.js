// Telemetry for the viewer's plots: GPS fixes, accelerometer and gyroscope samples with their
// times, read from a clip's telemetry track or from a photo's ZQMF block.

import { Mp4Error, readTracks, sampleBytes } from './mp4.js';
import { parseZqmf, streams } from './zqmf.js';

// Keys of the plotted streams and the fields the page gives them.
const GPS_KEY = 'GPS5';
const MOTION_KEYS = { ACCL: 'accl', GYRO: 'gyro' };

function emptyTelemetry() {
  return {
    gps: { time: [], lat: [], lon: [], alt: [], speed: [] },
    accl: null,
    gyro: null,
    errors: [],
  };
}

function motionSeries(stream) {
  return { name: stream.name, unit: stream.units[0] ?? '', time: [], x: [], y: [], z: [] };
}

// Adds the streams of one ZQMF payload covering [start, start + duration) seconds; the
// samples of each stream are spread evenly over that span.
function addPayload(out, payload, start, duration) {
  for (const s of streams(parseZqmf(payload))) {
    if (s.error) {
      out.errors.push(`${s.key}: ${s.error}`);
      continue;
    }
    const n = s.rows.length;
    const step = n > 0 ? duration / n : 0;
    if (s.key === GPS_KEY) {
      s.rows.forEach((row, i) => {
        out.gps.time.push(start + i * step);
        out.gps.lat.push(row[0]);
        out.gps.lon.push(row[1]);
        out.gps.alt.push(row[2]);
        out.gps.speed.push(row[3]);
      });
    } else if (MOTION_KEYS[s.key]) {
      const field = MOTION_KEYS[s.key];
      out[field] ??= motionSeries(s);
      const series = out[field];
      s.rows.forEach((row, i) => {
        series.time.push(start + i * step);
        series.x.push(row[0]);
        series.y.push(row[1]);
        series.z.push(row[2]);
      });
    }
  }
}

// Telemetry of an MP4 held in `bytes` (the camera's telemetry-only copy of a clip, or the clip
// itself): the samples of its "zqmd" metadata track. Throws an Mp4Error when there is no such
// track or the movie cannot be read, a ZqmfError when a payload cannot.
export function telemetryFromMp4(bytes) {
  if (!(bytes instanceof Uint8Array)) bytes = new Uint8Array(bytes);
  const track = readTracks(bytes).find((t) => t.format === 'zqmd') ??
      readTracks(bytes).find((t) => t.handler === 'meta');
  if (!track) throw new Mp4Error('the clip has no telemetry track');
  const out = emptyTelemetry();
  for (const sample of track.samples) {
    addPayload(out, sampleBytes(bytes, sample), sample.time, sample.duration);
  }
  return out;
}

// Telemetry of a photo's ZQMF block: single samples at time 0. An empty block (a photo
// without one) has none.
export function telemetryFromBlock(bytes) {
  const out = emptyTelemetry();
  if (bytes.length > 0) addPayload(out, bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes), 0, 0);
  return out;
}
