// Reader of ZQMF, the camera's telemetry format, for the page: it walks the nested records,
// expands compressed payloads and turns samples into scaled numbers.
//
// A record is a 4-character key, a type character (0 for a nest of further records, "?" for a
// structure whose element types a preceding "TYPE" record spells, "#" for a compressed
// payload), a struct size in bytes, a big-endian 16-bit repeat count, and struct size x repeat
// payload bytes padded with zeros to a multiple of 4. Every number is big-endian. A stream is
// one or more top-level "DEVC" nests; inside a DEVC is level 0, and nests go down to level 15.

const ELEMENT_SIZE = {
  b: 1, B: 1, c: 1, s: 2, S: 2, l: 4, L: 4, f: 4, q: 4, F: 4,
  j: 8, J: 8, d: 8, Q: 8, G: 16, U: 16,
};
const NUMERIC = new Set(['b', 'B', 's', 'S', 'l', 'L', 'j', 'J', 'f', 'd']);
const MAX_LEVELS = 16;
const MAX_TYPE_STRING = 63;

// Keys that describe a stream rather than carry its samples.
export const RESERVED_KEYS = new Set([
  'DEVC', 'DVID', 'DVNM', 'STRM', 'STNM', 'RMRK', 'SCAL', 'SIUN', 'UNIT', 'TYPE', 'TSMP',
  'TICK', 'TOCK', 'EMPT', 'MTRX', 'STMP', 'STPS', 'PFRM', 'TMPC', 'FREE', 'ORIN', 'ORIO',
]);

export class ZqmfError extends Error {
  constructor(message) {
    super(message);
    this.name = 'ZqmfError';
  }
}

function validKeyChar(c) {
  return (c >= 0x41 && c <= 0x5a) || (c >= 0x61 && c <= 0x7a) || (c >= 0x30 && c <= 0x39) ||
      c === 0x20;
}

function parseLevel(bytes, start, end, level) {
  const records = [];
  let pos = start;
  while (pos < end) {
    if (end - pos < 8) {
      // Padding at the end of a nest is zero; anything else is a cut record.
      if (bytes.subarray(pos, end).every((b) => b === 0)) break;
      throw new ZqmfError(`cut record at byte ${pos}`);
    }
    if (bytes[pos] === 0 && bytes[pos + 1] === 0 && bytes[pos + 2] === 0 && bytes[pos + 3] === 0) {
      pos += 4;  // zero words between records are skipped
      continue;
    }
    for (let i = 0; i < 4; i++) {
      if (!validKeyChar(bytes[pos + i])) throw new ZqmfError(`invalid key at byte ${pos}`);
    }
    const key = String.fromCharCode(...bytes.subarray(pos, pos + 4));
    const typeByte = bytes[pos + 4];
    const structSize = bytes[pos + 5];
    const repeat = (bytes[pos + 6] << 8) | bytes[pos + 7];
    if (structSize === 0) throw new ZqmfError(`${key}: struct size 0`);
    const size = structSize * repeat;
    const padded = (size + 3) & ~3;
    const payloadStart = pos + 8;
    if (payloadStart + padded > end) throw new ZqmfError(`${key} runs past its nest`);
    const record = {
      key,
      type: typeByte === 0 ? '' : String.fromCharCode(typeByte),
      structSize,
      repeat,
      payload: bytes.subarray(payloadStart, payloadStart + size),
      children: null,
    };
    if (typeByte === 0) {
      if (level + 1 >= MAX_LEVELS) throw new ZqmfError(`${key}: nested deeper than ${MAX_LEVELS}`);
      record.children = parseLevel(bytes, payloadStart, payloadStart + size, level + 1);
    }
    records.push(record);
    pos = payloadStart + padded;
  }
  return records;
}

