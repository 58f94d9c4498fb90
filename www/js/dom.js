// Element helpers for the page's views.

// h('a', { href: '#', class: 'x', onclick: fn, dataset: { key: 'v' } }, 'text', child, ...)
export function h(tag, props = {}, ...children) {
  const el = document.createElement(tag);
  setProps(el, props);
  append(el, children);
  return el;
}

const SVG_NS = 'http://www.w3.org/2000/svg';

export function svg(tag, attrs = {}, ...children) {
  const el = document.createElementNS(SVG_NS, tag);
  for (const [k, v] of Object.entries(attrs)) {
    if (v !== undefined && v !== null) el.setAttribute(k, String(v));
  }
  append(el, children);
  return el;
}

function setProps(el, props) {
  for (const [k, v] of Object.entries(props ?? {})) {
    if (v === undefined || v === null || v === false) continue;
    if (k === 'class') el.className = v;
    else if (k === 'dataset') {
      for (const [name, value] of Object.entries(v)) {
        if (value !== undefined && value !== null) el.dataset[name] = value;
      }
    }
    else if (k.startsWith('on') && typeof v === 'function') el.addEventListener(k.slice(2), v);
    else if (k in el && typeof v !== 'string') el[k] = v;
    else el.setAttribute(k, v === true ? '' : String(v));
  }
}

function append(el, children) {
  for (const c of children.flat(Infinity)) {
    if (c === null || c === undefined || c === false) continue;
    el.append(c instanceof Node ? c : document.createTextNode(String(c)));
  }
}

export function clear(el) {
  while (el.firstChild) el.firstChild.remove();
  return el;
}

// A message line: kind "busy", "error" or "info".
export function notice(kind, text) {
  return h('p', { class: `notice ${kind}`, role: kind === 'error' ? 'alert' : 'status' }, text);
}

// The camera keeps local time without a zone: its clock is shown as it is. One formatter for
// every card (making one per call costs a thousand-file card seconds).
let dateFormat = null;

export function dateText(time) {
  if (!(time > 0)) return 'date unknown';
  dateFormat ??= new Intl.DateTimeFormat(undefined, {
    timeZone: 'UTC', year: 'numeric', month: 'short', day: 'numeric', hour: '2-digit', minute: '2-digit',
  });
  return dateFormat.format(new Date(time * 1000));
}

// Asks for a yes or no in the page's dialog; resolves true for yes. Escape and Cancel say no.
export function confirmDialog({ title, text, yes }) {
  const dialog = document.getElementById('confirm');
  clear(dialog);
  const form = h('form', { method: 'dialog' },
    h('h2', { id: 'confirm-title' }, title),
    h('p', {}, text),
    h('div', { class: 'actions' },
      h('button', { value: 'cancel', class: 'secondary', autofocus: true }, 'Cancel'),
      h('button', { value: 'yes', class: 'danger', id: 'confirm-yes' }, yes)));
  dialog.append(form);
  dialog.setAttribute('aria-labelledby', 'confirm-title');
  dialog.returnValue = '';
  return new Promise((resolve) => {
    dialog.addEventListener('close', () => resolve(dialog.returnValue === 'yes'), { once: true });
    dialog.showModal();
  });
}
