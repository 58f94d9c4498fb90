// Byte builders for the page's reader tests: ZQMF records (plain and compressed) and MP4
// movies with chosen sample tables.

export function concat(...parts) {
  // Parts are byte arrays, plain numbers (one byte each) or arrays of either.
  const flat = parts.flat(Infinity).map((p) => (p instanceof Uint8Array ? p : Uint8Array.of(p)));
  const out = new Uint8Array(flat.reduce((n, p) => n + p.length, 0));
  let at = 0;
  for (const p of flat) {
    out.set(p, at);
    at += p.length;
  }
  return out;
}

export const ascii = (text) => Uint8Array.from(text, (c) => c.charCodeAt(0));

export function be(value, bytes) {
  const out = new Uint8Array(bytes);
  let v = BigInt.asUintN(bytes * 8, BigInt(value));
  for (let i = bytes - 1; i >= 0; i--) {
    out[i] = Number(v & 0xffn);
    v >>= 8n;
  }
  return out;
}

const SIZE = { b: 1, B: 1, c: 1, s: 2, S: 2, l: 4, L: 4, f: 4, d: 8, j: 8, J: 8 };

// The big-endian bytes of `values` of one type.
export function encodeValues(type, values) {
  return concat(values.map((v) => {
    if (type === 'f') {
      const b = new Uint8Array(4);
      new DataView(b.buffer).setFloat32(0, v);
      return b;
    }
    if (type === 'd') {
      const b = new Uint8Array(8);
      new DataView(b.buffer).setFloat64(0, v);
      return b;
    }
    return be(v, SIZE[type]);
  }));
}

// One ZQMF record with its payload padded to a multiple of 4.
export function record(key, type, structSize, repeat, payload) {
  const padded = (payload.length + 3) & ~3;
  return concat(ascii(key), [type === '' ? 0 : type.charCodeAt(0), structSize], be(repeat, 2),
                payload, new Uint8Array(padded - payload.length));
}

// A record of numbers: `rows` samples of equal length.
export function values(key, type, rows) {
  const flat = rows.flat();
  const perRow = rows[0].length;
  return record(key, type, SIZE[type] * perRow, rows.length, encodeValues(type, flat));
}

export function text(key, value) {
  return record(key, 'c', 1, value.length, ascii(value));
}

// A nest of records. Its struct size is 4 so that a nest of up to 256 KiB fits the 16-bit
// repeat, as the camera writes them.
export function nest(key, ...children) {
  const body = concat(children);
  return record(key, '', 4, body.length / 4, body);
}

// --- compression --------------------------------------------------------------------------

export class BitWriter {
  constructor() {
    this.bits = [];
  }
  put(value, count) {
    for (let i = count - 1; i >= 0; i--) this.bits.push((value >> i) & 1);
    return this;
  }
  putText(bits) {
    for (const b of bits.replace(/\s+/g, '')) this.bits.push(b === '1' ? 1 : 0);
    return this;
  }
  align16() {
    while (this.bits.length % 16 !== 0) this.bits.push(0);
    return this;
  }
  bytes() {
    const out = new Uint8Array(Math.ceil(this.bits.length / 8));
    this.bits.forEach((b, i) => {
      if (b) out[i >> 3] |= 0x80 >> (i & 7);
    });
    return out;
  }
}

// Magnitude codes 1..38 as [length, code], as the camera's coder writes them.
export const CODES = [
  null, [2, 2], [4, 12], [5, 27], [5, 29], [6, 52], [6, 53], [6, 62], [7, 112], [7, 115],
  [7, 120], [7, 121], [7, 123], [8, 228], [8, 229], [8, 244], [9, 453], [9, 454], [9, 490],
  [10, 904], [10, 910], [10, 982], [10, 1020], [11, 1810], [11, 1823], [11, 1966],
  [12, 3623], [12, 3645], [12, 3935], [13, 7245], [13, 7289], [13, 7869], [14, 14488],
  [14, 14576], [14, 15736], [14, 15737], [15, 28978], [15, 28979], [15, 29155],
];
const ESCAPE = 0xe3c4;
const END = 0xe3c5;

// The cheapest way to write a zero run of `run` samples: [prefix bits, prefix length, zeros].
function runBits(run) {
  const options = [[0, 0, 0], [0x7e, 7, 16], [0xfe, 8, 32], [0x1ff, 9, 64], [0x3fd, 10, 128]];
  let best = null;
  for (const [prefix, length, covers] of options) {
    if (covers > run) continue;
    const total = length + run - covers;
    if (!best || total < best.total) best = { prefix, length, zeros: run - covers, total };
  }
  return best;
}