// The top-level "DEVC" records of `bytes` (a Uint8Array) with their nested records. Throws a
// ZqmfError when the stream does not begin with "DEVC" or a record does not fit its nest.
// Reading stops at the first top-level record that is not a "DEVC".
export function parseZqmf(bytes) {
  if (!(bytes instanceof Uint8Array)) bytes = new Uint8Array(bytes);
  if (bytes.length < 8 || String.fromCharCode(...bytes.subarray(0, 4)) !== 'DEVC') {
    throw new ZqmfError('not a ZQMF stream (no DEVC at the start)');
  }
  const devices = [];
  let pos = 0;
  while (pos + 8 <= bytes.length && String.fromCharCode(...bytes.subarray(pos, pos + 4)) === 'DEVC') {
    const size = bytes[pos + 5] * ((bytes[pos + 6] << 8) | bytes[pos + 7]);
    const end = pos + 8 + ((size + 3) & ~3);
    if (bytes[pos + 4] !== 0 || end > bytes.length) throw new ZqmfError('bad DEVC record');
    devices.push(...parseLevel(bytes, pos, end, -1));  // inside a DEVC is level 0
    pos = end;
  }
  return devices;
}

// "f[3]L" -> "fffL". Throws when the result would exceed 63 types.
export function expandTypeString(text) {
  let out = '';
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    if (c === '\0') break;
    if (c === '[' && out.length > 0) {
      const close = text.indexOf(']', i);
      const count = Number.parseInt(text.slice(i + 1, close < 0 ? text.length : close), 10);
      if (!Number.isFinite(count) || count < 1) throw new ZqmfError(`bad type string ${text}`);
      out += out[out.length - 1].repeat(count - 1);
      i = close < 0 ? text.length : close;
    } else {
      out += c;
    }
    if (out.length > MAX_TYPE_STRING) throw new ZqmfError('type string too long');
  }
  return out;
}

// The text of a "c" record: one string per sample when the struct holds several characters.
export function recordText(record) {
  const decode = (b) => {
    let end = b.length;
    while (end > 0 && (b[end - 1] === 0 || b[end - 1] === 0x20)) end--;
    return new TextDecoder('latin1').decode(b.subarray(0, end));
  };
  if (record.structSize === 1) return decode(record.payload);
  const out = [];
  for (let i = 0; i < record.repeat; i++) {
    out.push(decode(record.payload.subarray(i * record.structSize, (i + 1) * record.structSize)));
  }
  return out;
}

function readElement(view, offset, type) {
  switch (type) {
    case 'b': return view.getInt8(offset);
    case 'B': return view.getUint8(offset);
    case 's': return view.getInt16(offset);
    case 'S': return view.getUint16(offset);
    case 'l': return view.getInt32(offset);
    case 'L': return view.getUint32(offset);
    case 'f': return view.getFloat32(offset);
    case 'd': return view.getFloat64(offset);
    case 'j': return Number(view.getBigInt64(offset));
    case 'J': return Number(view.getBigUint64(offset));
    default: throw new ZqmfError(`type ${type} is not a number`);
  }
}

// --- compressed payloads ---------------------------------------------------------------------
//
// A compressed payload starts with a word describing the data it expands to (type, struct
// size, repeat), then the first sample raw, then one channel per element (per 16-bit half of
// wider elements): its quantiser (1 byte for 1-byte types, else 16 bits) and, from the next
// 16-bit boundary, a bit stream of codes read most significant bit first, 16 bits at a time.
// A code is an optional zero-run prefix (1111110: 16, 11111110: 32, 111111111: 64,
// 1111111101: 128), one more run sample per 0 bit, then a magnitude code and a sign bit. A
// value code adds value x quantiser to the channel's running value and writes it to the run's
// samples and one more; a run with no code that fits the 16-bit window repeats the running
// value over the run only. The windows 0xE3C4 (escape: a raw signed delta of the channel's
// width follows) and 0xE3C5 (end: the rest of the channel keeps the running value) are
// special. A later channel's quantiser starts at the first 16-bit word after the previous
// channel's last bit.

// [code length, code] per magnitude 1..38 (magnitude 0 never matches: zeros are runs).
const MAGNITUDE_CODES = [
  null, [2, 2], [4, 12], [5, 27], [5, 29], [6, 52], [6, 53], [6, 62], [7, 112], [7, 115],
  [7, 120], [7, 121], [7, 123], [8, 228], [8, 229], [8, 244], [9, 453], [9, 454], [9, 490],
  [10, 904], [10, 910], [10, 982], [10, 1020], [11, 1810], [11, 1823], [11, 1966],
  [12, 3623], [12, 3645], [12, 3935], [13, 7245], [13, 7289], [13, 7869], [14, 14488],
  [14, 14576], [14, 15736], [14, 15737], [15, 28978], [15, 28979], [15, 29155],
];
export const ESCAPE_WORD = 0xe3c4;
export const END_WORD = 0xe3c5;

