// Plain SVG plots of telemetry: the GPS track on a local flat projection (no map tiles: a
// camera's Wi-Fi has no internet) and sensor values over time.

import { h, svg } from './dom.js';

const EARTH_RADIUS_M = 6371008.8;

// Spreading a long recording's samples into Math.min fails (too many arguments): loops.
export function minOf(values) {
  let m = Infinity;
  for (const v of values) if (v < m) m = v;
  return m;
}

export function maxOf(values) {
  let m = -Infinity;
  for (const v of values) if (v > m) m = v;
  return m;
}
const rad = (deg) => (deg * Math.PI) / 180;

// Metres between two fixes along the earth's surface.
export function distanceM(lat1, lon1, lat2, lon2) {
  const a = Math.sin(rad(lat2 - lat1) / 2) ** 2 +
      Math.cos(rad(lat1)) * Math.cos(rad(lat2)) * Math.sin(rad(lon2 - lon1) / 2) ** 2;
  return 2 * EARTH_RADIUS_M * Math.asin(Math.min(1, Math.sqrt(a)));
}

// Fixes projected onto a width x height box with `margin`, north up, one scale for both
// axes (metres east and north of the first fix). Returns { x, y, metresPerUnit }.
export function projectTrack(lat, lon, width, height, margin) {
  const lat0 = lat[0];
  const lon0 = lon[0];
  const k = Math.cos(rad(lat0));
  const east = lon.map((v) => rad(v - lon0) * k * EARTH_RADIUS_M);
  const north = lat.map((v) => rad(v - lat0) * EARTH_RADIUS_M);
  const minE = minOf(east);
  const maxE = maxOf(east);
  const minN = minOf(north);
  const maxN = maxOf(north);
  const spanE = maxE - minE;
  const spanN = maxN - minN;
  const span = Math.max(spanE / (width - 2 * margin), spanN / (height - 2 * margin), 1e-9);
  const offX = margin + (width - 2 * margin - spanE / span) / 2;
  const offY = margin + (height - 2 * margin - spanN / span) / 2;
  return {
    x: east.map((e) => offX + (e - minE) / span),
    y: north.map((n) => height - offY - (n - minN) / span),
    metresPerUnit: span,
  };
}

// The largest 1, 2 or 5 x 10^k not above `limit`.
export function niceStep(limit) {
  if (!(limit > 0)) return 0;
  const p = 10 ** Math.floor(Math.log10(limit));
  return [5, 2, 1].map((m) => m * p).find((v) => v <= limit);
}

// Ticks between min and max, about `count` of them, on round values.
export function ticks(min, max, count = 5) {
  if (!(max > min)) return [min];
  const raw = (max - min) / count;
  const p = 10 ** Math.floor(Math.log10(raw));
  const step = [1, 2, 5, 10].map((m) => m * p).find((v) => v >= raw);
  const out = [];
  for (let v = Math.ceil(min / step) * step; v <= max + step * 1e-9; v += step) {
    out.push(Number(v.toPrecision(12)));
  }
  return out;
}

// Indices that draw `values` on `buckets` columns: every sample when there are few, else the
// first, lowest and highest of each column (in time order), so peaks stay visible.
export function decimate(values, buckets) {
  const n = values.length;
  if (n <= buckets * 3) return values.map((_, i) => i);
  const out = [];
  for (let b = 0; b < buckets; b++) {
    const from = Math.floor((b * n) / buckets);
    const to = Math.floor(((b + 1) * n) / buckets);
    if (to <= from) continue;
    let lo = from;
    let hi = from;
    for (let i = from; i < to; i++) {
      if (values[i] < values[lo]) lo = i;
      if (values[i] > values[hi]) hi = i;
    }
    out.push(...[...new Set([from, lo, hi])].sort((a, b2) => a - b2));
  }
  return out;
}

const fixed = (v, digits) => (Number.isFinite(v) ? v.toFixed(digits) : '–');

function hemisphere(v, pos, neg) {
  return `${Math.abs(v).toFixed(5)}° ${v < 0 ? neg : pos}`;
}

