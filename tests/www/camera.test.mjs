// The remote's reading of the settings and status documents.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import {
  bytesText, cameraState, clockText, durationText, settingsOf, shutterAction,
} from '../../www/js/camera.js';

const DOC = {
  modes: [
    { id: 0, name: 'video', display_name: 'Video', sub_modes: [{ id: 0, name: 'standard' }], settings: [2, 3] },
    { id: 1, name: 'photo', display_name: 'Photo', sub_modes: [], settings: [13, 99] },
    { id: 2, name: 'multi_shot', display_name: 'Multi-Shot', sub_modes: [], settings: [] },
  ],
  setup: { settings: [17, 24] },
  settings: [
    { id: 2, name: 'video_resolution', display_name: 'Video Resolution', options: [{ value: 1, display_name: '4K' }, { value: 9, display_name: '1080' }] },
    { id: 3, name: 'frames_per_second', display_name: 'FPS', options: [{ value: 5, display_name: '60' }] },
    { id: 13, name: 'photo_resolution', options: [{ value: 0, display_name: '12MP' }] },
    { id: 17, name: 'auto_power_off', display_name: 'Auto Off', options: [{ value: 4, display_name: '5 min' }] },
    { id: 24, name: 'lens_select', display_name: 'Lens', options: [{ value: 0, display_name: '360' }] },
  ],
  status: [
    { id: 10, name: 'encoding', type: 'boolean' },
    { id: 8, name: 'system_busy', type: 'boolean' },
    { id: 40, name: 'date_time', type: 'date_time' },
    { id: 70, name: 'battery_percent', type: 'number' },
    { id: 99, name: 'not_reported', type: 'number' },
  ],
};

test('status values by name, with their texts; values the document does not name are left out', () => {
  const s = cameraState(DOC, {
    status: { 10: 1, 8: 0, 40: '%1a%0c%06%06%02%11', 70: 87, 12345: 3 },
    settings: { 2: 9, 3: 5, 17: 4 },
  });
  assert.deepEqual(s.byName, { encoding: 1, system_busy: 0, date_time: '%1a%0c%06%06%02%11', battery_percent: 87 });
  assert.deepEqual(s.all.map((v) => [v.name, v.text]), [
    ['encoding', 'yes'], ['system_busy', 'no'], ['date_time', '2026-12-06 06:02:17'], ['battery_percent', '87']]);
  assert.deepEqual(s.settings, { 2: 9, 3: 5, 17: 4 });
  assert.equal(s.recording, true);
  assert.equal(s.busy, true);
  // Busy without recording; the shutdown answer; no document at all.
  assert.deepEqual(['recording', 'busy'].map((k) => cameraState(DOC, { status: { 10: 0, 8: 1 } })[k]), [false, true]);
  assert.equal(cameraState(DOC, { state: { shutdown_pending: true } }).shutdownPending, true);
  assert.deepEqual(cameraState(null, { status: { 10: 1 } }).all, []);
});

test('settings of a mode and of the setup, as the document lists them, for what the camera reports', () => {
  const values = { 2: 9, 3: 7, 13: 0, 17: 4 };
  const { mode, setup } = settingsOf(DOC, 0, values);
  assert.deepEqual(mode.map((s) => [s.id, s.label, s.value]), [[2, 'Video Resolution', 9], [3, 'FPS', 7]]);
  assert.deepEqual(mode[0].options.map((o) => o.display_name), ['4K', '1080']);
  // A value the document does not offer still shows as itself.
  assert.deepEqual(mode[1].options.map((o) => [o.value, o.display_name]), [[5, '60'], [7, '(7)']]);
  // Setting 99 is not in the document and 24 is not reported: neither shows.
  assert.deepEqual(settingsOf(DOC, 1, values).mode.map((s) => [s.id, s.label]), [[13, 'photo_resolution']]);
  assert.deepEqual(setup.map((s) => s.id), [17]);
  assert.deepEqual(settingsOf(DOC, 5, values).mode, []);
  assert.deepEqual(settingsOf(null, 0, values), { mode: [], setup: [] });
});

test('the shutter takes a photo in photo mode, else starts and stops', () => {
  const [video, photo, multi] = DOC.modes;
  assert.deepEqual(shutterAction(video, false), { label: 'Start recording', param: 1 });
  assert.deepEqual(shutterAction(video, true), { label: 'Stop', param: 0 });
  assert.deepEqual(shutterAction(photo, false), { label: 'Take photo', param: 1 });
  assert.deepEqual(shutterAction(multi, false), { label: 'Start recording', param: 1 });
  assert.deepEqual(shutterAction(null, false), { label: 'Start recording', param: 1 });
});

test('texts: clock, durations, sizes', () => {
  assert.equal(clockText('%0e%0a%1d%0b%15%2c'), '2014-10-29 11:21:44');
  assert.equal(clockText('garbage'), 'garbage');
  assert.equal(durationText(3725), '1:02:05');
  assert.equal(durationText(-4), '0:00:00');
  assert.deepEqual([0, 999, 1000, 15300, 78962632 * 1024].map(bytesText), ['0 B', '999 B', '1.0 KB', '15 KB', '81 GB']);
});
