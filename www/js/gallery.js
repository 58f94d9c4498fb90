// The gallery: the camera's media list as cards, grouped as the camera groups it, with
// thumbnails loaded as they come into view, filters by type and day, and an order.

import { CameraBusy, CameraError, getJson, metadataUrl, routes } from './api.js';
import { bytesText } from './camera.js';
import { clear, dateText, h, notice } from './dom.js';
import { daysOf, dayOf, storagesOfAnswer, viewOf } from './medialist.js';
import { ThumbLoader } from './thumbs.js';

const STORAGE_NAMES = { sd: 'SD card', internal: 'Internal storage' };
const TYPE_NAMES = { all: 'All media', video: 'Videos', photo: 'Photos', group: 'Bursts and time-lapses' };
const ORDER_NAMES = { newest: 'Newest first', oldest: 'Oldest first', name: 'By name' };
// Cards drawn at once (more than a large screen holds), then per idle moment.
const FIRST_SLICE = 60;
const GRID_SLICE_MIN = 10;
const GRID_SLICE_MAX = 200;
const whenIdle = (fn) => (window.requestIdleCallback
  ? window.requestIdleCallback(fn, { timeout: 200 })
  : setTimeout(() => fn({ timeRemaining: () => 0 }), 0));

export function itemLink(item) {
  return `#/view/${item.storage}/${item.folder}/${item.name}`;
}

// The thumbnail request of an item: the metadata route serves SD card files only.
export function thumbUrl(item) {
  if (item.storage !== 'sd') return null;
  return metadataUrl(`${item.folder}/${item.name}`);
}

// Short texts that tell an item's kind and grouping.
export function badgesOf(item) {
  const out = [];
  if (item.kind === 'video') {
    out.push(item.is360 ? '360° video' : 'Video');
    if (item.chapters.length > 1) out.push(`${item.chapters.length} chapters`);
  } else if (item.kind === 'photo') {
    out.push('Photo');
  } else {
    const missing = item.group.missing.length;
    out.push(`${item.kind === 'timelapse' ? 'Time-lapse' : 'Burst'} · ${item.frames.length}`);
    if (missing > 0) out.push(`${missing} missing`);
  }
  if (item.raw) out.push('RAW');
  if (item.lens) out.push(item.lens);
  return out;
}

function select(id, label, options, value, onchange) {
  const el = h('select', { id, onchange: (e) => onchange(e.target.value) },
    Object.entries(options).map(([v, text]) => h('option', { value: v }, text)));
  el.value = value;
  return h('label', { class: 'field' }, h('span', {}, label), el);
}

export class Gallery {
  constructor(app) {
    this.app = app;
    this.storages = null;  // [{ id, cardId, items }] once loaded
    this.storageId = 'sd';
    this.filter = { type: 'all', day: '', order: 'newest' };
    this.problem = null;   // { kind: 'busy' | 'error', text } of the last load
    this.stale = true;
    this.loading = null;
    this.thumbs = null;
    this.gridToken = 0;
    this.lastKey = null;   // the item the viewer showed last
    this.focusKey = null;  // the card to focus when the grid is drawn next
    this.root = null;
    this.scrollY = 0;
    app.onState((state, previous) => this.stateChanged(state, previous));
  }

  storage() {
    return this.storages?.find((s) => s.id === this.storageId) ?? this.storages?.[0] ?? null;
  }

  shownItems() {
    return viewOf(this.storage()?.items ?? [], this.filter);
  }

  find(key) {
    for (const s of this.storages ?? []) {
      const item = s.items.find((i) => i.key === key);
      if (item) return item;
    }
    return null;
  }

  // The items before and after `key` in the gallery's current order, for the viewer.
  neighbours(key) {
    const items = this.shownItems();
    const at = items.findIndex((i) => i.key === key);
    if (at < 0) return { previous: null, next: null };
    return { previous: items[at - 1] ?? null, next: items[at + 1] ?? null };
  }

  // Loads the list when it is older than the card (first use, a deletion, a recording).
  async ensureLoaded() {
    if (this.stale || !this.storages) await this.load();
  }

  load() {
    this.loading ??= this.fetchList().finally(() => {
      this.loading = null;
    });
    return this.loading;
  }

  async fetchList() {
    if (this.app.state?.recording) {
      // The camera refuses lists while it records: no need to ask.
      this.problem = { kind: 'busy', text: 'The camera is recording: the gallery refreshes when it stops.' };
      return;
    }
    try {
      let answer;
      try {
        answer = await getJson(routes.mediaListEx, 'the media list');
      } catch (e) {
        if (!(e instanceof CameraError)) throw e;
        // Cameras without internal storage, or not ready to list it: the SD card alone.
        answer = await getJson(routes.mediaList, 'the media list');
      }
      this.storages = storagesOfAnswer(answer);
      if (!this.storages.some((s) => s.id === this.storageId)) this.storageId = 'sd';
      this.stale = false;
      this.problem = null;
    } catch (e) {
      if (e instanceof CameraBusy) {
        this.problem = { kind: 'busy', text: 'The camera is busy recording: the gallery refreshes when it stops.' };
      } else if (e instanceof CameraError) {
        this.problem = { kind: 'error', text: e.message };
      } else {
        throw e;
      }
    }
  }

  stateChanged(state, previous) {
    const wasBusy = previous?.recording ?? false;
    if (wasBusy && !state.recording) this.stale = true;  // there is new media
    if (this.root?.isConnected && wasBusy !== state.recording) {
      if (state.recording) {
        this.problem = { kind: 'busy', text: 'The camera is recording: the gallery refreshes when it stops.' };
        this.renderNotice();
      } else {
        this.refresh();
      }
    }
  }

