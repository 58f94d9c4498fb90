// The remote: the camera's state as it changes, the shutter, the mode and the settings of the
// mode, all built from the settings document the camera serves.

import { CameraBusy, CameraError, getText, routes } from './api.js';
import {
  bytesText, durationText, modeOf, settingsOf, shutterAction, STATUS,
} from './camera.js';
import { clear, h, notice } from './dom.js';

export class Remote {
  constructor(app) {
    this.app = app;
    this.root = null;
    this.shownSettings = '';  // what the settings panel was built from
    this.message = null;      // { kind, text } of the last command
    this.sending = false;
    app.onState(() => {
      if (this.root?.isConnected) this.update();
    });
  }

  show(view) {
    this.shownSettings = '';
    this.root = h('section', { class: 'remote', 'aria-labelledby': 'remote-title' });
    view.append(this.root);
    const doc = this.app.doc;
    this.root.append(
      h('h1', { id: 'remote-title' }, 'Remote'),
      h('div', { id: 'remote-notice' }),
      h('div', { class: 'panels' },
        h('section', { class: 'panel' }, h('h2', {}, 'State'), h('dl', { id: 'state', class: 'facts' })),
        h('section', { class: 'panel shutter-panel' },
          h('button', { type: 'button', id: 'shutter', class: 'shutter', onclick: () => this.shutter() },
            h('span', { class: 'shutter-dot', 'aria-hidden': 'true' }), h('span', { class: 'label' }, 'Shutter'))),
        h('section', { class: 'panel' }, h('h2', {}, 'Mode'),
          h('div', { id: 'modes', class: 'segmented', role: 'group', 'aria-label': 'Mode' },
            (doc?.modes ?? []).map((m) => h('button', {
              type: 'button', dataset: { mode: m.id }, onclick: () => this.setMode(m),
            }, m.display_name ?? m.name))),
          h('div', { id: 'sub-mode' })),
        h('section', { class: 'panel settings-panel' }, h('h2', { id: 'settings-title' }, 'Settings'),
          h('div', { id: 'settings' })),
        h('details', { class: 'panel' }, h('summary', {}, 'Every status value'),
          h('table', { class: 'tags' }, h('tbody', { id: 'all-status' })))));
    this.update();
  }

  say(kind, text) {
    this.message = text ? { kind, text } : null;
    this.renderNotice();
  }

  renderNotice() {
    const box = this.root?.querySelector('#remote-notice');
    if (!box) return;
    clear(box);
    const state = this.app.state;
    if (!this.app.doc) {
      box.append(notice('error', `Modes and settings are unknown: ${this.app.documentError ?? 'no settings document'}`));
    }
    if (!this.app.reachable) box.append(notice('error', 'The camera does not answer.'));
    if (state?.recording) {
      box.append(notice('busy', 'Recording: the camera is busy. Mode and settings are locked, and the gallery and downloads wait, until it stops.'));
    } else if (state?.busy) {
      box.append(notice('busy', 'The camera is busy.'));
    }
    if (this.message) box.append(notice(this.message.kind, this.message.text));
  }

  update() {
    const state = this.app.state;
    const doc = this.app.doc;
    this.renderNotice();
    if (!state) return;
    const v = state.byName;
    const mode = modeOf(doc, v[STATUS.mode]);
    const sub = mode?.sub_modes?.find((s) => s.id === Number(v[STATUS.subMode]));
    const rows = [];
    if (mode) rows.push(['Mode', `${mode.display_name ?? mode.name}${sub ? ` · ${sub.display_name ?? sub.name}` : ''}`, 'mode']);
    rows.push(['Recording', state.recording ? `yes, ${durationText(v[STATUS.progress] ?? 0)}` : 'no', 'recording']);
    if (v[STATUS.battery] !== undefined) rows.push(['Battery', `${v[STATUS.battery]} %`, 'battery']);
    else if (v[STATUS.batteryBars] !== undefined) rows.push(['Battery', `${v[STATUS.batteryBars]} of 3 bars`, 'battery']);
    if (v[STATUS.space] !== undefined) rows.push(['Free space', bytesText(Number(v[STATUS.space]) * 1024), 'space']);
    if (v[STATUS.videoLeft] !== undefined) rows.push(['Video left', durationText(v[STATUS.videoLeft]), 'video-left']);
    if (v[STATUS.photosLeft] !== undefined) rows.push(['Photos left', String(v[STATUS.photosLeft]), 'photos-left']);
    clear(this.root.querySelector('#state')).append(
      ...rows.flatMap(([k, text, id]) => [h('dt', {}, k), h('dd', { dataset: { state: id } }, text)]));

    const action = shutterAction(mode, state.recording);
    const shutter = this.root.querySelector('#shutter');
    shutter.querySelector('.label').textContent = action.label;
    shutter.setAttribute('aria-pressed', String(state.recording));
    shutter.classList.toggle('recording', state.recording);
    shutter.disabled = this.sending;

    for (const b of this.root.querySelectorAll('#modes button')) {
      b.setAttribute('aria-pressed', String(Number(b.dataset.mode) === mode?.id));
      b.disabled = state.busy || this.sending;
    }
    this.renderSettings(mode, sub, state);
    clear(this.root.querySelector('#all-status')).append(...state.all.map((s) =>
      h('tr', {}, h('th', { scope: 'row' }, s.name), h('td', { dataset: { status: s.id } }, s.text))));
  }

