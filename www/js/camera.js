// The camera as the remote shows it, built from the settings document ("/zq/zqControl") and
// the status document ("/zq/zqControl/status"), so that a model with other modes, settings or
// status values needs no change here.
//
// The settings document names the model's modes (each with sub-modes and the ids of its
// settings), the setup settings, every setting (id, name, display name, options) and every
// status value (id, name, type). The status document maps ids to values:
// { "status": { "10": 0, ... }, "settings": { "2": 9, ... } }.

// Status values the remote shows by name, when the model has them.
export const STATUS = {
  recording: 'encoding',
  busy: 'system_busy',
  progress: 'video_progress_s',
  mode: 'mode',
  subMode: 'sub_mode',
  battery: 'battery_percent',
  batteryBars: 'battery_bars',
  space: 'remaining_space_kb',
  videoLeft: 'remaining_video_s',
  photosLeft: 'remaining_photos',
  ready: 'system_ready',
};

// The camera's state: status values by name, settings by id, and flags the page acts on.
export function cameraState(doc, answer) {
  const byName = {};
  const all = [];
  for (const s of doc?.status ?? []) {
    const raw = answer?.status?.[String(s.id)];
    if (raw === undefined) continue;
    byName[s.name] = raw;
    all.push({ id: s.id, name: s.name, type: s.type, value: raw, text: statusText(s.type, raw) });
  }
  const settings = {};
  for (const [id, value] of Object.entries(answer?.settings ?? {})) settings[Number(id)] = value;
  const recording = Number(byName[STATUS.recording] ?? 0) !== 0;
  return {
    byName,
    all,
    settings,
    recording,
    busy: recording || Number(byName[STATUS.busy] ?? 0) !== 0,
    shutdownPending: answer?.state?.shutdown_pending === true,
  };
}

// The camera's clock as the status document carries it: "%1a%0c%06%06%02%11" (hexadecimal
// year - 2000, month, day, hour, minute, second) as "2026-12-06 06:02:17".
export function clockText(value) {
  const parts = String(value).split('%').slice(1).map((h) => Number.parseInt(h, 16));
  if (parts.length !== 6 || parts.some((n) => !Number.isFinite(n))) return String(value);
  const two = (n) => String(n).padStart(2, '0');
  const [y, mo, d, h, mi, s] = parts;
  return `${2000 + y}-${two(mo)}-${two(d)} ${two(h)}:${two(mi)}:${two(s)}`;
}

export function statusText(type, value) {
  if (type === 'boolean') return Number(value) ? 'yes' : 'no';
  if (type === 'date_time') return clockText(value);
  return String(value);
}

export function durationText(seconds) {
  const s = Math.max(0, Math.floor(Number(seconds) || 0));
  const two = (n) => String(n).padStart(2, '0');
  return `${Math.floor(s / 3600)}:${two(Math.floor(s / 60) % 60)}:${two(s % 60)}`;
}

export function bytesText(bytes) {
  const units = ['B', 'KB', 'MB', 'GB', 'TB'];
  let v = Number(bytes) || 0;
  let u = 0;
  while (v >= 1000 && u < units.length - 1) {
    v /= 1000;
    u++;
  }
  return `${u === 0 ? v : v.toFixed(v < 10 ? 1 : 0)} ${units[u]}`;
}

export function modeOf(doc, id) {
  return (doc?.modes ?? []).find((m) => m.id === Number(id)) ?? null;
}

// A setting of the document with its current value; null when the document lacks it or the
// camera does not report it (the model does not have it).
function settingOf(doc, id, values) {
  const setting = (doc?.settings ?? []).find((s) => s.id === id);
  if (!setting || values[id] === undefined) return null;
  const options = [...(setting.options ?? [])];
  // A value the document does not list still shows, rather than silently another option.
  if (!options.some((o) => o.value === values[id])) {
    options.push({ value: values[id], display_name: `(${values[id]})` });
  }
  return { id, name: setting.name, label: setting.display_name ?? setting.name, value: values[id], options };
}

// The settings of mode `modeId`, then of the setup section, as the document lists them.
export function settingsOf(doc, modeId, values) {
  const pick = (ids) => (ids ?? []).map((id) => settingOf(doc, id, values)).filter(Boolean);
  return {
    mode: pick(modeOf(doc, modeId)?.settings),
    setup: pick(doc?.setup?.settings),
  };
}

// What the shutter does in a mode: a photo mode takes one picture; others start and stop.
export function shutterAction(mode, recording) {
  if (recording) return { label: 'Stop', param: 0 };
  if (mode && /photo/i.test(mode.name) && !/multi|lapse/i.test(mode.name)) {
    return { label: 'Take photo', param: 1 };
  }
  return { label: 'Start recording', param: 1 };
}
