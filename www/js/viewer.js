// The viewer of one gallery item: the photo at screennail size with its EXIF, the clip in the
// browser's video element (straight from the card, so seeking asks for byte ranges; the
// low-resolution proxy when there is one), a burst or time-lapse frame by frame, the GPS
// track and motion sensors of the file, downloads, and deletion.

import {
  CameraBusy, CameraError, fileUrl, getBytes, getJson, getText, metadataUrl, routes, tracksUrl,
} from './api.js';
import { bytesText } from './camera.js';
import { opQuery, opStatus, opSucceeded, planDelete, planDeleteChapter } from './deletion.js';
import { clear, confirmDialog, dateText, h, notice } from './dom.js';
import { badgesOf, itemLink } from './gallery.js';
import { Mp4Error } from './mp4.js';
import { gpsPlot, timePlot } from './plot.js';
import { telemetryFromBlock, telemetryFromMp4 } from './telemetry.js';
import { ThumbLoader } from './thumbs.js';
import { ZqmfError } from './zqmf.js';

const stem = (name) => name.slice(0, name.lastIndexOf('.'));

// EXIF tags shown first, with their labels; the rest are under "Every tag".
const EXIF_SHOWN = [
  ['Model', 'Camera'], ['DateTimeOriginal', 'Taken'], ['OffsetTimeOriginal', 'Time zone'],
  ['ExposureTime', 'Exposure'], ['FNumber', 'Aperture'], ['ISOSpeedRatings', 'ISO'],
  ['ImageDescription', 'Description'], ['Software', 'Firmware'],
];

export class Viewer {
  constructor(app) {
    this.app = app;
    this.root = null;
    this.item = null;
    this.chapter = 0;   // index into item.chapters
    this.frame = 0;     // index into item.frames
    this.useProxy = true;
    this.autoplay = false;  // the next chapter plays on when the one before ended
    this.thumbs = null;
    this.token = 0;     // drops answers that arrive for an item no longer shown
    this.onKey = (e) => this.key(e);
    app.onState((state, previous) => {
      if (this.root?.isConnected && this.item && state.recording !== (previous?.recording ?? false)) {
        this.renderStage();
      }
    });
  }

  async show(view, storage, folder, name) {
    const root = h('section', { class: 'viewer', 'aria-labelledby': 'viewer-title' },
      notice('info', 'Reading the card…'));
    this.root = root;
    view.append(root);
    document.addEventListener('keydown', this.onKey);
    await this.app.gallery.ensureLoaded();
    if (root !== this.root || !root.isConnected) return;  // another item was asked for meanwhile
    const item = this.app.gallery.find(`${storage}/${folder}/${name}`);
    if (!item) {
      clear(this.root).append(
        this.app.gallery.problem ? notice(this.app.gallery.problem.kind, this.app.gallery.problem.text)
          : notice('info', `${folder}/${name} is not on the card.`),
        h('p', {}, h('a', { href: '#/gallery' }, 'Back to the gallery')));
      return;
    }
    if (this.item?.key !== item.key) {
      this.chapter = 0;
      this.frame = 0;
      this.useProxy = true;
      this.autoplay = false;
    }
    this.item = item;
    this.app.gallery.lastKey = item.key;  // the gallery puts the focus back on it
    this.render();
  }

  hide() {
    document.removeEventListener('keydown', this.onKey);
    this.stopPlayer();
    this.thumbs?.stop();
    this.token++;
  }

  // Lets go of the clip's connection: a paused video still holds one.
  stopPlayer() {
    const video = this.root?.querySelector('video');
    if (video) {
      video.pause();
      video.removeAttribute('src');
      video.load();
    }
  }

  key(e) {
    if (document.querySelector('dialog[open]') || e.altKey || e.ctrlKey || e.metaKey) return;
    const target = e.target;
    if (target.closest?.('input, select, textarea')) return;
    const inStrip = target.closest?.('.filmstrip');
    if (e.key === 'Escape') {
      location.hash = '#/gallery';
    } else if (target.closest?.('video')) {
      return;  // the player's own keys: seeking, volume
    } else if (e.key === 'ArrowLeft' || e.key === 'ArrowRight') {
      const step = e.key === 'ArrowLeft' ? -1 : 1;
      if (inStrip && this.item.frames) {
        this.selectFrame(Math.min(Math.max(this.frame + step, 0), this.item.frames.length - 1), true);
      } else {
        const { previous, next } = this.app.gallery.neighbours(this.item.key);
        const to = step < 0 ? previous : next;
        if (to) location.hash = itemLink(to);
      }
    } else {
      return;
    }
    e.preventDefault();
  }