  // The sub-mode choice and the settings of the mode, rebuilt only when they change so that
  // a list the user has open stays open.
  renderSettings(mode, sub, state) {
    const doc = this.app.doc;
    const { mode: modeSettings, setup } = settingsOf(doc, mode?.id, state.settings);
    const signature = JSON.stringify([mode?.id, sub?.id, modeSettings, setup, state.busy, this.sending]);
    if (signature === this.shownSettings) return;
    this.shownSettings = signature;
    const locked = state.busy || this.sending;
    const subBox = clear(this.root.querySelector('#sub-mode'));
    if (mode?.sub_modes?.length > 1) {
      const el = h('select', {
        id: 'sub-mode-select', disabled: locked,
        onchange: (e) => this.send(routes.subMode(mode.id, e.target.value), 'The sub-mode'),
      }, mode.sub_modes.map((s) => h('option', { value: String(s.id) }, s.display_name ?? s.name)));
      el.value = String(sub?.id ?? mode.sub_modes[0].id);
      subBox.append(h('label', { class: 'field' }, h('span', {}, 'Sub-mode'), el));
    }
    this.root.querySelector('#settings-title').textContent =
      mode ? `Settings of ${mode.display_name ?? mode.name} mode` : 'Settings';
    const field = (s) => {
      const el = h('select', {
        id: `setting-${s.id}`, disabled: locked, dataset: { setting: s.id, name: s.name },
        onchange: (e) => {
          const option = s.options.find((o) => String(o.value) === e.target.value);
          this.send(routes.setting(s.id, e.target.value), `${s.label} ${option?.display_name ?? e.target.value}`);
        },
      }, s.options.map((o) => h('option', { value: String(o.value) }, o.display_name ?? String(o.value))));
      el.value = String(s.value);
      return h('label', { class: 'field' }, h('span', {}, s.label), el);
    };
    clear(this.root.querySelector('#settings')).append(
      modeSettings.length ? h('div', { class: 'fields' }, modeSettings.map(field))
        : h('p', { class: 'count' }, 'This mode has no settings of its own.'),
      setup.length ? h('details', { class: 'setup' }, h('summary', {}, `Setup (${setup.length})`),
        h('div', { class: 'fields' }, setup.map(field))) : null);
  }

  shutter() {
    const mode = modeOf(this.app.doc, this.app.state?.byName[STATUS.mode]);
    const action = shutterAction(mode, this.app.state?.recording ?? false);
    this.send(routes.shutter(action.param), action.param ? 'The shutter' : 'Stopping');
  }

  setMode(mode) {
    this.send(routes.mode(mode.id), `${mode.display_name ?? mode.name} mode`);
  }

  // Sends one command, then asks for the state at once so the page shows its effect.
  async send(url, what) {
    this.sending = true;
    this.say(null, null);
    this.update();
    try {
      await getText(url, what);
    } catch (e) {
      if (!(e instanceof CameraError)) throw e;
      if (e instanceof CameraBusy || this.app.state?.busy) {
        this.say('busy', `The camera is busy: ${what} waits until it stops recording.`);
      } else {
        this.say('error', `Refused. ${e.message}`);
      }
    } finally {
      this.sending = false;
    }
    await this.app.poll();
    if (this.root?.isConnected) this.update();
  }
}
