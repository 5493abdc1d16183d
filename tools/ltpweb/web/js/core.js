// What every view uses: building elements (text always as text), the JSON API, the status line,
// undo toasts, dialogs, out-of-date marking and keyboard lists.

export const state = { csrf: '', user: '' };
export const $ = (id) => document.getElementById(id);
export const enc = encodeURIComponent;

// An element with attributes and children; strings become text nodes.
export function el(tag, attrs, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs || {})) {
    if (k.startsWith('on')) node.addEventListener(k.slice(2), v);
    else if (k === 'class') node.className = v;
    else if (v !== false && v !== null && v !== undefined) node.setAttribute(k, v === true ? '' : v);
  }
  for (const c of children.flat()) {
    if (c !== null && c !== undefined && c !== false) node.append(c instanceof Node ? c : String(c));
  }
  return node;
}

const button = (text, onclick, attrs) => el('button', { type: 'button', ...attrs, onclick: () => attempt(onclick) }, text);
export { button };

let statusTimer = 0;
// A message in the status line; success clears itself, errors stay until the next message.
export function say(text, isError) {
  const s = $('status');
  s.textContent = text;
  s.className = isError ? 'error' : '';
  clearTimeout(statusTimer);
  if (text && !isError) statusTimer = setTimeout(() => { s.textContent = ''; }, 6000);
}

export class ApiFailure extends Error {
  constructor(reason, status) { super(reason); this.status = status; }
}

let onSignedOut = () => {};
export function whenSignedOut(f) { onSignedOut = f; }

export async function api(method, path, body) {
  const options = { method, headers: {}, credentials: 'same-origin' };
  if (method !== 'GET') options.headers['X-CSRF-Token'] = state.csrf;
  if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body);
  }
  let res;
  try {
    res = await fetch(path, options);
  } catch (e) {
    throw new ApiFailure('ltpweb cannot be reached.', 0);
  }
  const data = await res.json().catch(() => ({}));
  if (res.status === 401 && path !== '/api/session') {
    onSignedOut();
    throw new ApiFailure('The session ended; please sign in again.', 401);
  }
  if (!res.ok) throw new ApiFailure(data.reason || res.statusText, res.status);
  return data;
}

// Runs an action and reports its failure in the status line, so that no error goes uncaught.
export async function attempt(action, done) {
  try {
    const result = await action();
    if (done) say(done);
    return result;
  } catch (e) {
    say(e.message, true);
    return undefined;
  }
}

// ---- out of date --------------------------------------------------------------------------------

// Loads a view; when that fails, what is shown stays but is marked out of date with a retry.
export async function refresh(view, load) {
  const section = $(`view-${view}`);
  const banner = section.querySelector('.stale-banner');
  section.setAttribute('aria-busy', 'true');
  try {
    await load();
    section.classList.remove('stale');
    if (banner) banner.remove();
  } catch (e) {
    if (e.status === 401) return;
    section.classList.add('stale');
    const text = `Out of date: ${e.message} What is shown may have changed since.`;
    const retry = el('button', { type: 'button', onclick: () => refresh(view, load) }, 'Retry');
    const box = el('div', { class: 'stale-banner', role: 'alert' }, el('span', {}, text), ' ', retry);
    if (banner) banner.replaceWith(box); else section.querySelector('h2').after(box);
  } finally {
    section.setAttribute('aria-busy', 'false');
  }
}

// ---- toasts with undo ---------------------------------------------------------------------------

// A message for a few seconds, with an Undo button when undo is given.
export function toast(text, undo) {
  const box = $('toasts');
  const item = el('div', { class: 'toast', role: 'status' }, el('span', {}, text));
  const close = () => item.remove();
  if (undo) {
    item.append(el('button', { type: 'button', class: 'undo', onclick: async () => {
      close();
      await attempt(undo, 'Undone.');
    } }, 'Undo'));
  }
  item.append(el('button', { type: 'button', 'aria-label': 'Dismiss', onclick: close }, '×'));
  box.append(item);
  setTimeout(close, undo ? 10000 : 5000);
}

// ---- dialogs ------------------------------------------------------------------------------------