// The GPS track: one polyline vertex per fix, start and end marked, a scale bar.
export function gpsPlot(gps) {
  const n = gps.lat.length;
  const W = 480;
  const H = n > 1 ? 320 : 120;  // one fix (a photo's) needs no room for a track
  const M = 24;
  const { x, y, metresPerUnit } = projectTrack(gps.lat, gps.lon, W, H, M);
  let length = 0;
  for (let i = 1; i < n; i++) length += distanceM(gps.lat[i - 1], gps.lon[i - 1], gps.lat[i], gps.lon[i]);
  const bar = niceStep((W / 4) * metresPerUnit);
  const barUnits = bar / metresPerUnit;
  const barText = bar >= 1000 ? `${bar / 1000} km` : `${bar} m`;
  const points = x.map((v, i) => `${v.toFixed(1)},${y[i].toFixed(1)}`).join(' ');
  const plot = svg('svg', {
    viewBox: `0 0 ${W} ${H}`, class: 'plot-area', role: 'img',
    'aria-label': `GPS track of ${n} fixes`,
  },
  svg('rect', { x: 0, y: 0, width: W, height: H, class: 'plot-bg' }),
  svg('polyline', { points, class: 'track', 'data-points': n }),
  svg('circle', { cx: x[0], cy: y[0], r: 6, class: 'start' }, svg('title', {}, 'Start')),
  n > 1 ? svg('circle', { cx: x[n - 1], cy: y[n - 1], r: 5, class: 'end' }, svg('title', {}, 'End')) : null,
  bar > 0 && n > 1 ? svg('g', { class: 'scale' },
    svg('line', { x1: M, y1: H - 10, x2: M + barUnits, y2: H - 10 }),
    svg('text', { x: M, y: H - 14 }, barText)) : null,
  svg('text', { x: W - M, y: M, class: 'north', 'text-anchor': 'end' }, 'N ↑'));
  const where = `${hemisphere(gps.lat[0], 'N', 'S')}, ${hemisphere(gps.lon[0], 'E', 'W')}`;
  const caption = n > 1
    ? `${n} fixes over ${fixed(gps.time[n - 1] - gps.time[0], 1)} s, ${fixed(length, 0)} m from ${where}`
    : `1 fix: ${where}, altitude ${fixed(gps.alt[0], 1)} m`;
  return h('figure', { class: 'plot gps', dataset: { fixes: n } }, plot, h('figcaption', {}, caption));
}

const CHANNELS = [['x', 'ch-x'], ['y', 'ch-y'], ['z', 'ch-z']];

// Sensor values over time: three channels with their range in the legend.
export function timePlot(series, title) {
  const n = series.time.length;
  const unit = series.unit ? ` (${series.unit})` : '';
  if (n === 1) {
    // A single sample (a photo's): its values, no plot.
    return h('figure', { class: 'plot motion single', dataset: { samples: 1, sensor: title } },
      h('figcaption', {}, `${title}${unit}: `,
        CHANNELS.map(([c]) => h('span', { class: `value ch-${c}` }, `${c} ${fixed(series[c][0], 3)} `))));
  }
  const W = 600;
  const H = 220;
  const left = 48;
  const right = 10;
  const top = 10;
  const bottom = 28;
  let min = minOf(CHANNELS.map(([c]) => minOf(series[c])));
  let max = maxOf(CHANNELS.map(([c]) => maxOf(series[c])));
  if (!(max > min)) {
    min -= 1;
    max += 1;
  }
  const t0 = series.time[0];
  const t1 = series.time[n - 1] > t0 ? series.time[n - 1] : t0 + 1;
  const px = (t) => left + ((t - t0) / (t1 - t0)) * (W - left - right);
  const py = (v) => top + ((max - v) / (max - min)) * (H - top - bottom);
  const grid = [
    ...ticks(min, max, 4).map((v) => svg('g', { class: 'tick' },
      svg('line', { x1: left, x2: W - right, y1: py(v), y2: py(v) }),
      svg('text', { x: left - 4, y: py(v) + 4, 'text-anchor': 'end' }, String(v)))),
    ...ticks(t0, t1, 6).map((t) => svg('g', { class: 'tick' },
      svg('line', { x1: px(t), x2: px(t), y1: top, y2: H - bottom }),
      svg('text', { x: px(t), y: H - bottom + 16, 'text-anchor': 'middle' }, `${t} s`))),
  ];
  const lines = CHANNELS.map(([c, cls]) => {
    const keep = decimate(series[c], W - left - right);
    const points = keep.map((i) => `${px(series.time[i]).toFixed(1)},${py(series[c][i]).toFixed(1)}`).join(' ');
    return svg('polyline', { points, class: `line ${cls}`, 'data-channel': c });
  });
  const legend = CHANNELS.map(([c, cls]) => {
    const lo = minOf(series[c]);
    const hi = maxOf(series[c]);
    return h('span', { class: `legend ${cls}`, dataset: { channel: c, min: lo, max: hi } },
      `${c}: ${fixed(lo, 3)} to ${fixed(hi, 3)}`);
  });
  return h('figure', { class: 'plot motion', dataset: { samples: n, sensor: title } },
    svg('svg', { viewBox: `0 0 ${W} ${H}`, class: 'plot-area', role: 'img',
      'aria-label': `${title}: ${n} samples over ${fixed(t1 - t0, 1)} s` },
    svg('rect', { x: 0, y: 0, width: W, height: H, class: 'plot-bg' }), grid, lines),
    h('figcaption', {}, `${title}${unit}, ${n} samples over ${fixed(series.time[n - 1] - t0, 1)} s `, legend));
}