  path(name) {
    return `${this.item.folder}/${name}`;
  }

  // The file shown now: the clip's chapter, the group's frame or the photo.
  currentName() {
    const item = this.item;
    if (item.kind === 'video') return item.chapters[this.chapter].name;
    if (item.frames) return item.frames[this.frame];
    return item.name;
  }

  render() {
    const item = this.item;
    const { previous, next } = this.app.gallery.neighbours(item.key);
    this.token++;
    clear(this.root).append(
      h('div', { class: 'viewer-head' },
        h('a', { href: '#/gallery', class: 'back' }, '← Gallery'),
        h('h1', { id: 'viewer-title' }, item.name),
        h('span', { class: 'badges' }, badgesOf(item).map((b) => h('span', { class: 'badge' }, b))),
        h('nav', { class: 'steps', 'aria-label': 'Other items' },
          previous ? h('a', { href: itemLink(previous), rel: 'prev', 'aria-label': `Previous: ${previous.name}` }, '‹ Previous') : null,
          next ? h('a', { href: itemLink(next), rel: 'next', 'aria-label': `Next: ${next.name}` }, 'Next ›') : null)),
      h('div', { id: 'viewer-notice' }),
      h('div', { class: 'viewer-body' },
        h('div', { class: 'stage', id: 'stage' }),
        h('aside', { class: 'info' },
          h('section', { id: 'facts' }),
          h('section', { id: 'parts' }),
          h('section', { id: 'downloads' }),
          h('section', { id: 'delete' }),
          h('section', { id: 'exif' }),
          h('section', { id: 'telemetry' }))));
    this.renderStage();
    this.renderFacts();
    this.renderParts();
    this.renderDownloads();
    this.renderDelete();
    this.renderDetails();
  }

  say(kind, text) {
    const box = this.root.querySelector('#viewer-notice');
    clear(box);
    if (text) box.append(notice(kind, text));
  }

  renderStage() {
    const stage = this.root.querySelector('#stage');
    if (!stage) return;
    this.stopPlayer();
    clear(stage);
    const item = this.item;
    if (item.kind === 'video') stage.append(this.player());
    else stage.append(this.picture(this.currentName()));
  }

  player() {
    const item = this.item;
    const chapter = item.chapters[this.chapter];
    if (this.app.state?.recording) {
      // The card serves no files while the camera records.
      return notice('busy', 'The camera is recording: the clip plays when it stops.');
    }
    const proxy = chapter.proxy && this.useProxy;
    const video = h('video', {
      id: 'player',
      controls: true,
      playsInline: true,
      autoplay: this.autoplay,
      preload: 'metadata',
      src: fileUrl(item.storage, this.path(proxy ? chapter.proxy : chapter.name)),
      'aria-label': `${chapter.name}${proxy ? ' (proxy)' : ''}`,
    });
    video.addEventListener('error', () => {
      if (proxy) {
        // A proxy the browser cannot play: the original instead.
        this.useProxy = false;
        this.say('info', 'The low-resolution proxy cannot be played here: playing the original.');
        this.renderStage();
      } else if (this.app.state?.busy) {
        this.say('busy', 'The camera is busy: the clip plays when it stops.');
      } else {
        this.say('error', `${chapter.name} cannot be played in this browser; download it instead.`);
      }
    });
    video.addEventListener('ended', () => {
      if (this.chapter + 1 < item.chapters.length) {
        this.selectChapter(this.chapter + 1, true);
      }
    });
    const quality = chapter.proxy
      ? h('div', { class: 'segmented', role: 'group', 'aria-label': 'Quality' },
        [['proxy', 'Proxy (low resolution)', true], ['original', 'Original', false]].map(([id, text, p]) =>
          h('button', {
            type: 'button',
            dataset: { quality: id },
            'aria-pressed': String(this.useProxy === p),
            onclick: () => {
              this.useProxy = p;
              this.renderStage();
            },
          }, text)))
      : null;
    return h('div', { class: 'player' }, video, quality);
  }