  async refresh() {
    this.stale = true;
    await this.load();
    if (this.root?.isConnected) this.render();
  }

  show(view) {
    this.focusKey = this.lastKey;
    this.root = h('section', { class: 'gallery', 'aria-labelledby': 'gallery-title' });
    view.append(this.root);
    if (this.stale || !this.storages) this.refresh();  // starts loading, renders when done
    this.render();
  }

  hide() {
    this.scrollY = window.scrollY;
    this.thumbs?.stop();
  }

  render() {
    const root = clear(this.root);
    const storage = this.storage();
    const items = storage?.items ?? [];
    const days = daysOf(items);
    if (this.filter.day && !days.includes(this.filter.day)) this.filter.day = '';
    const refilter = (key) => (value) => {
      this.filter[key] = value;
      this.renderGrid();
    };
    root.append(
      h('div', { class: 'toolbar' },
        h('h1', { id: 'gallery-title' }, 'Gallery'),
        this.storages && this.storages.length > 1
          ? h('div', { class: 'segmented', role: 'group', 'aria-label': 'Storage' },
            this.storages.map((s) => h('button', {
              type: 'button',
              class: 'storage',
              dataset: { storage: s.id },
              'aria-pressed': String(s.id === storage.id),
              onclick: () => {
                this.storageId = s.id;
                this.render();
              },
            }, `${STORAGE_NAMES[s.id]} (${s.items.length})`)))
          : null,
        select('filter-type', 'Show', TYPE_NAMES, this.filter.type, refilter('type')),
        select('filter-day', 'Day',
          { '': 'Every day', ...Object.fromEntries(days.map((d) => [d, d])) }, this.filter.day, refilter('day')),
        select('filter-order', 'Order', ORDER_NAMES, this.filter.order, refilter('order')),
        h('button', { type: 'button', id: 'refresh', class: 'secondary', onclick: () => this.refresh() }, 'Refresh')),
      h('div', { id: 'gallery-notice' }),
      h('p', { id: 'gallery-count', class: 'count', 'aria-live': 'polite' }),
      h('ul', { id: 'grid', class: 'grid' }));
    this.renderNotice();
    this.renderGrid();
    if (this.scrollY) {
      window.scrollTo(0, this.scrollY);
      this.scrollY = 0;
    }
  }

  renderNotice() {
    const box = this.root?.querySelector('#gallery-notice');
    if (!box) return;
    clear(box);
    if (this.loading && !this.storages) box.append(notice('info', 'Reading the card…'));
    else if (this.problem) box.append(notice(this.problem.kind, this.problem.text));
  }

  renderGrid() {
    const grid = this.root.querySelector('#grid');
    this.thumbs?.stop();
    this.thumbs = new ThumbLoader();
    clear(grid);
    const items = this.shownItems();
    const all = this.storage()?.items ?? [];
    const size = items.reduce((n, i) => n + i.size, 0);
    this.root.querySelector('#gallery-count').textContent = this.storages
      ? `${items.length} of ${all.length} items · ${bytesText(size)}`
      : '';
    if (this.storages && all.length === 0) grid.append(h('li', { class: 'empty' }, 'No media on this storage.'));
    // The first screenful at once, so that its thumbnails are asked for straight away; the
    // rest while the page is idle, a few at a time, so that a thousand cards hold up neither
    // those thumbnails nor the user.
    const token = ++this.gridToken;
    // Coming back from the viewer, the item just seen is drawn at once too, and focused.
    const seen = this.focusKey ? items.findIndex((i) => i.key === this.focusKey) : -1;
    let next = 0;
    const add = (deadline) => {
      if (token !== this.gridToken) return;  // the grid was redrawn meanwhile
      const slice = document.createDocumentFragment();
      const end = Math.min(items.length, next + (deadline ? GRID_SLICE_MAX : Math.max(FIRST_SLICE, seen + 1)));
      const least = next + GRID_SLICE_MIN;
      while (next < end && (!deadline || next < least || deadline.timeRemaining() > 1)) {
        slice.append(this.card(items[next++]));
      }
      grid.append(slice);
      if (next < items.length) whenIdle(add);
    };
    add(null);
    if (seen >= 0) {
      grid.children[seen]?.querySelector('a')?.focus();
      this.focusKey = null;
    }
  }

  card(item) {
    const img = h('img', { alt: '', decoding: 'async', width: 160, height: 90 });
    const badges = badgesOf(item);
    const li = h('li', {
      class: `card ${item.kind}`,
      dataset: {
        key: item.key,
        kind: item.kind,
        chapters: item.kind === 'video' ? item.chapters.length : undefined,
        frames: item.frames ? item.frames.length : undefined,
        missing: item.group ? item.group.missing.join(',') : undefined,
        day: dayOf(item.time),
        time: item.time,
      },
    },
    h('a', { href: itemLink(item), 'aria-label': `${item.name}, ${badges.join(', ')}, ${dateText(item.time)}` },
      h('div', { class: 'thumb' }, img, h('span', { class: 'glyph', 'aria-hidden': 'true' }),
        h('span', { class: 'badges' }, badges.map((b) => h('span', { class: 'badge' }, b)))),
      h('div', { class: 'caption' },
        h('span', { class: 'name' }, item.name),
        h('span', { class: 'meta' }, `${dateText(item.time)} · ${bytesText(item.size)}`))));
    this.thumbs.watch(img, thumbUrl(item));
    return li;
  }
}