const CODE_VALUE = 0;
const CODE_END = 1;
const CODE_ESCAPE = 2;
const CODE_INVALID = 255;

let codebook = null;

// Decoding entry per 16-bit window: value, run, bits used, has-value flag, command.
function buildCodebook() {
  // For each 15-bit pattern, the magnitude code it starts with (longer codes win).
  const slotLength = new Uint8Array(1 << 15);
  const slotMagnitude = new Uint8Array(1 << 15);
  for (let m = 1; m < MAGNITUDE_CODES.length; m++) {
    const [length, code] = MAGNITUDE_CODES[m];
    const base = code << (15 - length);
    for (let i = 0; i < 1 << (15 - length); i++) {
      slotLength[base + i] = length;
      slotMagnitude[base + i] = m;
    }
  }
  const book = {
    value: new Int16Array(65536),
    run: new Uint8Array(65536),
    bits: new Uint8Array(65536),
    hasValue: new Uint8Array(65536),
    command: new Uint8Array(65536),
  };
  const bitsOf = (w, from, count) => (w >> (16 - from - count)) & ((1 << count) - 1);
  for (let w = 0; w < 65536; w++) {
    if (w === ESCAPE_WORD || w === END_WORD) {
      book.bits[w] = 16;
      book.command[w] = w === ESCAPE_WORD ? CODE_ESCAPE : CODE_END;
      continue;
    }
    let used = 0;
    let run = 0;
    if (bitsOf(w, 0, 10) === 0x3fd) [run, used] = [128, 10];
    else if (bitsOf(w, 0, 9) === 0x1ff) [run, used] = [64, 9];
    else if (bitsOf(w, 0, 8) === 0xfe) [run, used] = [32, 8];
    else if (bitsOf(w, 0, 7) === 0x7e) [run, used] = [16, 7];
    while (used < 16 && bitsOf(w, used, 1) === 0) {
      run++;
      used++;
    }
    book.run[w] = run;
    const slot = ((w << used) & 0xffff) >> 1;
    const length = used < 16 ? slotLength[slot] : 0;
    if (length !== 0 && used + length + 1 <= 16) {  // the sign bit must fit in the window too
      const magnitude = slotMagnitude[slot];
      book.value[w] = bitsOf(w, used + length, 1) ? -magnitude : magnitude;
      book.hasValue[w] = 1;
      book.bits[w] = used + length + 1;
    } else if (used === 0) {
      book.bits[w] = 16;
      book.command[w] = CODE_INVALID;
    } else {
      book.bits[w] = used;  // a run alone: the code after it starts the next window
    }
  }
  return book;
}

function window16(data, bit) {
  const b = bit >> 3;
  const shift = bit & 7;
  let v = (data[b] << 8) | data[b + 1];
  if (shift !== 0) v = ((v << shift) | (data[b + 2] >> (8 - shift))) & 0xffff;
  return v;
}

function readBits(data, bit, count) {
  let v = 0;
  for (let i = 0; i < count; i++) {
    const at = bit + i;
    v = (v << 1) | ((data[at >> 3] >> (7 - (at & 7))) & 1);
  }
  return v;
}

