// The camera's page: a gallery of the card, a viewer of one item, and a remote control,
// switched by the address's hash (#/gallery, #/view/STORAGE/FOLDER/NAME, #/remote). The
// camera's state is polled while the page is visible, and every view follows it.

import { CameraError, getJson, routes } from './api.js';
import { cameraState, durationText, modeOf, STATUS } from './camera.js';
import { clear, h } from './dom.js';
import { Gallery } from './gallery.js';
import { Remote } from './remote.js';
import { Viewer } from './viewer.js';

const POLL_MS = 1000;

class App {
  constructor() {
    this.doc = null;      // the settings document
    this.answer = null;   // the last status document
    this.state = null;    // cameraState() of it
    this.reachable = true;
    this.listeners = new Set();
    this.view = document.getElementById('view');
    this.chip = document.getElementById('state-chip');
    this.gallery = new Gallery(this);
    this.viewer = new Viewer(this);
    this.remote = new Remote(this);
    this.current = null;
    this.pollTimer = 0;
  }

  // Calls fn(state, previous) after every status answer.
  onState(fn) {
    this.listeners.add(fn);
  }

  async start() {
    window.addEventListener('hashchange', () => this.route());
    document.addEventListener('visibilitychange', () => {
      if (!document.hidden) this.poll();
    });
    // The state before the views: they decide by it what to ask the camera for (nothing it
    // refuses while recording).
    await Promise.all([this.loadDocument(), this.poll()]);
    // The first answer may have come before the document that names its values.
    if (this.answer) this.state = cameraState(this.doc, this.answer);
    this.renderChip();
    this.route();
  }

  async loadDocument() {
    try {
      this.doc = await getJson(routes.settings, 'the settings document');
      const name = this.doc?.info?.model_name ?? this.doc?.model?.name;
      if (name) {
        document.getElementById('camera-name').textContent = name;
        document.title = `${name} – camera`;
      }
    } catch (e) {
      // The gallery works without it; the remote says what is missing.
      this.documentError = e.message;
    }
  }

  async poll() {
    clearTimeout(this.pollTimer);
    try {
      this.answer = await getJson(routes.status, 'the camera status');
      const previous = this.state;
      this.state = cameraState(this.doc, this.answer);
      this.reachable = true;
      this.renderChip();
      for (const fn of this.listeners) fn(this.state, previous);
    } catch (e) {
      if (!(e instanceof CameraError)) throw e;
      this.reachable = false;
      this.renderChip();
    }
    // Hidden pages stop asking; showing the page again polls at once.
    if (!document.hidden) this.pollTimer = setTimeout(() => this.poll(), POLL_MS);
  }

  renderChip() {
    clear(this.chip);
    const s = this.state;
    if (!this.reachable || !s) {
      this.chip.className = 'chip offline';
      this.chip.append('Camera not answering');
      return;
    }
    this.chip.className = `chip${s.recording ? ' recording' : ''}`;
    if (s.recording) {
      this.chip.append(h('span', { class: 'rec-dot', 'aria-hidden': 'true' }),
        `Recording ${durationText(s.byName[STATUS.progress] ?? 0)}`);
    } else {
      const mode = modeOf(this.doc, s.byName[STATUS.mode]);
      this.chip.append(mode ? mode.display_name ?? mode.name : 'Idle');
    }
    const battery = s.byName[STATUS.battery];
    if (battery !== undefined) this.chip.append(h('span', { class: 'battery' }, `${battery} %`));
  }

  route() {
    const hash = decodeURIComponent(location.hash.replace(/^#\/?/, ''));
    const [page, ...rest] = hash.split('/');
    let next;
    if (page === 'remote') next = this.remote;
    else if (page === 'view' && rest.length >= 3) next = this.viewer;
    else next = this.gallery;
    for (const link of document.querySelectorAll('header nav a')) {
      const active = link.dataset.page === (next === this.remote ? 'remote' : 'gallery');
      if (active) link.setAttribute('aria-current', 'page');
      else link.removeAttribute('aria-current');
    }
    // Even the same view lets go of what it showed (a clip still playing, a key handler).
    this.current?.hide?.();
    const first = this.current === null;
    this.current = next;
    clear(this.view);
    // Keyboard and screen-reader users start on the new view, not back in the header.
    if (!first) this.view.focus({ preventScroll: true });
    if (next === this.viewer) next.show(this.view, rest[0], rest.slice(1, -1).join('/'), rest.at(-1));
    else next.show(this.view);
  }
}

const app = new App();
window.zqPage = app;  // for tests and the curious: the page's state, read-only by convention
app.start();
