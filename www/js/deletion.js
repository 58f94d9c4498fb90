// What to ask the camera's media operation route ("/zq/zqMediaOp") to delete an item, a group
// or one chapter of a clip.
//
// "p=del&f=FOLDER/NAME" removes one file. "p=delcv&fd=100&fn=0005&tc=3&c=1" removes chapters of
// a clip named TAVRnnnn (chapter 0) and ZQccnnnn (chapters 1 and up) in a NNNTAVRO folder, with
// their proxies, and renumbers the chapters that stay so that they remain consecutive; it
// removes the thumbnail when chapter 0 goes.

// Answer statuses: 0 done; 9 the file cannot be examined (it is not there).
export const OP_DONE = 0;
export const OP_NO_FILE = 9;

const stem = (name) => name.slice(0, name.lastIndexOf('.'));
const del = (folder, name, optional = false) => ({ p: 'del', f: `${folder}/${name}`, optional });

// True when the clip's chapters are exactly TAVRnnnn.MP4, ZQ01nnnn.MP4, ... in a TAVRO folder:
// the shape the chapter operation renumbers.
export function hasNumberedChapters(item) {
  if (item.kind !== 'video' || !/^[1-9][0-9]{2}TAVRO$/.test(item.folder)) return false;
  const number = item.chapters[0].name.slice(4, 8);
  return item.chapters.every((c, i) => c.name === (i === 0
    ? `TAVR${number}.MP4` : `ZQ${String(i).padStart(2, '0')}${number}.MP4`));
}

function chapterOp(item, chapters) {
  return {
    p: 'delcv',
    fd: item.folder.slice(0, 3),
    fn: item.chapters[0].name.slice(4, 8),
    tc: item.chapters.length,
    c: chapters,
    optional: false,
  };
}

// A chapter's files one by one: the video, then what may be beside it.
function chapterFiles(item, chapter) {
  return [
    del(item.folder, chapter.name),
    ...chapter.companions.map((n) => del(item.folder, n, true)),
    del(item.folder, `${stem(chapter.name)}.THM`, true),
  ];
}

// The operations, in order, that delete `item` (a photo, a clip with all its chapters, or a
// burst or time-lapse with every frame), companions included. Companions are optional: a
// missing one is no failure.
export function planDelete(item) {
  if (item.kind === 'photo') {
    return [del(item.folder, item.name), ...item.companions.map((n) => del(item.folder, n, true))];
  }
  if (item.kind === 'burst' || item.kind === 'timelapse') {
    return item.frames.flatMap((frame) => [
      del(item.folder, frame),
      ...(item.raw ? [del(item.folder, `${stem(frame)}.ZQR`, true)] : []),
    ]);
  }
  if (hasNumberedChapters(item)) {
    // The chapter operation takes the videos and proxies; other companions go one by one.
    return [
      chapterOp(item, item.chapters.map((c) => c.index)),
      ...item.chapters.flatMap((c) => c.companions.filter((n) => n !== c.proxy)
        .map((n) => del(item.folder, n, true))),
    ];
  }
  return item.chapters.flatMap((c) => chapterFiles(item, c));
}

// The operations that delete chapter `index` (position in item.chapters) of a clip.
export function planDeleteChapter(item, index) {
  const chapter = item.chapters[index];
  if (!chapter) return [];
  if (hasNumberedChapters(item)) {
    return [
      chapterOp(item, [chapter.index]),
      ...chapter.companions.filter((n) => n !== chapter.proxy).map((n) => del(item.folder, n, true)),
    ];
  }
  return chapterFiles(item, chapter);
}

// The query text of an operation.
export function opQuery(op) {
  if (op.p === 'delcv') return `p=delcv&fd=${op.fd}&fn=${op.fn}&tc=${op.tc}&c=${op.c.join(',')}`;
  return `p=del&f=${op.f}`;
}

// The status of an operation's answer text ("\n{ \"status\":\"0\"}\r\n" and the like), or NaN
// when the text is not such an answer.
export function opStatus(text) {
  try {
    const doc = JSON.parse(text);
    return Number(doc?.status ?? NaN);
  } catch {
    return NaN;
  }
}

// Whether an operation with answer status `status` did what was asked.
export function opSucceeded(op, status) {
  return status === OP_DONE || (op.optional && status === OP_NO_FILE);
}
