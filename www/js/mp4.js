// A small MP4 box reader: enough of the movie box to find a track's samples (their times,
// offsets and sizes) in a file held in memory, such as the telemetry-only copy of a clip that
// the camera streams.
//
// A box is a 32-bit big-endian size (the header included), a 4-character type, and, when the
// size is 1, a 64-bit size after the type; size 0 runs to the end of the enclosing box.

export class Mp4Error extends Error {
  constructor(message) {
    super(message);
    this.name = 'Mp4Error';
  }
}

const CONTAINERS = new Set(['moov', 'trak', 'mdia', 'minf', 'stbl', 'dinf', 'edts', 'udta']);

function type4(bytes, at) {
  return String.fromCharCode(bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]);
}

// The boxes between `start` and `end` of `bytes`: [{ type, start, headerSize, end }], where
// the payload runs from start + headerSize to end. Throws when a box does not fit.
export function readBoxes(bytes, start = 0, end = bytes.length) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const boxes = [];
  let pos = start;
  while (pos < end) {
    if (end - pos < 8) throw new Mp4Error(`box header cut at byte ${pos}`);
    let size = view.getUint32(pos);
    const type = type4(bytes, pos + 4);
    let headerSize = 8;
    if (size === 1) {
      if (end - pos < 16) throw new Mp4Error(`${type}: 64-bit size cut`);
      size = Number(view.getBigUint64(pos + 8));
      headerSize = 16;
    } else if (size === 0) {
      size = end - pos;
    }
    if (size < headerSize || size > end - pos) {
      throw new Mp4Error(`${type} box at byte ${pos} does not fit (${size} bytes)`);
    }
    boxes.push({ type, start: pos, headerSize, end: pos + size });
    pos += size;
  }
  return boxes;
}

function child(bytes, box, type) {
  if (!box) return null;
  return readBoxes(bytes, box.start + box.headerSize, box.end).find((b) => b.type === type) ??
      null;
}

function children(bytes, box, type) {
  return readBoxes(bytes, box.start + box.headerSize, box.end).filter((b) => b.type === type);
}

// A full box's fields after its version and flags, read with bounds checks.
class Fields {
  constructor(bytes, box) {
    this.view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    this.type = box.type;
    this.pos = box.start + box.headerSize;
    this.end = box.end;
    this.version = this.u8();
    this.pos += 3;  // flags
  }
  need(n) {
    if (this.pos + n > this.end) throw new Mp4Error(`${this.type} box is too short`);
  }
  u8() {
    this.need(1);
    return this.view.getUint8(this.pos++);
  }
  u32() {
    this.need(4);
    const v = this.view.getUint32(this.pos);
    this.pos += 4;
    return v;
  }
  u64() {
    this.need(8);
    const v = Number(this.view.getBigUint64(this.pos));
    this.pos += 8;
    return v;
  }
  skip(n) {
    this.need(n);
    this.pos += n;
  }
  // A table of `count` entries of `width` bytes must fit before it is read.
  table(count, width) {
    if (count * width > this.end - this.pos) {
      throw new Mp4Error(`${this.type} announces ${count} entries that do not fit`);
    }
  }
}

function required(box, what) {
  if (!box) throw new Mp4Error(`track without ${what}`);
  return box;
}

function mediaHeader(bytes, mdhd) {
  const f = new Fields(bytes, mdhd);
  if (f.version === 1) {
    f.skip(16);
    return { timescale: f.u32(), duration: f.u64() };
  }
  f.skip(8);
  return { timescale: f.u32(), duration: f.u32() };
}

function sampleTimes(bytes, stts, count) {
  const f = new Fields(bytes, stts);
  const entries = f.u32();
  f.table(entries, 8);
  const times = new Array(count);
  const durations = new Array(count);
  let n = 0;
  let t = 0;
  for (let e = 0; e < entries && n < count; e++) {
    const run = f.u32();
    const delta = f.u32();
    for (let i = 0; i < run && n < count; i++) {
      times[n] = t;
      durations[n] = delta;
      t += delta;
      n++;
    }
  }
  if (n < count) throw new Mp4Error(`stts gives times to ${n} of ${count} samples`);
  return { times, durations };
}

function sampleSizes(bytes, stsz) {
  const f = new Fields(bytes, stsz);
  const fixed = f.u32();
  const count = f.u32();
  if (fixed !== 0) return new Array(count).fill(fixed);
  f.table(count, 4);
  const sizes = new Array(count);
  for (let i = 0; i < count; i++) sizes[i] = f.u32();
  return sizes;
}