// A compressed ("#") payload of `rows` (raw element values of `type`), coded channel by
// channel with runs, value codes, escapes and end codes, as the decoder must read them.
export function compressPayload(type, rows, quant = 1) {
  const size = SIZE[type];
  const perRow = rows[0].length;
  const structSize = size * perRow;
  const raw = encodeValues(type, rows.flat());
  const width = size === 1 ? 1 : 2;
  const channels = structSize / width;
  const mask = width === 1 ? 0xff : 0xffff;
  const n = rows.length;
  const w = new BitWriter();
  w.put(type.charCodeAt(0), 8).put(structSize, 8).put(n, 16);
  for (const byte of raw.subarray(0, structSize)) w.put(byte, 8);
  for (let c = 0; c < channels; c++) {
    if (c > 0) w.align16();
    w.put(quant, width * 8).align16();
    const u = [];
    for (let k = 0; k < n; k++) {
      const at = k * structSize + c * width;
      u.push(width === 1 ? raw[at] : (raw[at] << 8) | raw[at + 1]);
    }
    let running = u[0];
    let k = 1;
    while (k < n) {
      if (u.slice(k).every((v) => v === running)) break;  // the end code fills the rest
      let delta = (u[k] - running) & mask;
      if (delta > mask >> 1) delta -= mask + 1;
      if (delta % quant !== 0) throw new Error('delta not a multiple of the quantiser');
      const steps = delta / quant;
      let run = 0;
      while (k + run + 1 < n && u[k + run + 1] === u[k]) run++;
      if (steps !== 0 && Math.abs(steps) < CODES.length) {
        const [length, code] = CODES[Math.abs(steps)];
        // The longest run whose bits, code and sign fit one 16-bit window.
        let r = run;
        while (runBits(r).total + length + 1 > 16) r--;
        const rb = runBits(r);
        if (rb.length) w.put(rb.prefix, rb.length);
        w.put(0, rb.zeros).put(code, length).put(steps < 0 ? 1 : 0, 1);
        k += r + 1;
      } else {
        w.put(ESCAPE, 16).put(steps & mask, width * 8);
        k += 1;
      }
      running = u[k - 1];
    }
    w.put(END, 16);
  }
  // The decoder reads whole 16-bit windows: the stream ends on a 32-bit boundary.
  while (w.bits.length % 32 !== 0) w.bits.push(0);
  return w.bytes();
}

export function compressed(key, type, rows, quant = 1) {
  const payload = compressPayload(type, rows, quant);
  return record(key, '#', 1, payload.length, payload);
}

// --- MP4 ---------------------------------------------------------------------------------------

export function box(type, ...parts) {
  const body = concat(parts);
  return concat(be(8 + body.length, 4), ascii(type), body);
}

export function fullBox(type, version, ...parts) {
  return box(type, [version, 0, 0, 0], ...parts);
}

function table(entries, width) {
  return concat(be(entries.length, 4), entries.map((e) => (Array.isArray(e)
    ? concat(e.map((v) => be(v, 4))) : be(e, width))));
}

// A movie of `tracks` ({ handler, format, timescale, samples: [Uint8Array], durations,
// perChunk: samples in each chunk, co64, version, fixedSize: one size for every sample }) with their samples in one media data box,
// written chunk after chunk. `largeMdat` writes the media data box with a 64-bit size.
export function movie(tracks, { largeMdat = false } = {}) {
  const chunkLayout = tracks.map((t) => {
    const per = t.perChunk ?? [t.samples.length];
    const chunks = [];
    let s = 0;
    for (const count of per) {
      chunks.push(t.samples.slice(s, s + count));
      s += count;
    }
    return chunks;
  });
  const build = (offsets) => {
    const traks = tracks.map((t, i) => {
      const v = t.version ?? 0;
      const times = v === 1 ? [be(0, 8), be(0, 8)] : [be(0, 4), be(0, 4)];
      const per = t.perChunk ?? [t.samples.length];
      // Runs of equal samples-per-chunk, as a writer would compress them.
      const stsc = [];
      per.forEach((count, c) => {
        if (stsc.length === 0 || stsc[stsc.length - 1][1] !== count) stsc.push([c + 1, count, 1]);
      });
      const stts = t.durations.map((d) => [1, d]);
      const co = t.co64 ? fullBox('co64', 0, be(offsets[i].length, 4), offsets[i].map((o) => be(o, 8)))
        : fullBox('stco', 0, table(offsets[i], 4));
      return box('trak',
        fullBox('tkhd', v, times, be(i + 1, 4), new Uint8Array(v === 1 ? 8 : 4), new Uint8Array(60)),
        box('mdia',
          fullBox('mdhd', v, times, be(t.timescale, 4), be(0, v === 1 ? 8 : 4), new Uint8Array(4)),
          fullBox('hdlr', 0, ascii('mhlr'), ascii(t.handler), new Uint8Array(12), [0]),
          box('minf',
            box('stbl',
              fullBox('stsd', 0, be(1, 4), box(t.format, new Uint8Array(8))),
              fullBox('stts', 0, table(stts, 4)),
              fullBox('stsc', 0, table(stsc, 4)),
              t.fixedSize ? fullBox('stsz', 0, be(t.samples[0].length, 4), be(t.samples.length, 4))
                : fullBox('stsz', 0, be(0, 4), table(t.samples.map((s) => s.length), 4)),
              co))));
    });
    return box('moov', fullBox('mvhd', 0, new Uint8Array(96)), traks);
  };
  const ftyp = box('ftyp', ascii('isom'), be(0, 4), ascii('isom'));
  const dummy = build(chunkLayout.map((chunks) => chunks.map(() => 0)));
  const mdatHeader = largeMdat ? 16 : 8;
  let at = ftyp.length + dummy.length + mdatHeader;
  const offsets = chunkLayout.map((chunks) => chunks.map((chunk) => {
    const o = at;
    at += chunk.reduce((n, s) => n + s.length, 0);
    return o;
  }));
  const media = concat(chunkLayout.map((chunks) => chunks.map((chunk) => chunk)));
  const mdat = largeMdat
    ? concat(be(1, 4), ascii('mdat'), be(16 + media.length, 8), media)
    : box('mdat', media);
  return concat(ftyp, build(offsets), mdat);
}
