// Thumbnails that load as they scroll into view, a few at a time: the camera serves metadata
// requests one after another, so a long card must not queue a thousand of them up front.

export class ThumbLoader {
  constructor({ concurrency = 4, rootMargin = '150px 0px' } = {}) {
    this.concurrency = concurrency;
    this.active = 0;
    this.queue = [];  // images in view, waiting for a free slot, in the order they appeared
    this.observer = new IntersectionObserver((entries) => this.seen(entries), { rootMargin });
  }

  // Loads `url` into `img` once it comes near the viewport; `url` null means there is no
  // thumbnail to ask for (the card shows its placeholder).
  watch(img, url) {
    if (!url) {
      img.closest('.thumb')?.classList.add('none');
      return;
    }
    img.dataset.src = url;
    this.observer.observe(img);
  }

  seen(entries) {
    for (const e of entries) {
      const waiting = this.queue.indexOf(e.target);
      if (e.isIntersecting && waiting < 0) this.queue.push(e.target);
      else if (!e.isIntersecting && waiting >= 0) this.queue.splice(waiting, 1);  // scrolled past
    }
    this.pump();
  }

  pump() {
    while (this.active < this.concurrency && this.queue.length > 0) {
      const img = this.queue.shift();
      this.observer.unobserve(img);
      this.active++;
      const done = (ok) => {
        this.active--;
        img.closest('.thumb')?.classList.add(ok && img.naturalWidth > 0 ? 'loaded' : 'none');
        this.pump();
      };
      img.addEventListener('load', () => done(true), { once: true });
      img.addEventListener('error', () => done(false), { once: true });
      img.src = img.dataset.src;
    }
  }

  stop() {
    this.observer.disconnect();
    this.queue = [];
  }
}
