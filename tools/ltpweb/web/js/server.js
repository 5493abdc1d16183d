// The server: information text, system values, global settings, MTP servers, program paths and
// the server's log (newest first, searched and paged by ltpweb).
import { $, api, attempt, button, confirmAction, el, enc, formDialog, recordTable, say, toast } from './core.js';
import { label, loadNames, recordInputs, refText, shownFields, valueText } from './schema.js';

const LOG_PAGE = 50;
const log = { offset: 0 };

export function initServer() {
  $('info-save').addEventListener('click', () => attempt(() => api('PUT', '/api/information', { text: $('info-text').value }), 'Information saved.'));
  let timer = 0;
  const again = () => { clearTimeout(timer); timer = setTimeout(() => { log.offset = 0; attempt(loadLog); }, 200); };
  for (const id of ['log-filter', 'log-from', 'log-to']) $(id).addEventListener('input', again);
  $('log-prev').addEventListener('click', () => { log.offset = Math.max(0, log.offset - LOG_PAGE); attempt(loadLog); });
  $('log-next').addEventListener('click', () => { log.offset += LOG_PAGE; attempt(loadLog); });
  $('log-clear').addEventListener('click', () => attempt(async () => {
    if (await confirmAction('Clear the log?', 'Every entry of the server\'s log is removed; this cannot be undone.', 'Clear the server\'s log')) {
      await api('DELETE', '/api/log');
      say('Log cleared.');
      await loadServer();
    }
  }));
  $('paths-program').addEventListener('change', () => attempt(loadPaths));
}

// Edit, add and delete for a catalogue of the server page.
function catalogue({ box, record, base, keyName, rows, noun, reload }) {
  const m = rows[0] ? Object.keys(rows[0]) : [];
  const columns = shownFields(record, m).map((w) => ({ title: label(record, w), text: (r) => valueText(record, w, r[w]) }));
  const edit = async (r) => {
    const inputs = await recordInputs(record, r);
    const done = await formDialog({ title: `Edit ${noun} ${r[keyName]}`, inputs, ok: `Save ${noun}`,
      onSubmit: (v) => api('PUT', `${base}/${enc(r[keyName])}`, { ...r, ...v }) });
    if (done) { say(`${noun} ${r[keyName]} saved.`); await reload(); }
  };
  const remove = async (r) => {
    if (!await confirmAction(`Delete ${noun} ${r[keyName]}?`, `The ${noun} "${r[keyName]}" is removed from the server.`, `Delete ${noun} ${r[keyName]}`)) return;
    await api('DELETE', `${base}/${enc(r[keyName])}`);
    toast(`${noun} ${r[keyName]} deleted.`, async () => { await api('POST', base, r); await reload(); });
    await reload();
  };
  const add = async () => {
    const inputs = await recordInputs(record, {}, { adding: true });
    const done = await formDialog({ title: `Add ${noun}`, inputs, ok: `Add ${noun}`, onSubmit: (v) => api('POST', base, v) });
    if (done) { say(`${noun} added.`); await reload(); }
  };
  const actions = { title: 'Actions', text: (r) => el('span', { class: 'row-actions' },
    button('Edit', () => edit(r), { 'aria-label': `Edit ${noun} ${r[keyName]}` }),
    button('Delete', () => remove(r), { class: 'danger', 'aria-label': `Delete ${noun} ${r[keyName]}` })) };
  box.replaceChildren(recordTable(`${noun}s`, [...columns, actions], rows, null, `No ${noun}s yet. Add one below.`),
    button(`Add ${noun}`, add));
}

export async function loadServer() {
  const [info, sys, globals, mtp] = await Promise.all([api('GET', '/api/information'),
    api('GET', '/api/sysinfo'), api('GET', '/api/globals'), api('GET', '/api/mtp-servers')]);
  await loadNames('Program').catch(() => null);
  $('info-text').value = info.text;
  $('sysinfo').replaceChildren(...shownFields('SysInfo', Object.keys(sys)).flatMap((k) => [el('dt', {}, label('SysInfo', k)), el('dd', {}, valueText('SysInfo', k, sys[k]))]));
  catalogue({ box: $('globals'), record: 'Global', base: '/api/globals', keyName: 'Key', rows: globals, noun: 'setting', reload: loadServer });
  catalogue({ box: $('mtp'), record: 'MTPSvr', base: '/api/mtp-servers', keyName: mtp[0] ? Object.keys(mtp[0])[0] : 'MTPSvrName', rows: mtp, noun: 'MTP server', reload: loadServer });
  const programs = await loadNames('Program').catch(() => new Map());
  const keep = $('paths-program').value;
  $('paths-program').replaceChildren(el('option', { value: '' }, '(choose a program)'), [...programs].map(([id, n]) => el('option', { value: id }, `${n} (${id})`)));
  $('paths-program').value = keep;
  await Promise.all([loadLog(), loadPaths()]);
}

// Program numbers in the log's texts gain the program's name.
const named = (text) => String(text).replace(/\bprogram (\d+)/gi, (m, n) => {
  const r = refText('Program', n);
  return r === n ? m : `${m} (${r.replace(/^\d+ /, '')})`;
});

async function loadLog() {
  const q = [`offset=${log.offset}`, `limit=${LOG_PAGE}`, 'sort=-Real2', `q=${enc($('log-filter').value)}`];
  if ($('log-from').value) q.push(`from=${enc(new Date($('log-from').value).toISOString())}`);
  if ($('log-to').value) q.push(`to=${enc(new Date($('log-to').value).toISOString())}`);
  const page = await api('GET', `/api/log?${q.join('&')}`);
  const columns = ['Real2', 'Text3', 'Text4', 'Number1'].map((w) => ({ title: label('LogEvent', w),
    text: (r) => (w === 'Text4' ? named(r[w]) : w === 'Real2' ? valueText('LogEvent', w, r[w]) : String(r[w])) }));
  const filtered = $('log-filter').value || $('log-from').value || $('log-to').value;
  $('log').replaceChildren(recordTable('The server\'s log, newest first', columns, page.items, null,
    filtered ? 'No entry matches. Widen the period or change the filter.' : 'The log is empty: changes made on the server appear here.'));
  const last = Math.min(page.total, log.offset + page.items.length);
  $('log-count').textContent = page.total ? `${log.offset + 1}–${last} of ${page.total}, newest first` : '';
  $('log-prev').disabled = log.offset === 0;
  $('log-next').disabled = last >= page.total;
}

async function loadPaths() {
  const id = $('paths-program').value;
  if (!id) { $('paths').replaceChildren(el('p', { class: 'empty' }, 'Choose a program to see its paths.')); return; }
  const paths = await api('GET', `/api/programs/${enc(id)}/paths`);
  const columns = ['ProgramPath', 'Real3', 'Real4'].map((w) => ({ title: label('ProgramPath', w), text: (r) => valueText('ProgramPath', w, r[w]) }));
  $('paths').replaceChildren(recordTable('Paths', columns, paths, null, 'This program has no paths.'));
}