  picture(name) {
    const item = this.item;
    const original = fileUrl(item.storage, this.path(name));
    const img = h('img', { id: 'picture', alt: name });
    // The screennail (a few hundred KB at most) first; the original when there is none.
    let fellBack = item.storage !== 'sd';
    const fallBack = () => {
      if (fellBack) {
        img.closest('.picture')?.classList.add('none');
        return;
      }
      fellBack = true;
      img.src = original;
    };
    img.addEventListener('error', fallBack);
    img.addEventListener('load', () => {
      if (img.naturalWidth === 0) fallBack();
    });
    img.src = fellBack ? original : metadataUrl(this.path(name), 'scr');
    return h('div', { class: 'picture' }, img);
  }

  renderFacts() {
    const item = this.item;
    const rows = [
      ['Taken', dateText(item.time)],
      ['Size', bytesText(item.size)],
      ['Folder', `${item.folder}${item.lens ? ` (${item.lens})` : ''}`],
      ['Storage', item.storage === 'sd' ? 'SD card' : 'Internal storage'],
    ];
    if (item.kind === 'video') {
      if (item.chapters.length > 1) rows.push(['Chapters', String(item.chapters.length)]);
      const proxy = item.chapters[this.chapter].proxy;
      if (proxy) rows.push(['Proxy', proxy]);
    }
    if (item.group) {
      rows.push(['Frames', `${item.frames.length} (${item.group.first} to ${item.group.last})`]);
      rows.push(['Missing', item.group.missing.length ? item.group.missing.join(', ') : 'none']);
    }
    if (item.raw) rows.push(['RAW', 'yes']);
    clear(this.root.querySelector('#facts')).append(
      h('h2', {}, 'About'),
      h('dl', { class: 'facts' }, rows.map(([k, v]) => [h('dt', {}, k), h('dd', {}, v)])));
  }

  // Chapters of a clip, or the frames of a group.
  renderParts() {
    const box = clear(this.root.querySelector('#parts'));
    const item = this.item;
    if (item.kind === 'video' && item.chapters.length > 1) {
      box.append(h('h2', {}, 'Chapters'), h('ol', { class: 'chapters' },
        item.chapters.map((c, i) => h('li', { class: i === this.chapter ? 'current' : '' },
          h('button', {
            type: 'button', class: 'link', 'aria-current': i === this.chapter ? 'true' : null,
            onclick: () => this.selectChapter(i, false),
          }, `${c.name} · ${bytesText(c.size)}`),
          h('button', {
            type: 'button', class: 'danger small', dataset: { chapter: c.name },
            'aria-label': `Delete chapter ${c.name}`,
            onclick: () => this.remove(planDeleteChapter(item, i), `chapter ${c.name}`,
              `${c.name}${c.proxy ? ' and its proxy' : ''} will be removed from the card; the chapters after it keep their order.`,
              false),
          }, 'Delete chapter')))));
    } else if (item.frames) {
      this.thumbs?.stop();
      this.thumbs = new ThumbLoader({ concurrency: 2, rootMargin: '0px 200px' });
      const cells = [];
      const gone = new Set(item.group.missing);
      let f = 0;
      for (let n = item.group.first; n <= item.group.last; n++) {
        if (gone.has(n)) {
          cells.push(h('li', { class: 'missing', title: `Frame ${n} is missing` }, h('span', {}, `${n} missing`)));
          continue;
        }
        const index = f++;
        const img = h('img', { alt: '', width: 80, height: 45 });
        cells.push(h('li', {}, h('button', {
          type: 'button', class: 'thumb', 'aria-label': `Frame ${n}`,
          'aria-current': index === this.frame ? 'true' : null,
          onclick: () => this.selectFrame(index, false),
        }, img, h('span', { class: 'glyph', 'aria-hidden': 'true' }))));
        if (item.storage === 'sd') this.thumbs.watch(img, metadataUrl(this.path(item.frames[index])));
        else this.thumbs.watch(img, null);
      }
      box.append(h('h2', {}, `Frames (${item.frames.length})`), h('ul', { class: 'filmstrip' }, cells));
    }
  }

  selectChapter(index, play) {
    this.chapter = index;
    this.useProxy = true;
    this.autoplay = play;
    this.renderStage();
    this.renderFacts();
    this.renderParts();
    this.renderDownloads();
    this.renderDetails();
  }

