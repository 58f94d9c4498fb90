// The camera's media list as gallery items.
//
// The list ("/zq/zqMediaList", or "/zq/zqMediaListEx" for the SD card and the internal storage)
// holds one object per DCIM folder ("d", e.g. "100TAVRO") with its files ("fs"). Each file is
// an item whose companions the camera already folded in (proxy "ls"/"qlrv", audio "pta", raw
// "raw", "ms", ...), or a burst or time-lapse group ("g": group id, "b"/"l": first and last
// frame number, "m": missing numbers, "t": "b" or "t"). Numbers arrive as strings.
//
// The gallery shows a chaptered clip (the chapters of one recording, written as separate
// files of one file number) as one item, and everything else as the list has it.

// Folder name suffixes: which lens or storage folder the media comes from.
export const FOLDER_KINDS = {
  TAVRO: '',
  Q3D_R: '3D right',
  Q3D_L: '3D left',
  QFRNT: 'Front lens',
  QBACK: 'Back lens',
};

const VIDEO_EXTENSIONS = new Set(['MP4', '360']);
const CHAPTER_PREFIXES = ['ZQ', 'QB', 'QF', 'QS', 'QH', 'QX', 'QL', 'QM'];

const isDigits = (text) => /^[0-9]+$/.test(text);
const num = (text) => {
  const n = Number(text);
  return Number.isFinite(n) ? n : 0;
};
const extension = (name) => name.slice(name.lastIndexOf('.') + 1).toUpperCase();
const stem = (name) => name.slice(0, name.lastIndexOf('.'));

// The chapter a video name carries ("ZQ020005.MP4": 2), or -1 (chapter 0 of the old naming,
// "TAVR0005.MP4", and names without chapters).
export function chapterOfName(name) {
  if (!['MP4', 'MRV', '360', 'LRV'].includes(extension(name))) return -1;
  if (!CHAPTER_PREFIXES.includes(name.slice(0, 2)) || !isDigits(name.slice(2, 4))) return -1;
  return Number(name.slice(2, 4));
}

// Which recording a video belongs to: its folder, file number and name family (TAVR and ZQ
// names are one family: TAVRnnnn is chapter 0 of ZQccnnnn).
function recordingKey(folder, name) {
  const prefix = name.slice(0, 2);
  const family = prefix === 'TA' ? 'ZQ' : prefix;
  return `${folder}/${family}${name.slice(4, 8)}`;
}

// The proxy (low-resolution copy) of a clip entry, or null.
function proxyOf(entry) {
  if (entry.qlrv !== undefined) return `QL${entry.n.slice(2, 8)}.LRV`;
  if (entry.ls !== undefined && entry.ls !== '-1') return `${stem(entry.n)}.LRV`;
  return null;
}

// The companion files of an entry that the list folded in, by name.
function companionsOf(entry) {
  const base = stem(entry.n);
  const out = [];
  const proxy = proxyOf(entry);
  if (proxy) out.push(proxy);
  if (entry.pta !== undefined) out.push(`${base}.WAV`);
  if (entry.ms !== undefined) out.push(`${base}.MRV`);
  if (entry.raw === '1') out.push(`${base}.ZQR`);
  // Other lens or quality variants of the same recording: QX, QH, QM, QL, QG, QS names.
  for (const slot of ['qx', 'qh', 'qm', 'ql', 'qg', 'qs']) {
    if (entry[slot] !== undefined) out.push(`${slot.toUpperCase()}${entry.n.slice(2)}`);
  }
  return out;
}

function baseItem(storage, folder, entry) {
  return {
    storage,
    folder,
    name: entry.n,
    key: `${storage}/${folder}/${entry.n}`,
    lens: FOLDER_KINDS[folder.slice(3)] ?? '',
    time: num(entry.cre),
    size: num(entry.s),
    raw: entry.raw === '1',
  };
}

function groupItem(storage, folder, entry) {
  const first = num(entry.b);
  const last = num(entry.l);
  const missing = (entry.m ?? []).map(num);
  const prefix = entry.n.slice(0, 4);
  const ext = entry.n.slice(8);
  const gone = new Set(missing);
  const frames = [];
  for (let k = first; k <= last; k++) {
    if (!gone.has(k)) frames.push(`${prefix}${String(k).padStart(4, '0')}${ext}`);
  }
  return {
    ...baseItem(storage, folder, entry),
    kind: entry.t === 't' ? 'timelapse' : 'burst',
    group: { id: num(entry.g), first, last, missing },
    frames,
  };
}

