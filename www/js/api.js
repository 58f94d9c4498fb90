// The camera's routes as the page uses them, and how their answers read.
//
// While the camera records (or is otherwise busy) it refuses media lists and file downloads
// with 503: the page shows that as "busy", which it is, not as a failure.

// An answer that says the request failed (or no answer at all: status 0).
export class CameraError extends Error {
  constructor(message, status = 0) {
    super(message);
    this.name = 'CameraError';
    this.status = status;
  }
}

// The 503 answer: not a failure, the camera cannot do it now.
export class CameraBusy extends CameraError {
  constructor(what) {
    super(`The camera is busy recording: ${what} waits until it stops`, 503);
    this.name = 'CameraBusy';
  }
}

// The message of an error answer ({ "message": ... }, {"error": ...}) or its status line.
async function reason(response) {
  const text = await response.text().catch(() => '');
  try {
    const doc = JSON.parse(text);
    const m = doc.message ?? doc.error ?? doc.error_msg;
    if (m) return String(m).trim();
  } catch {
    // not JSON: the status line says it
  }
  return `${response.status} ${response.statusText}`.trim();
}

async function get(path, what, { signal } = {}) {
  let response;
  try {
    response = await fetch(path, { signal, cache: 'no-store' });
  } catch (e) {
    if (e.name === 'AbortError') throw e;
    throw new CameraError(`The camera does not answer (${what})`);
  }
  if (response.status === 503) throw new CameraBusy(what);
  if (!response.ok) throw new CameraError(`${what}: ${await reason(response)}`, response.status);
  return response;
}

export async function getJson(path, what, options) {
  const text = await (await get(path, what, options)).text();
  try {
    return JSON.parse(text);
  } catch {
    throw new CameraError(`${what}: the camera's answer is not JSON`);
  }
}

export async function getBytes(path, what, options) {
  return new Uint8Array(await (await get(path, what, options)).arrayBuffer());
}

export async function getText(path, what, options) {
  return (await get(path, what, options)).text();
}

// Files: the SD card below /videos/DCIM, the internal storage below /videos2/DCIM.
export function fileUrl(storage, path) {
  return `${storage === 'internal' ? '/videos2' : '/videos'}/DCIM/${path}`;
}

// The metadata route ("t": "" thumbnail, "scr", "exif", "zqmf", "tracks"); SD card only.
export function metadataUrl(path, t = '', extra = '') {
  return `/zq/zqMediaMetadata?p=${path}${t ? `&t=${t}` : ''}${extra}`;
}

export function tracksUrl(path, tracks) {
  return metadataUrl(path, 'tracks', `&trackNames=${tracks}`);
}

export const routes = {
  settings: '/zq/zqControl',
  status: '/zq/zqControl/status',
  mediaList: '/zq/zqMediaList?f=videophoto',
  mediaListEx: '/zq/zqMediaListEx?f=videophoto',
  mediaOp: (query) => `/zq/zqMediaOp?${query}`,
  shutter: (p) => `/zq/zqControl/command/shutter?p=${p}`,
  mode: (mode) => `/zq/zqControl/command/mode?p=${mode}`,
  subMode: (mode, sub) => `/zq/zqControl/command/sub_mode?mode=${mode}&sub_mode=${sub}`,
  setting: (id, value) => `/zq/zqControl/setting/${id}/${value}`,
};