  selectFrame(index, focus) {
    this.frame = index;
    this.renderStage();
    for (const [i, b] of this.root.querySelectorAll('.filmstrip button').entries()) {
      if (i === index) b.setAttribute('aria-current', 'true');
      else b.removeAttribute('aria-current');
      if (i === index && focus) b.focus();
    }
    this.renderDownloads();
    this.renderDetails();
  }

  renderDownloads() {
    const item = this.item;
    const name = this.currentName();
    const links = [['Original', fileUrl(item.storage, this.path(name)), name]];
    if (item.kind === 'video') {
      const chapter = item.chapters[this.chapter];
      if (chapter.proxy) links.push(['Proxy', fileUrl(item.storage, this.path(chapter.proxy)), chapter.proxy]);
      if (item.storage === 'sd') {
        for (const [tracks, label] of [['video', 'Video only'], ['audio', 'Audio only'], ['telemetry', 'Telemetry only']]) {
          links.push([label, tracksUrl(this.path(name), tracks), `${stem(name)}-${tracks}.mp4`]);
        }
      }
    } else if (item.raw && item.kind === 'photo') {
      links.push(['RAW', fileUrl(item.storage, this.path(`${stem(name)}.ZQR`)), `${stem(name)}.ZQR`]);
    }
    // The card serves no files while the camera records: say so rather than start a download
    // that the camera refuses.
    const busyCheck = (e) => {
      if (!this.app.state?.busy || !e.currentTarget.getAttribute('href').startsWith('/videos')) return;
      e.preventDefault();
      this.say('busy', 'The camera is recording: downloads from the card wait until it stops.');
    };
    clear(this.root.querySelector('#downloads')).append(
      h('h2', {}, 'Download'),
      h('ul', { class: 'downloads' }, links.map(([label, href, file]) =>
        h('li', {}, h('a', { href, download: file, dataset: { download: label }, onclick: busyCheck }, label)))));
  }

  renderDelete() {
    const item = this.item;
    const what = {
      photo: 'Delete photo',
      video: item.kind === 'video' && item.chapters.length > 1
        ? `Delete clip (${item.chapters.length} chapters)` : 'Delete clip',
      burst: `Delete burst (${item.frames?.length} photos)`,
      timelapse: `Delete time-lapse (${item.frames?.length} frames)`,
    }[item.kind];
    const text = {
      photo: `${item.name}${item.raw ? ' and its RAW file' : ''} will be removed from the card.`,
      video: item.kind === 'video' && item.chapters.length > 1
        ? `${item.name} and its other ${item.chapters.length - 1} chapters, with their proxies, will be removed from the card.`
        : `${item.name}, with its proxy and thumbnail, will be removed from the card.`,
      burst: `All ${item.frames?.length} photos of this burst will be removed from the card.`,
      timelapse: `All ${item.frames?.length} frames of this time-lapse will be removed from the card.`,
    }[item.kind];
    clear(this.root.querySelector('#delete')).append(
      h('button', {
        type: 'button', id: 'delete-item', class: 'danger',
        onclick: () => this.remove(planDelete(item), item.name, text, true),
      }, what));
  }

  // Runs the delete operations `ops` after the user agrees; `whole` when the item goes.
  async remove(ops, what, text, whole) {
    const ok = await confirmDialog({
      title: `Delete ${what}?`,
      text: `${text} This cannot be undone.`,
      yes: 'Delete',
    });
    if (!ok) return;
    const gallery = this.app.gallery;
    try {
      for (const [i, op] of ops.entries()) {
        if (ops.length > 1) this.say('info', `Deleting… ${i + 1} of ${ops.length}`);
        const status = opStatus(await getText(routes.mediaOp(opQuery(op)), 'the delete'));
        if (!opSucceeded(op, status)) {
          throw new CameraError(`The camera could not delete ${op.f ?? what} (status ${status}).`);
        }
      }
    } catch (e) {
      if (!(e instanceof CameraError)) throw e;
      this.say(e instanceof CameraBusy ? 'busy' : 'error', e.message);
      gallery.stale = true;
      return;
    }
    gallery.stale = true;
    await gallery.load();
    if (whole) {
      location.hash = '#/gallery';
      return;
    }
    // A chapter went: the clip may now be named after another chapter.
    const names = new Set(this.item.chapters.map((c) => c.name));
    const again = gallery.storage()?.items.find((i) => i.kind === 'video' && i.folder === this.item.folder &&
      i.chapters.some((c) => names.has(c.name)));
    if (!again) {
      location.hash = '#/gallery';
      return;
    }
    this.item = again;
    this.chapter = Math.min(this.chapter, again.chapters.length - 1);
    if (location.hash !== itemLink(again)) location.hash = itemLink(again);
    else this.render();
    this.say('info', `Deleted ${what}.`);
  }