// Expands a "#" record: { type, structSize, repeat, bytes } of the uncompressed samples.
export function decompress(record) {
  const p = record.payload;
  if (p.length < 4) throw new ZqmfError(`${record.key}: compressed payload without header`);
  const type = String.fromCharCode(p[0]);
  const structSize = p[1];
  const repeat = (p[2] << 8) | p[3];
  const element = ELEMENT_SIZE[type];
  if (!element || structSize === 0 || repeat === 0) {
    throw new ZqmfError(`${record.key}: bad compressed header`);
  }
  const width = element === 1 ? 1 : 2;  // wider elements are coded as 16-bit halves
  if (structSize % width !== 0) throw new ZqmfError(`${record.key}: bad compressed struct size`);
  const data = p.subarray(4);
  const dataBits = data.length * 8;
  if (data.length < structSize) throw new ZqmfError(`${record.key}: compressed payload too short`);
  codebook ??= buildCodebook();
  const book = codebook;
  const out = new Uint8Array(structSize * repeat);
  out.set(data.subarray(0, structSize));
  const channels = structSize / width;
  const mask = width === 1 ? 0xff : 0xffff;
  let bit = structSize * 8;  // the first quantiser need not be aligned
  for (let c = 0; c < channels; c++) {
    if (c > 0) bit = Math.ceil(bit / 16) * 16;
    const qpos = bit >> 3;
    if (qpos + width > data.length) throw new ZqmfError(`${record.key}: compressed data cut`);
    const quant = width === 1 ? data[qpos] : (data[qpos] << 8) | data[qpos + 1];
    bit = Math.ceil(((qpos + width) * 8) / 16) * 16;
    let running = width === 1 ? out[c] : (out[c * 2] << 8) | out[c * 2 + 1];
    const put = (k) => {
      const at = (k * channels + c) * width;
      if (width === 1) {
        out[at] = running;
      } else {
        out[at] = running >> 8;
        out[at + 1] = running & 0xff;
      }
    };
    let k = 1;
    for (;;) {
      if (bit + 16 > dataBits) throw new ZqmfError(`${record.key}: compressed data cut`);
      const w = window16(data, bit);
      const command = book.command[w];
      if (command === CODE_INVALID) throw new ZqmfError(`${record.key}: invalid code`);
      bit += book.bits[w];
      if (command === CODE_END) {
        while (k < repeat) put(k++);
        break;
      }
      if (command === CODE_ESCAPE) {
        const rawBits = width * 8;
        if (bit + rawBits > dataBits || k >= repeat) {
          throw new ZqmfError(`${record.key}: escape past the data`);
        }
        let delta = readBits(data, bit, rawBits);
        if (delta >= 1 << (rawBits - 1)) delta -= 1 << rawBits;
        bit += rawBits;
        running = (running + delta * quant) & mask;
        put(k++);
        continue;
      }
      let n = book.run[w];
      if (book.hasValue[w]) {
        running = (running + book.value[w] * quant) & mask;
        n++;
      }
      if (k + n > repeat) throw new ZqmfError(`${record.key}: more samples than announced`);
      while (n-- > 0) put(k++);
    }
  }
  return { type, structSize, repeat, bytes: out };
}

// --- numbers -----------------------------------------------------------------------------------

// The element types of one sample of `record`, whose preceding siblings are `before` (for
// "?" records, the nearest "TYPE" among them spells them).
export function elementTypes(type, structSize, before = []) {
  if (type === '?') {
    const typeRecord = [...before].reverse().find((r) => r.key === 'TYPE');
    if (!typeRecord) throw new ZqmfError('structure without a TYPE record');
    const types = expandTypeString(new TextDecoder('latin1').decode(typeRecord.payload));
    const size = [...types].reduce((sum, t) => sum + (ELEMENT_SIZE[t] ?? NaN), 0);
    if (size !== structSize) throw new ZqmfError(`TYPE ${types} does not match ${structSize} bytes`);
    return [...types];
  }
  const size = ELEMENT_SIZE[type];
  if (!size || structSize % size !== 0) throw new ZqmfError(`unknown type ${type}`);
  return new Array(structSize / size).fill(type);
}

// The samples of a numeric record as rows of plain numbers (host values, unscaled).
export function recordValues(record, before = []) {
  let { type, structSize, repeat, payload } = record;
  if (type === '#') ({ type, structSize, repeat, bytes: payload } = decompress(record));
  const types = elementTypes(type, structSize, before);
  for (const t of types) {
    if (!NUMERIC.has(t)) throw new ZqmfError(`${record.key}: type ${t} is not a number`);
  }
  const view = new DataView(payload.buffer, payload.byteOffset, payload.byteLength);
  const rows = new Array(repeat);
  for (let i = 0; i < repeat; i++) {
    const row = new Array(types.length);
    let offset = i * structSize;
    for (let e = 0; e < types.length; e++) {
      row[e] = readElement(view, offset, types[e]);
      offset += ELEMENT_SIZE[types[e]];
    }
    rows[i] = row;
  }
  return rows;
}