// Shows a dialog with the given inputs ({name: {node, read}}); resolves with the values read, or
// null when cancelled. onSubmit may throw to keep the dialog open with the reason. The confirming
// dialog is a second one, so that a form can ask before it deletes.
export function formDialog({ title, text, inputs = {}, ok = 'Save', danger = false, onSubmit, id = 'dialog' }) {
  const dlg = $(id);
  const part = (name) => $(`${id}-${name}`);
  const opener = document.activeElement;
  part('title').textContent = title;
  part('text').textContent = text || '';
  part('error').textContent = '';
  part('ok').textContent = ok;
  part('ok').className = danger ? 'danger' : '';
  part('fields').replaceChildren(...Object.values(inputs).map((i) => i.node));
  return new Promise((resolve) => {
    const finish = (result) => {
      dlg.close();
      part('form').onsubmit = null;
      part('cancel').onclick = null;
      dlg.oncancel = null;
      if (opener && opener.isConnected) opener.focus();
      resolve(result);
    };
    part('cancel').onclick = () => finish(null);
    dlg.oncancel = (e) => { e.preventDefault(); finish(null); };
    part('form').onsubmit = async (ev) => {
      ev.preventDefault();
      const out = {};
      try {
        for (const [name, input] of Object.entries(inputs)) {
          const v = input.read();
          if (v !== undefined) out[name] = v;
        }
        if (onSubmit) await onSubmit(out);
        finish(out);
      } catch (e) {
        part('error').textContent = e.message;
      }
    };
    dlg.showModal();
    const first = part('fields').querySelector('input:not([readonly]), select, textarea');
    (first || part('ok')).focus();
  });
}

// Asks before a destructive action; ok names the action ("Delete user alice").
export async function confirmAction(title, text, ok) {
  return (await formDialog({ title, text, ok, danger: true, id: 'confirm' })) !== null;
}

// ---- keyboard lists -----------------------------------------------------------------------------

// One Tab stop in a list of items: arrow keys, Home and End move between them; Enter activates.
export function roving(container, itemSelector, onActivate) {
  const items = () => [...container.querySelectorAll(itemSelector)];
  const focusAt = (item) => {
    for (const i of items()) i.tabIndex = -1;
    item.tabIndex = 0;
    item.focus();
  };
  container.addEventListener('keydown', (e) => {
    const list = items();
    const at = list.indexOf(e.target.closest(itemSelector));
    if (at < 0) return;
    const to = { ArrowDown: at + 1, ArrowUp: at - 1, Home: 0, End: list.length - 1 }[e.key];
    if (to !== undefined) {
      e.preventDefault();
      if (list[Math.max(0, Math.min(list.length - 1, to))]) focusAt(list[Math.max(0, Math.min(list.length - 1, to))]);
    } else if (e.key === 'Enter' || e.key === ' ') {
      e.preventDefault();
      attempt(() => onActivate(list[at]));
    }
  });
  container.addEventListener('click', (e) => {
    const item = e.target.closest(itemSelector);
    if (item && container.contains(item) && !e.target.closest('button:not(' + itemSelector + ')')) {
      focusAt(item);
      attempt(() => onActivate(item));
    }
  });
  const list = items();
  if (list.length && !list.some((i) => i.tabIndex === 0)) list[0].tabIndex = 0;
}

// A table of records; rows are one Tab stop with arrow keys when onRow is given.
export function recordTable(caption, columns, rows, onRow, empty) {
  if (!rows.length) return el('p', { class: 'empty' }, empty || 'Nothing here yet.');
  const table = el('table', { class: 'records' }, el('caption', { class: 'sr-only' }, caption));
  table.append(el('thead', {}, el('tr', {}, columns.map((c) => el('th', { scope: 'col' }, c.title)))));
  const body = el('tbody');
  rows.forEach((r, i) => {
    const tr = el('tr', {}, columns.map((c) => el('td', {}, c.text(r))));
    if (onRow) { tr.tabIndex = i === 0 ? 0 : -1; tr.rowData = r; }
    body.append(tr);
  });
  table.append(body);
  if (onRow) roving(body, 'tr', (tr) => onRow(tr.rowData));
  return el('div', { class: 'scroll-x', tabindex: 0, role: 'region', 'aria-label': caption }, table);
}

// ---- dates --------------------------------------------------------------------------------------

export const pad = (n) => String(n).padStart(2, '0');
const zone = Intl.DateTimeFormat().resolvedOptions().timeZone;
export function zoneText() {
  const minutes = -new Date().getTimezoneOffset();
  const sign = minutes < 0 ? '-' : '+';
  const a = Math.abs(minutes);
  return `${zone} (UTC${sign}${pad(Math.floor(a / 60))}:${pad(a % 60)})`;
}
export function localInput(iso) { // "2026-12-07T08:00:00Z" -> "2026-12-07T09:00" in the browser's zone
  const d = new Date(iso);
  return isNaN(d) ? '' : `${d.getFullYear()}-${pad(d.getMonth() + 1)}-${pad(d.getDate())}T${pad(d.getHours())}:${pad(d.getMinutes())}`;
}
export function localText(iso) {
  const d = new Date(iso);
  return isNaN(d) ? String(iso) : d.toLocaleString();
}
export function dayStart(date) { const d = new Date(date); d.setHours(0, 0, 0, 0); return d; }
export function dateInput(d) { return `${d.getFullYear()}-${pad(d.getMonth() + 1)}-${pad(d.getDate())}`; }
// The wire's day 0: a date field holding it means "none" where the schema says so.
export const NO_DATE = '1899-12-30T00:00:00Z';
export const isNoDate = (v) => typeof v === 'string' && v.startsWith('1899-12-30T00:00:00');