function chunkOffsets(bytes, stbl) {
  const box = child(bytes, stbl, 'stco') ?? child(bytes, stbl, 'co64');
  required(box, 'chunk offsets');
  const f = new Fields(bytes, box);
  const count = f.u32();
  const wide = box.type === 'co64';
  f.table(count, wide ? 8 : 4);
  const offsets = new Array(count);
  for (let i = 0; i < count; i++) offsets[i] = wide ? f.u64() : f.u32();
  return offsets;
}

// Sample offsets from the chunk offsets, the sample-to-chunk runs and the sample sizes.
function sampleOffsets(bytes, stsc, chunks, sizes) {
  const f = new Fields(bytes, stsc);
  const entries = f.u32();
  f.table(entries, 12);
  const runs = [];
  for (let e = 0; e < entries; e++) {
    const firstChunk = f.u32();
    const perChunk = f.u32();
    f.u32();  // sample description index
    if (firstChunk < 1 || (runs.length > 0 && firstChunk <= runs[runs.length - 1].firstChunk)) {
      throw new Mp4Error('stsc runs out of order');
    }
    runs.push({ firstChunk, perChunk });
  }
  const offsets = [];
  let sample = 0;
  for (let r = 0; r < runs.length && sample < sizes.length; r++) {
    const last = r + 1 < runs.length ? runs[r + 1].firstChunk - 1 : chunks.length;
    for (let c = runs[r].firstChunk; c <= last && sample < sizes.length; c++) {
      if (c > chunks.length) throw new Mp4Error(`stsc names chunk ${c} of ${chunks.length}`);
      let at = chunks[c - 1];
      for (let i = 0; i < runs[r].perChunk && sample < sizes.length; i++) {
        offsets.push(at);
        at += sizes[sample++];
      }
    }
  }
  if (sample < sizes.length) throw new Mp4Error(`chunks hold ${sample} of ${sizes.length} samples`);
  return offsets;
}

function handlerType(bytes, hdlr) {
  const f = new Fields(bytes, hdlr);
  f.skip(4);  // component type
  f.need(4);
  return type4(bytes, f.pos);
}

function sampleFormat(bytes, stsd) {
  const f = new Fields(bytes, stsd);
  if (f.u32() === 0) return '';
  f.need(8);
  return type4(bytes, f.pos + 4);
}

// The tracks of the movie in `bytes` (a Uint8Array holding the whole file): for each, its id,
// handler type ("vide", "soun", "meta", ...), sample format ("avc1", "zqmd", ...), time scale,
// and samples [{ offset, size, time, duration }] with times in seconds. Throws an Mp4Error
// when the movie box is missing or its tables are inconsistent.
export function readTracks(bytes) {
  if (!(bytes instanceof Uint8Array)) bytes = new Uint8Array(bytes);
  const moov = readBoxes(bytes).find((b) => b.type === 'moov');
  if (!moov) throw new Mp4Error('no movie box');
  return children(bytes, moov, 'trak').map((trak) => {
    const tkhd = new Fields(bytes, required(child(bytes, trak, 'tkhd'), 'a track header'));
    tkhd.skip(tkhd.version === 1 ? 16 : 8);
    const id = tkhd.u32();
    const mdia = required(child(bytes, trak, 'mdia'), 'media');
    const { timescale } = mediaHeader(bytes, required(child(bytes, mdia, 'mdhd'), 'a media header'));
    if (timescale === 0) throw new Mp4Error(`track ${id} has time scale 0`);
    const handler = handlerType(bytes, required(child(bytes, mdia, 'hdlr'), 'a handler'));
    const stbl = required(child(bytes, child(bytes, mdia, 'minf'), 'stbl'), 'a sample table');
    const format = sampleFormat(bytes, required(child(bytes, stbl, 'stsd'), 'sample descriptions'));
    const sizes = sampleSizes(bytes, required(child(bytes, stbl, 'stsz'), 'sample sizes'));
    const { times, durations } =
        sampleTimes(bytes, required(child(bytes, stbl, 'stts'), 'sample times'), sizes.length);
    const offsets = sampleOffsets(bytes, required(child(bytes, stbl, 'stsc'), 'sample chunks'),
                                  chunkOffsets(bytes, stbl), sizes);
    const samples = sizes.map((size, i) => {
      if (offsets[i] + size > bytes.length) {
        throw new Mp4Error(`sample ${i} of track ${id} lies past the end of the file`);
      }
      return {
        offset: offsets[i],
        size,
        time: times[i] / timescale,
        duration: durations[i] / timescale,
      };
    });
    return { id, handler, format, timescale, samples };
  });
}

// The bytes of one sample of a track from readTracks().
export function sampleBytes(bytes, sample) {
  return bytes.subarray(sample.offset, sample.offset + sample.size);
}