function flatNumbers(record) {
  return recordValues(record).flat();
}

// The orientation matrix of samples of `n` elements: an "MTRX" with an entry other than -1, 0
// and 1, else one made from "ORIN" (input axes) and "ORIO" (output axes), where a letter in
// the other case names the negated axis; null when neither applies.
function orientation(before, n) {
  const last = (key) => [...before].reverse().find((r) => r.key === key);
  const mtrx = last('MTRX');
  if (mtrx) {
    const m = flatNumbers(mtrx);
    if (m.length !== n * n) throw new ZqmfError(`MTRX of ${m.length} entries for ${n} elements`);
    if (m.some((v) => v !== -1 && v !== 0 && v !== 1)) return m;
  }
  const orin = last('ORIN');
  const orio = last('ORIO');
  if (n > 1 && orin && orio && orin.payload.length === n && orio.payload.length === n) {
    const m = new Array(n * n).fill(0);
    for (let i = 0; i < n; i++) {
      for (let j = 0; j < n; j++) {
        const o = orio.payload[i];
        const a = orin.payload[j];
        const letter = (o | 0x20) >= 0x61 && (o | 0x20) <= 0x7a;
        m[i * n + j] = o === a ? 1 : (o ^ a) === 0x20 && letter ? -1 : 0;
      }
    }
    return m;
  }
  return null;
}

// The samples of `record` divided by the nearest preceding "SCAL" of its nest (one divisor for
// every element, or one each) and turned by the stream's orientation matrix, as rows of numbers.
export function scaledValues(record, before = []) {
  const rows = recordValues(record, before);
  const n = rows.length > 0 ? rows[0].length : 0;
  const scal = [...before].reverse().find((r) => r.key === 'SCAL');
  let divisors = new Array(n).fill(1);
  if (scal) {
    const d = flatNumbers(scal);
    if (d.length === 1) divisors.fill(d[0]);
    else if (d.length === n) divisors = d;
    else throw new ZqmfError(`SCAL of ${d.length} values for ${n} elements`);
  }
  const matrix = orientation(before, n);
  return rows.map((row) => {
    const scaled = row.map((v, e) => (divisors[e] === 0 ? 0 : v / divisors[e]));
    if (!matrix) return scaled;
    return scaled.map((_, i) => scaled.reduce((sum, v, j) => sum + matrix[i * n + j] * v, 0));
  });
}

// --- streams -----------------------------------------------------------------------------------

// The data streams of a parsed block: for each "STRM" nest, its sample key, name, units and
// scaled rows. `units` is one text per element (SIUN or UNIT), or [] when the stream has none.
export function streams(devices) {
  const out = [];
  const visit = (records) => {
    for (const r of records) {
      if (r.key === 'STRM' && r.children) out.push(...streamSamples(r.children));
      else if (r.children) visit(r.children);
    }
  };
  visit(devices);
  return out;
}

function streamSamples(children) {
  const name = children.find((r) => r.key === 'STNM');
  const unitRecord = children.find((r) => r.key === 'SIUN') ?? children.find((r) => r.key === 'UNIT');
  let units = [];
  if (unitRecord && unitRecord.type === 'c') {
    const text = recordText(unitRecord);
    units = Array.isArray(text) ? text : [text];
  }
  const out = [];
  children.forEach((r, i) => {
    if (RESERVED_KEYS.has(r.key) || r.children) return;
    const type = r.type === '#' ? String.fromCharCode(r.payload[0] ?? 0) : r.type;
    if (r.type !== '?' && !NUMERIC.has(type)) return;  // texts and opaque values: not plotted
    const stream = { key: r.key, name: name ? recordText(name) : r.key, units, rows: [] };
    try {
      stream.rows = scaledValues(r, children.slice(0, i));
    } catch (e) {
      if (!(e instanceof ZqmfError)) throw e;
      stream.error = e.message;  // one unreadable key leaves the others readable
    }
    out.push(stream);
  });
  return out;
}
