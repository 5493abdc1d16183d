// What this console changed: who, when, what, the record before and after; searchable, paged and
// exported as CSV.
import { $, api, attempt, el, enc, localText, recordTable } from './core.js';

const PAGE = 50;
const view = { offset: 0 };

export function initActivity() {
  let timer = 0;
  $('activity-filter').addEventListener('input', () => { clearTimeout(timer); timer = setTimeout(() => { view.offset = 0; attempt(loadActivity); }, 200); });
  $('activity-prev').addEventListener('click', () => { view.offset = Math.max(0, view.offset - PAGE); attempt(loadActivity); });
  $('activity-next').addEventListener('click', () => { view.offset += PAGE; attempt(loadActivity); });
  $('activity-csv').addEventListener('click', () => attempt(exportCsv));
}

const brief = (v) => (v === null || v === undefined ? '' : typeof v === 'string' ? v : JSON.stringify(v));

// The fields of a record that differ from the other side, one a line ("Text2: one"); all of them
// when the other side has none (an add or a delete).
function fields(record, other) {
  if (record === null || record === undefined) return '';
  if (typeof record !== 'object' || Array.isArray(record)) return el('code', {}, brief(record));
  const compare = other && typeof other === 'object' && !Array.isArray(other);
  const lines = Object.entries(record).filter(([k, v]) => !compare || JSON.stringify(other[k]) !== JSON.stringify(v));
  return el('ul', { class: 'plain changes' }, lines.map(([k, v]) => el('li', {}, el('code', {}, `${k}: ${brief(v)}`))));
}

export async function loadActivity() {
  const page = await api('GET', `/api/activity?offset=${view.offset}&limit=${PAGE}&q=${enc($('activity-filter').value)}`);
  const columns = [
    { title: 'When', text: (r) => localText(r.at) },
    { title: 'Who', text: (r) => r.who },
    { title: 'What', text: (r) => `${r.action} (${r.method} ${r.path})` },
    { title: 'Before', text: (r) => fields(r.before, r.after) },
    { title: 'After', text: (r) => fields(r.after, r.before) }];
  $('activity').replaceChildren(recordTable('Changes made through this console, newest first', columns, page.items, null,
    $('activity-filter').value ? 'No change matches the filter.' : 'Nothing has been changed through this console yet. Changes appear here as they are made.'));
  const last = Math.min(page.total, view.offset + page.items.length);
  $('activity-count').textContent = page.total ? `${view.offset + 1}–${last} of ${page.total}, newest first` : '';
  $('activity-prev').disabled = view.offset === 0;
  $('activity-next').disabled = last >= page.total;
}

// A cell as CSV: quoted when it holds a comma, quote or line break; a leading = + - @ is
// prefixed with ' so that a spreadsheet does not run it as a formula.
export function csvCell(value) {
  let text = brief(value);
  if (/^[=+\-@\t\r]/.test(text)) text = `'${text}`;
  return /[",\r\n]/.test(text) ? `"${text.replace(/"/g, '""')}"` : text;
}

async function exportCsv() {
  const rows = [['at', 'who', 'action', 'method', 'path', 'before', 'after']];
  for (let offset = 0; ; offset += 1000) {
    const page = await api('GET', `/api/activity?offset=${offset}&limit=1000&q=${enc($('activity-filter').value)}`);
    for (const r of page.items) rows.push([r.at, r.who, r.action, r.method, r.path, r.before, r.after]);
    if (offset + 1000 >= page.total) break;
  }
  const text = rows.map((r) => r.map(csvCell).join(',')).join('\r\n') + '\r\n';
  const link = el('a', { href: URL.createObjectURL(new Blob([text], { type: 'text/csv' })), download: 'ltpweb-activity.csv' });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}