// Gallery items of one storage's list document ({ id, media: [...] }): photos, clips (with
// their chapters in order) and groups, in the order the list gives them.
export function itemsOfList(doc, storage = 'sd') {
  const items = [];
  const clips = new Map();
  for (const folder of doc?.media ?? []) {
    const d = String(folder.d ?? '');
    for (const entry of folder.fs ?? []) {
      if (typeof entry?.n !== 'string' || entry.n.length < 8) continue;
      if (entry.g !== undefined) {
        items.push(groupItem(storage, d, entry));
        continue;
      }
      if (!VIDEO_EXTENSIONS.has(extension(entry.n))) {
        items.push({ ...baseItem(storage, d, entry), kind: 'photo', companions: companionsOf(entry) });
        continue;
      }
      const chapter = {
        name: entry.n,
        index: Math.max(chapterOfName(entry.n), 0),
        size: num(entry.s),
        time: num(entry.cre),
        proxy: proxyOf(entry),
        companions: companionsOf(entry),
      };
      const key = recordingKey(d, entry.n);
      const clip = clips.get(key);
      if (clip) {
        clip.chapters.push(chapter);
        clip.chapters.sort((a, b) => a.index - b.index);
        clip.size += chapter.size;
        continue;
      }
      const item = {
        ...baseItem(storage, d, entry),
        kind: 'video',
        is360: extension(entry.n) === '360',
        chapters: [chapter],
      };
      clips.set(key, item);
      items.push(item);
    }
  }
  // A clip is named after its first chapter.
  for (const clip of clips.values()) {
    clip.name = clip.chapters[0].name;
    clip.key = `${clip.storage}/${clip.folder}/${clip.name}`;
    clip.time = clip.chapters[0].time || clip.time;
  }
  return items;
}

// The storages of a "/zq/zqMediaListEx" answer (an array: SD card, then internal storage) or
// of a "/zq/zqMediaList" one (an object: the SD card alone).
export function storagesOfAnswer(answer) {
  const docs = Array.isArray(answer) ? answer : [answer];
  const names = ['sd', 'internal'];
  return docs.slice(0, 2).map((doc, i) => ({
    id: names[i],
    cardId: String(doc?.id ?? ''),
    items: itemsOfList(doc, names[i]),
  }));
}

// The day of a camera time (seconds, the camera's clock) as YYYY-MM-DD, or '' when unknown.
export function dayOf(time) {
  return time > 0 ? new Date(time * 1000).toISOString().slice(0, 10) : '';
}

export const TYPE_FILTERS = {
  all: () => true,
  video: (item) => item.kind === 'video',
  photo: (item) => item.kind === 'photo',
  group: (item) => item.kind === 'burst' || item.kind === 'timelapse',
};

// Items of `type` ("all", "video", "photo", "group") on `day` ('' for every day), ordered by
// "newest", "oldest" or "name" (folder, then file name).
export function viewOf(items, { type = 'all', day = '', order = 'newest' } = {}) {
  const keep = TYPE_FILTERS[type] ?? TYPE_FILTERS.all;
  const out = items.filter((item) => keep(item) && (day === '' || dayOf(item.time) === day));
  const byName = (a, b) => a.folder.localeCompare(b.folder) || a.name.localeCompare(b.name);
  const compare = {
    newest: (a, b) => b.time - a.time || byName(a, b),
    oldest: (a, b) => a.time - b.time || byName(a, b),
    name: byName,
  }[order] ?? byName;
  return out.sort(compare);
}

// Days that have items, newest first.
export function daysOf(items) {
  return [...new Set(items.map((i) => dayOf(i.time)).filter(Boolean))].sort().reverse();
}

// Every file an item stands for, relative to DCIM (for downloads and deletion).
export function filesOf(item) {
  const at = (name) => `${item.folder}/${name}`;
  if (item.kind === 'video') {
    return item.chapters.flatMap((c) => [at(c.name), ...c.companions.map(at)]);
  }
  if (item.kind === 'photo') return [at(item.name), ...item.companions.map(at)];
  return item.frames.map(at);
}