  // EXIF and telemetry of the file shown; SD card files only (the metadata route reads there).
  renderDetails() {
    const exifBox = clear(this.root.querySelector('#exif'));
    const telemetryBox = clear(this.root.querySelector('#telemetry'));
    const item = this.item;
    if (item.storage !== 'sd') return;
    const token = ++this.token;
    const path = this.path(this.currentName());
    const current = () => token === this.token && this.root.isConnected;
    if (item.kind !== 'video') {
      exifBox.append(h('h2', {}, 'EXIF'), notice('info', 'Reading EXIF…'));
      getJson(metadataUrl(path, 'exif'), 'the EXIF tags').then((doc) => {
        if (current()) this.showExif(exifBox, doc?.exif ?? {});
      }, (e) => {
        if (!(e instanceof CameraError)) throw e;
        if (current()) clear(exifBox).append(h('h2', {}, 'EXIF'), notice('info', e.message));
      });
    }
    telemetryBox.append(h('h2', {}, 'Telemetry'), notice('info', 'Reading telemetry…'));
    const read = item.kind === 'video'
      ? getBytes(tracksUrl(path, 'telemetry'), 'Telemetry').then(telemetryFromMp4)
      : getBytes(metadataUrl(path, 'zqmf'), 'Telemetry').then(telemetryFromBlock);
    read.then((t) => {
      if (current()) this.showTelemetry(telemetryBox, t);
    }, (e) => {
      // A file without (readable) telemetry is no failure of the page: say so and go on.
      if (!(e instanceof CameraError || e instanceof Mp4Error || e instanceof ZqmfError)) throw e;
      if (!current()) return;
      const why = e instanceof CameraError ? `the camera could not read it (${e.message})` : e.message;
      clear(telemetryBox).append(h('h2', {}, 'Telemetry'), notice('info', `No telemetry to show: ${why}.`));
    });
  }

  showExif(box, exif) {
    const entries = Object.entries(exif);
    clear(box).append(h('h2', {}, 'EXIF'));
    if (entries.length === 0) {
      box.append(notice('info', 'This photo has no EXIF data.'));
      return;
    }
    const rows = EXIF_SHOWN.filter(([k]) => exif[k] !== undefined).map(([k, label]) => [label, exif[k], k]);
    if (exif.PixelXDimension && exif.PixelYDimension) {
      rows.push(['Size', `${exif.PixelXDimension} × ${exif.PixelYDimension}`, 'PixelDimensions']);
    }
    if (exif.GPSLatitude && exif.GPSLongitude) {
      rows.push(['Position', `${exif.GPSLatitude} ${exif.GPSLatitudeRef ?? ''}, ${exif.GPSLongitude.trim()} ${exif.GPSLongitudeRef ?? ''}`, 'GPS']);
    }
    box.append(
      h('dl', { class: 'facts exif' }, rows.map(([label, value, tag]) =>
        [h('dt', {}, label), h('dd', { dataset: { tag } }, value)])),
      h('details', {}, h('summary', {}, `Every tag (${entries.length})`),
        h('table', { class: 'tags' }, h('tbody', {}, entries.map(([k, v]) =>
          h('tr', {}, h('th', { scope: 'row' }, k), h('td', {}, v)))))));
  }

  showTelemetry(box, t) {
    clear(box).append(h('h2', {}, 'Telemetry'));
    if (t.gps.lat.length === 0 && !t.accl && !t.gyro) {
      box.append(notice('info', 'This file carries no GPS or motion data.'));
    }
    if (t.gps.lat.length > 0) box.append(h('h3', {}, 'GPS track'), gpsPlot(t.gps));
    if (t.accl) box.append(h('h3', {}, 'Accelerometer'), timePlot(t.accl, 'Accelerometer'));
    if (t.gyro) box.append(h('h3', {}, 'Gyroscope'), timePlot(t.gyro, 'Gyroscope'));
    if (t.errors.length > 0) box.append(notice('info', `Not shown: ${t.errors.join('; ')}`));
  }
}
