// The ltpweb page: talks to the JSON API of the server that serves it. Every text that comes from
// the LTP server is put on the page as text (textContent, never markup).
'use strict';

const state = { csrf: '', user: '', schemas: null, labels: {}, programs: [], users: [],
                usersView: [], sort: { key: 'UserID', up: true }, charts: {}, selected: null };
const $ = (id) => document.getElementById(id);

// An element with attributes and children; strings become text nodes.
function el(tag, attrs, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs || {})) {
    if (k.startsWith('on')) node.addEventListener(k.slice(2), v);
    else if (k === 'class') node.className = v;
    else if (v !== false && v !== null && v !== undefined) node.setAttribute(k, v === true ? '' : v);
  }
  for (const c of children.flat()) {
    if (c !== null && c !== undefined) node.append(c instanceof Node ? c : String(c));
  }
  return node;
}

function say(text, isError) {
  const s = $('status');
  s.textContent = text;
  s.className = isError ? 'error' : '';
}

class ApiFailure extends Error {
  constructor(reason, status) { super(reason); this.status = status; }
}

async function api(method, path, body) {
  const options = { method, headers: {}, credentials: 'same-origin' };
  if (method !== 'GET') options.headers['X-CSRF-Token'] = state.csrf;
  if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body);
  }
  const res = await fetch(path, options);
  const data = await res.json().catch(() => ({}));
  if (res.status === 401 && path !== '/api/session') {
    showSignedOut();
    throw new ApiFailure('The session ended; please sign in again.', 401);
  }
  if (!res.ok) throw new ApiFailure(data.reason || res.statusText, res.status);
  return data;
}

// Runs an action and reports its failure in the status line.
async function attempt(action, done) {
  try {
    const result = await action();
    if (done) say(done);
    return result;
  } catch (e) {
    say(e.message, true);
    return undefined;
  }
}

// A key as one path segment: every '%', '/' and non-ASCII byte escaped; ltpweb decodes it once.
const enc = encodeURIComponent;

// ---- field descriptions, labels, dates --------------------------------------------------------

// The writable fields of each record, as the API describes its add requests.
async function schemas() {
  if (!state.schemas) {
    const doc = await api('GET', '/api/openapi.json');
    state.schemas = {};
    for (const [path, ops] of Object.entries(doc.paths)) {
      const body = ops.post && ops.post.requestBody;
      if (body) state.schemas[path] = body.content['application/json'].schema.properties;
    }
  }
  return state.schemas;
}

function label(record, field) {
  const own = state.labels[record];
  return (own && own[field]) || field;
}

const zone = Intl.DateTimeFormat().resolvedOptions().timeZone;
function zoneText() {
  const minutes = -new Date().getTimezoneOffset();
  const sign = minutes < 0 ? '-' : '+';
  const a = Math.abs(minutes);
  return `${zone} (UTC${sign}${String(Math.floor(a / 60)).padStart(2, '0')}:${String(a % 60).padStart(2, '0')})`;
}
const pad = (n) => String(n).padStart(2, '0');
function localInput(iso) { // "2026-12-07T08:00:00Z" -> "2026-12-07T09:00" in the browser's zone
  const d = new Date(iso);
  return `${d.getFullYear()}-${pad(d.getMonth() + 1)}-${pad(d.getDate())}T${pad(d.getHours())}:${pad(d.getMinutes())}`;
}
function localText(iso) {
  const d = new Date(iso);
  return isNaN(d) ? String(iso) : d.toLocaleString();
}
function dayStart(date) { const d = new Date(date); d.setHours(0, 0, 0, 0); return d; }
function dateInput(d) { return `${d.getFullYear()}-${pad(d.getMonth() + 1)}-${pad(d.getDate())}`; }

// ---- dialogs ----------------------------------------------------------------------------------

// Shows the dialog with fields (name -> schema) filled from values; resolves with the entered
// values, or null when cancelled. onSubmit may throw to keep the dialog open with the reason.
function dialog(title, text, record, fields, values, onSubmit) {
  const dlg = $('dialog');
  $('dialog-title').textContent = title;
  $('dialog-text').textContent = text || '';
  $('dialog-error').textContent = '';
  const box = $('dialog-fields');
  box.replaceChildren();
  const inputs = {};
  for (const [name, schema] of Object.entries(fields || {})) {
    const type = schema.format === 'date-time' ? 'datetime-local'
      : schema.type === 'integer' || schema.type === 'number' ? 'number' : 'text';
    const input = el('input', { name, type, step: schema.type === 'number' ? 'any' : null });
    const v = values ? values[name] : undefined;
    if (v !== undefined) input.value = type === 'datetime-local' ? localInput(v) : String(v);
    if (schema.readOnly) input.readOnly = true;
    inputs[name] = { input, schema };
    box.append(el('label', {}, label(record, name), ' ', input));
  }
  return new Promise((resolve) => {
    const finish = (result) => {
      dlg.close();
      $('dialog-form').onsubmit = null;
      $('dialog-cancel').onclick = null;
      resolve(result);
    };
    $('dialog-cancel').onclick = () => finish(null);
    $('dialog-form').onsubmit = async (ev) => {
      ev.preventDefault();
      const out = {};
      for (const [name, { input, schema }] of Object.entries(inputs)) {
        if (input.readOnly) continue;
        if (input.value === '' && schema.type !== 'string') continue;
        if (schema.format === 'date-time') out[name] = new Date(input.value).toISOString();
        else if (schema.type === 'integer') out[name] = parseInt(input.value, 10);
        else if (schema.type === 'number') out[name] = Number(input.value);
        else out[name] = input.value;
      }
      try {
        if (onSubmit) await onSubmit(out);
        finish(out);
      } catch (e) {
        $('dialog-error').textContent = e.message;
      }
    };
    dlg.showModal();
  });
}

const confirmDialog = (title, text) => dialog(title, text, '', {}, null, null);

// A table of records with the given columns; rows may be clicked.
function recordTable(record, rows, columns, onRow) {
  const table = el('table', { class: 'records' });
  table.append(el('thead', {}, el('tr', {}, columns.map((c) => el('th', { scope: 'col' }, label(record, c))))));
  const body = el('tbody');
  for (const r of rows) {
    const tr = el('tr', {}, columns.map((c) => el('td', {}, r[c] === undefined ? '' : String(r[c]))));
    if (onRow) {
      tr.tabIndex = 0;
      tr.addEventListener('click', () => onRow(r));
      tr.addEventListener('keydown', (e) => { if (e.key === 'Enter') onRow(r); });
    }
    body.append(tr);
  }
  table.append(body);
  return table;
}

// ---- sign-in ----------------------------------------------------------------------------------

function showSignedOut() {
  state.csrf = '';
  $('nav').hidden = true;
  $('whoami').hidden = true;
  show('signin');
}

async function signedIn(session) {
  state.csrf = session.csrf;
  state.user = session.user;
  $('whoami-name').textContent = session.user;
  $('whoami').hidden = false;
  $('nav').hidden = false;
  state.labels = await api('GET', '/api/labels').catch(() => ({}));
  show('users');
}

function show(view) {
  say('');
  for (const section of document.querySelectorAll('.view')) section.hidden = section.id !== `view-${view}`;
  for (const b of document.querySelectorAll('#nav button')) {
    b.setAttribute('aria-current', b.dataset.view === view ? 'page' : 'false');
  }
  const load = { users: loadUsers, groups: loadGroups, programs: loadTree, week: loadWeek,
                 stats: loadStats, server: loadServer }[view];
  if (load) attempt(load);
}

// ---- users: a virtual list, only the visible rows are in the page --------------------------------

const ROW = 28;
const USER_COLUMNS = ['UserID', 'Text2', 'Text3', 'Text4'];

async function loadUsers() {
  state.users = await api('GET', '/api/users');
  filterUsers();
}

function filterUsers() {
  const needle = $('users-filter').value.toLowerCase();
  const { key, up } = state.sort;
  state.usersView = state.users.filter((u) => !needle ||
    USER_COLUMNS.some((c) => String(u[c]).toLowerCase().includes(needle)));
  state.usersView.sort((a, b) => (up ? 1 : -1) * String(a[key]).localeCompare(String(b[key])));
  $('users-count').textContent = `${state.usersView.length} of ${state.users.length}`;
  buildUserTable();
}

function buildUserTable() {
  const table = $('users-table');
  const head = el('div', { class: 'vrow vhead', role: 'row' }, USER_COLUMNS.map((c) => el('div', { role: 'columnheader',
    'aria-sort': state.sort.key === c ? (state.sort.up ? 'ascending' : 'descending') : 'none' },
  el('button', { type: 'button', onclick: () => {
    state.sort = { key: c, up: state.sort.key === c ? !state.sort.up : true };
    filterUsers();
  } }, label('User', c)))));
  const viewport = el('div', { class: 'vbody', role: 'rowgroup' });
  const spacer = el('div', { class: 'vspacer' });
  spacer.style.height = `${state.usersView.length * ROW}px`;
  viewport.append(spacer);
  viewport.addEventListener('scroll', () => renderRows(viewport, spacer));
  table.replaceChildren(head, viewport);
  renderRows(viewport, spacer);
}

function renderRows(viewport, spacer) {
  const first = Math.floor(viewport.scrollTop / ROW);
  const count = Math.ceil(viewport.clientHeight / ROW) + 2;
  spacer.replaceChildren();
  for (let i = first; i < Math.min(first + count, state.usersView.length); i++) {
    const u = state.usersView[i];
    const row = el('div', { class: 'vrow', role: 'row', tabindex: 0, 'data-user': u.UserID,
      onclick: () => showUser(u), onkeydown: (e) => { if (e.key === 'Enter') showUser(u); } },
    USER_COLUMNS.map((c) => el('div', { role: 'cell' }, u[c])));
    row.style.top = `${i * ROW}px`;
    spacer.append(row);
  }
}

async function showUser(u) {
  const box = $('user-detail');
  const groups = await api('GET', `/api/users/${enc(u.UserID)}/groups`);
  const permOut = el('output', { id: 'perm-out' });
  const program = el('input', { type: 'number', min: 0, 'aria-label': 'program number' });
  box.replaceChildren(
    el('h3', {}, u.UserID),
    el('dl', {}, Object.entries(u).flatMap(([k, v]) => [el('dt', {}, label('User', k)), el('dd', {}, v)])),
    el('div', { class: 'buttons' },
      el('button', { type: 'button', onclick: () => editRecord('/api/users', 'User', 'UserID', u, loadUsers) }, 'Edit'),
      el('button', { type: 'button', onclick: () => deleteRecord('/api/users', 'user', u.UserID, loadUsers) }, 'Delete')),
    el('h4', {}, 'Groups'),
    el('ul', {}, groups.map((g) => el('li', {}, g.GroupID, ' ', el('button', { type: 'button', onclick: async () => {
      await attempt(() => api('DELETE', `/api/users/${enc(u.UserID)}/groups/${enc(g.GroupID)}`), 'Removed from the group.');
      showUser(u);
    } }, 'Remove')))),
    el('h4', {}, 'Rights and permission on a program'),
    el('div', { class: 'toolbar' }, el('label', {}, 'Program ', program), el('button', { type: 'button', onclick: () => attempt(async () => {
      const id = enc(program.value || '0');
      const [p, r] = await Promise.all([
        api('GET', `/api/users/${enc(u.UserID)}/permission/${id}`),
        api('GET', `/api/programs/${id}/rights/users/${enc(u.UserID)}`).catch(() => ({ rights: 'none' }))]);
      permOut.textContent = `permission ${p.permission}, own rights ${r.rights}`;
    }) }, 'Look up'), permOut),
    el('button', { type: 'button', onclick: () => { $('usage-kind').value = 'users'; $('usage-id').value = u.UserID; show('stats'); } }, 'Usage'));
}

async function editRecord(base, record, keyName, current, reload) {
  const fields = (await schemas())[base];
  const shown = { ...fields, [keyName]: { ...fields[keyName], readOnly: true } };
  await dialog(`Edit ${current[keyName]}`, '', record, shown, current, async (values) => {
    await api('PUT', `${base}/${enc(current[keyName])}`, values);
  }) && (say('Saved.'), reload());
}

async function deleteRecord(base, noun, key, reload) {
  if (await confirmDialog(`Delete ${noun} ${key}?`, `The ${noun} "${key}" is removed from the server.`)) {
    await attempt(() => api('DELETE', `${base}/${enc(key)}`), 'Deleted.');
    reload();
  }
}

async function addRecord(base, record, reload) {
  const fields = (await schemas())[base];
  const done = await dialog(`Add ${record.toLowerCase()}`, '', record, fields, {}, (values) => api('POST', base, values));
  if (done) { say('Added.'); reload(); }
}

// ---- groups -----------------------------------------------------------------------------------

async function loadGroups() {
  const groups = await api('GET', '/api/groups');
  $('groups-list').replaceChildren(...groups.map((g) => el('li', {},
    el('button', { type: 'button', class: 'link', onclick: () => showGroup(g) }, g.GroupID), ' ', g.Text2)));
}

async function showGroup(g) {
  const members = await api('GET', `/api/groups/${enc(g.GroupID)}/users`);
  const who = el('input', { 'aria-label': 'user to add' });
  $('group-detail').replaceChildren(el('h3', {}, g.GroupID), el('p', {}, g.Text2),
    el('h4', {}, 'Members'), recordTable('User', members, ['UserID', 'Text2']),
    el('div', { class: 'toolbar' }, who, el('button', { type: 'button', onclick: async () => {
      await attempt(() => api('PUT', `/api/users/${enc(who.value)}/groups/${enc(g.GroupID)}`), 'Member added.');
      showGroup(g);
    } }, 'Add member')),
    el('div', { class: 'buttons' },
      el('button', { type: 'button', onclick: () => editRecord('/api/groups', 'Group', 'GroupID', g, loadGroups) }, 'Edit'),
      el('button', { type: 'button', onclick: () => deleteRecord('/api/groups', 'group', g.GroupID, loadGroups) }, 'Delete')));
}

// ---- the program tree -------------------------------------------------------------------------

const collapsed = new Set();

async function loadTree() {
  const tree = await api('GET', '/api/programs/tree');
  state.programs = [];
  const build = (nodes) => nodes.map((p) => {
    state.programs.push(p);
    const open = !collapsed.has(p.ProgramID);
    const item = el('li', { role: 'treeitem', 'aria-expanded': p.children.length ? String(open) : null,
      'aria-selected': String(state.selected === p.ProgramID) });
    const toggle = el('button', { type: 'button', class: 'toggle', 'aria-label': open ? 'collapse' : 'expand',
      disabled: !p.children.length, onclick: () => {
        if (collapsed.has(p.ProgramID)) collapsed.delete(p.ProgramID); else collapsed.add(p.ProgramID);
        loadTree();
      } }, p.children.length ? (open ? '▾' : '▸') : '·');
    const name = el('span', { class: 'node', tabindex: 0, 'data-program': p.ProgramID }, p.Text2 || `#${p.ProgramID}`);
    name.addEventListener('click', () => selectProgram(p));
    name.addEventListener('keydown', (e) => { if (e.key === 'Enter') selectProgram(p); });
    item.append(toggle, name);
    if (p.children.length && open) item.append(el('ul', { role: 'group' }, build(p.children)));
    return item;
  });
  const top = el('li', { role: 'treeitem' }, el('span', { class: 'node root', 'data-program': 0 }, '(top level)'));
  $('tree').replaceChildren(top, ...build(tree));
}

function descendants(p) {
  return p.children.flatMap((c) => [c, ...descendants(c)]);
}

// Dragging with the mouse: press on a program, move, release over another.
let drag = null;
document.addEventListener('mousedown', (e) => {
  const node = e.target.closest && e.target.closest('#tree .node:not(.root)');
  if (node && e.button === 0) drag = { id: Number(node.dataset.program), x: e.clientX, y: e.clientY, moving: false };
});
document.addEventListener('mousemove', (e) => {
  if (!drag) return;
  if (!drag.moving && Math.hypot(e.clientX - drag.x, e.clientY - drag.y) > 4) {
    drag.moving = true;
    document.body.classList.add('dragging');
  }
  for (const n of document.querySelectorAll('#tree .drop')) n.classList.remove('drop');
  const over = document.elementFromPoint(e.clientX, e.clientY);
  const target = over && over.closest('#tree .node');
  if (drag.moving && target && Number(target.dataset.program) !== drag.id) target.classList.add('drop');
});
document.addEventListener('mouseup', async (e) => {
  if (!drag) return;
  const { id, moving } = drag;
  drag = null;
  document.body.classList.remove('dragging');
  for (const n of document.querySelectorAll('#tree .drop')) n.classList.remove('drop');
  if (!moving) return;
  const over = document.elementFromPoint(e.clientX, e.clientY);
  const target = over && over.closest('#tree .node');
  if (!target) return;
  const to = Number(target.dataset.program);
  if (to === id) return;
  const copy = e.ctrlKey || e.altKey;
  await attempt(() => api('POST', `/api/programs/${id}/${copy ? 'copy' : 'move'}`, { to }),
    copy ? 'Program copied.' : 'Program moved.');
  loadTree();
});

async function selectProgram(p) {
  state.selected = p.ProgramID;
  for (const n of document.querySelectorAll('#tree [aria-selected]')) n.setAttribute('aria-selected', 'false');
  const item = document.querySelector(`#tree .node[data-program="${p.ProgramID}"]`);
  if (item) item.parentElement.setAttribute('aria-selected', 'true');
  const [users, groups] = await Promise.all([
    api('GET', `/api/programs/${p.ProgramID}/rights/users`),
    api('GET', `/api/programs/${p.ProgramID}/rights/groups`)]);
  const grants = async (kind, list, key) => Promise.all(list.map(async (r) => {
    const g = await api('GET', `/api/programs/${p.ProgramID}/rights/${kind}/${enc(r[key])}`).catch(() => ({ rights: '?' }));
    return { [key]: r[key], rights: g.rights };
  }));
  const who = el('input', { 'aria-label': 'user or group' });
  const kind = el('select', { 'aria-label': 'kind' }, el('option', { value: 'users' }, 'user'), el('option', { value: 'groups' }, 'group'));
  const rights = el('input', { type: 'number', 'aria-label': 'rights', value: 1 });
  const below = descendants(p);
  const fields = Object.entries(p).filter(([k]) => k !== 'children');
  $('program-detail').replaceChildren(
    el('h3', {}, p.Text2),
    el('dl', {}, fields.flatMap(([k, v]) => [el('dt', {}, label('Program', k)), el('dd', {}, v)])),
    el('div', { class: 'buttons' },
      el('button', { type: 'button', onclick: () => editRecord('/api/programs', 'Program', 'ProgramID', Object.fromEntries(fields), loadTree) }, 'Edit'),
      el('button', { type: 'button', onclick: () => addRecord('/api/programs', 'Program', loadTree) }, 'Add program'),
      el('button', { type: 'button', onclick: () => deleteRecord('/api/programs', 'program', p.ProgramID, loadTree) }, 'Delete')),
    el('h4', {}, 'Users with rights'), recordTable('User', await grants('users', users, 'UserID'), ['UserID', 'rights']),
    el('h4', {}, 'Groups with rights'), recordTable('Group', await grants('groups', groups, 'GroupID'), ['GroupID', 'rights']),
    el('div', { class: 'toolbar' }, kind, who, rights,
      el('button', { type: 'button', onclick: async () => {
        const path = `/api/programs/${p.ProgramID}/rights/${kind.value}/${enc(who.value)}`;
        const body = { rights: parseInt(rights.value, 10) || 0 };
        await attempt(() => api('PUT', path, body).catch((e) => {
          if (e.status === 404) return api('POST', path, body);
          throw e;
        }), 'Rights set.');
        selectProgram(p);
      } }, 'Set rights')),
    el('button', { type: 'button', disabled: !below.length, onclick: async () => {
      const names = below.map((c) => c.Text2).join(', ');
      if (await confirmDialog('Apply rights to the programs below?',
        `The rights granted on "${p.Text2}" replace the rights now granted on ${below.length} program(s) below it: ${names}.`)) {
        await attempt(() => api('POST', `/api/programs/${p.ProgramID}/rights/apply`), 'Rights applied below.');
      }
    } }, `Apply to ${below.length} below`));
}

// ---- the week of a channel --------------------------------------------------------------------

const MINUTE_PX = 40 / 60; // an hour is 40 pixels high
const SLOT_MIN_PX = 18;

function weekStart() {
  const v = $('week-start').value;
  const d = v ? new Date(`${v}T00:00`) : new Date();
  const s = dayStart(d);
  s.setDate(s.getDate() - ((s.getDay() + 6) % 7)); // Monday
  return s;
}

async function loadWeek() {
  $('week-zone').textContent = `Times in ${zoneText()}`;
  if (!$('week-channel').options.length) {
    const channels = await api('GET', '/api/channels');
    $('week-channel').replaceChildren(...channels.map((c) => el('option', { value: c.ChannelID }, `${c.ChannelID} ${c.Text2}`)));
  }
  if (!state.programs.length) {
    state.programs = await api('GET', '/api/programs');
  }
  const start = weekStart();
  $('week-start').value = dateInput(start);
  const end = new Date(start); end.setDate(end.getDate() + 7);
  const channel = $('week-channel').value;
  if (!channel) return;
  const list = await api('GET', `/api/channels/${enc(channel)}/schedules?from=${enc(start.toISOString())}&to=${enc(end.toISOString())}`);
  drawWeek(start, list);
}

function programName(id) {
  const p = state.programs.find((x) => x.ProgramID === id);
  return p ? p.Text2 : `program ${id}`;
}

// Schedules that overlap another of the same channel are marked; overlapping ones share the day's
// width in lanes.
function drawWeek(start, schedules) {
  const items = schedules.map((s) => ({ s, a: new Date(s.Real4), b: new Date(s.Real5) })).sort((x, y) => x.a - y.a);
  for (const it of items) it.overlap = items.some((o) => o !== it && o.a < it.b && it.a < o.b);
  const timeline = $('timeline');
  const hours = el('div', { class: 'hours' }, el('div', { class: 'dayhead' }, ''));
  for (let h = 0; h < 24; h++) hours.append(el('div', { class: 'hour' }, `${pad(h)}:00`));
  const days = [];
  for (let i = 0; i < 7; i++) {
    const d = new Date(start); d.setDate(d.getDate() + i);
    const col = el('div', { class: 'day', role: 'list', 'aria-label': d.toDateString() },
      el('div', { class: 'dayhead' }, d.toLocaleDateString(undefined, { weekday: 'short', day: 'numeric', month: 'short' })));
    const body = el('div', { class: 'daybody' });
    col.append(body);
    days.push({ d, body, lanes: [] });
  }
  for (const it of items) {
    const day = days.find((x) => dayStart(it.a).getTime() === x.d.getTime());
    if (!day) continue;
    let lane = day.lanes.findIndex((endTime) => endTime <= it.a);
    if (lane < 0) { lane = day.lanes.length; day.lanes.push(it.b); } else day.lanes[lane] = it.b;
    const minutes = (it.a - day.d) / 60000;
    const length = Math.min((it.b - it.a) / 60000, 24 * 60 - minutes);
    const text = `${pad(it.a.getHours())}:${pad(it.a.getMinutes())}–${pad(it.b.getHours())}:${pad(it.b.getMinutes())} ${programName(it.s.Number3)}`;
    const block = el('button', { type: 'button', role: 'listitem', class: `slot${it.overlap ? ' overlap' : ''}`,
      'data-schedule': it.s.ScheduleID, title: it.overlap ? `${text} (overlaps another schedule)` : text,
      onclick: () => editSchedule(it.s) }, it.overlap ? el('span', { class: 'badge' }, 'overlap') : null, text);
    block.style.top = `${minutes * MINUTE_PX}px`;
    block.style.height = `${Math.max(SLOT_MIN_PX, length * MINUTE_PX)}px`;
    block.dataset.lane = lane;
    day.body.append(block);
  }
  for (const day of days) {
    const n = Math.max(1, day.lanes.length);
    for (const b of day.body.children) {
      b.style.left = `${(100 / n) * Number(b.dataset.lane)}%`;
      b.style.width = `${100 / n}%`;
    }
  }
  timeline.replaceChildren(hours, ...days.map((x) => x.body.parentElement));
  // Open on the morning, where a broadcast day starts.
  timeline.scrollTop = 6 * 60 * MINUTE_PX;
}

async function editSchedule(s) {
  const fields = (await schemas())['/api/schedules'];
  const shown = { ...fields, ScheduleID: { type: 'integer', readOnly: true } };
  const done = await dialog(`Schedule ${s.ScheduleID}: ${programName(s.Number3)}`, `Times in ${zoneText()}`, 'Schedule', shown, s,
    (values) => api('PUT', `/api/schedules/${s.ScheduleID}`, values));
  if (done) { say('Schedule saved.'); loadWeek(); }
}

async function addSchedule() {
  const fields = (await schemas())['/api/schedules'];
  const start = weekStart(); start.setHours(12);
  const end = new Date(start); end.setHours(13);
  const done = await dialog('Add schedule', `Times in ${zoneText()}`, 'Schedule', fields,
    { Text2: $('week-channel').value, Real4: start.toISOString(), Real5: end.toISOString() },
    (values) => api('POST', '/api/schedules', values));
  if (done) { say('Schedule added.'); loadWeek(); }
}

// ---- statistics -------------------------------------------------------------------------------

function period() {
  const q = [];
  if ($('stats-from').value) q.push(`from=${enc(new Date(`${$('stats-from').value}T00:00`).toISOString())}`);
  if ($('stats-to').value) q.push(`to=${enc(new Date(`${$('stats-to').value}T23:59:59`).toISOString())}`);
  return q;
}

function barChart(id, labels, values, what) {
  if (state.charts[id]) state.charts[id].destroy();
  if (typeof Chart === 'undefined') { say('The chart library is not installed.', true); return; }
  state.charts[id] = new Chart($(id), {
    type: 'bar',
    data: { labels, datasets: [{ label: what, data: values, backgroundColor: '#3a6ea5' }] },
    options: { animation: false, responsive: false, plugins: { legend: { display: false } } },
  });
  $(id).setAttribute('aria-label', `${what}: ${labels.map((l, i) => `${l} ${values[i]}`).join(', ')}`);
}

async function loadStats() {
  if (!state.programs.length) state.programs = await api('GET', '/api/programs');
  const q = period();
  const top = await api('GET', `/api/statistics/top?${[...q, `count=${enc($('stats-count').value || 10)}`].join('&')}`);
  barChart('chart-top', top.map((t) => programName(t.Number1)), top.map((t) => t.Number2), 'uses');
  const id = $('usage-id').value;
  if (!id) return;
  const rows = await api('GET', `/api/${$('usage-kind').value}/${enc(id)}/statistics?${q.join('&')}`);
  const byName = new Map();
  const key = $('usage-kind').value === 'users' ? (r) => programName(r.Number1) : (r) => r.Text2;
  for (const r of rows) byName.set(key(r), (byName.get(key(r)) || 0) + r.Number3);
  barChart('chart-usage', [...byName.keys()], [...byName.values()], 'uses');
}

// ---- the server -------------------------------------------------------------------------------

async function loadServer() {
  const [info, sys, globals, mtp, log] = await Promise.all([api('GET', '/api/information'),
    api('GET', '/api/system'), api('GET', '/api/globals'), api('GET', '/api/mtp-servers'), api('GET', '/api/log')]);
  $('info-text').value = info.text;
  $('sysinfo').replaceChildren(...Object.entries(sys).flatMap(([k, v]) => [el('dt', {}, label('SysInfo', k)), el('dd', {}, v)]));
  $('globals').replaceChildren(recordTable('Global', globals, Object.keys(globals[0] || { Key: '' }),
    (g) => editRecord('/api/globals', 'Global', 'Key', g, loadServer)),
  el('button', { type: 'button', onclick: () => addRecord('/api/globals', 'Global', loadServer) }, 'Add setting'));
  $('mtp').replaceChildren(recordTable('MTPSvr', mtp, Object.keys(mtp[0] || { MTPSvrName: '' }),
    (m) => editRecord('/api/mtp-servers', 'MTPSvr', Object.keys(m)[0], m, loadServer)),
  el('button', { type: 'button', onclick: () => addRecord('/api/mtp-servers', 'MTPSvr', loadServer) }, 'Add MTP server'));
  state.log = log;
  drawLog();
  loadPaths();
}

function drawLog() {
  const needle = $('log-filter').value.toLowerCase();
  const rows = (state.log || []).filter((r) => !needle || Object.values(r).some((v) => String(v).toLowerCase().includes(needle)));
  $('log').replaceChildren(recordTable('LogEvent', rows.map((r) => ({ ...r, Real2: localText(r.Real2) })),
    Object.keys(rows[0] || { Number1: '', Real2: '', Text3: '', Text4: '' })));
}

async function loadPaths() {
  const id = $('paths-program').value;
  if (!id) { $('paths').replaceChildren(); return; }
  const paths = await api('GET', `/api/programs/${enc(id)}/paths`);
  $('paths').replaceChildren(recordTable('ProgramPath', paths, ['ProgramPath', 'Real3', 'Real4']));
}

// ---- wiring -----------------------------------------------------------------------------------

window.addEventListener('DOMContentLoaded', () => {
  $('signin-form').addEventListener('submit', (e) => {
    e.preventDefault();
    attempt(async () => {
      const s = await api('POST', '/api/session', { user: $('signin-user').value, password: $('signin-password').value });
      $('signin-password').value = '';
      await signedIn(s);
    }, 'Signed in.');
  });
  $('signout').addEventListener('click', () => attempt(async () => {
    await api('DELETE', '/api/session');
    showSignedOut();
  }, 'Signed out.'));
  for (const b of document.querySelectorAll('#nav button')) b.addEventListener('click', () => show(b.dataset.view));
  $('users-filter').addEventListener('input', filterUsers);
  $('users-add').addEventListener('click', () => addRecord('/api/users', 'User', loadUsers));
  $('week-channel').addEventListener('change', () => attempt(loadWeek));
  $('week-start').addEventListener('change', () => attempt(loadWeek));
  const shift = (days) => { const s = weekStart(); s.setDate(s.getDate() + days); $('week-start').value = dateInput(s); attempt(loadWeek); };
  $('week-prev').addEventListener('click', () => shift(-7));
  $('week-next').addEventListener('click', () => shift(7));
  $('week-add').addEventListener('click', addSchedule);
  $('stats-form').addEventListener('submit', (e) => { e.preventDefault(); attempt(loadStats); });
  $('info-save').addEventListener('click', () => attempt(() => api('PUT', '/api/information', { text: $('info-text').value }), 'Information saved.'));
  $('log-filter').addEventListener('input', drawLog);
  $('log-clear').addEventListener('click', async () => {
    if (await confirmDialog('Clear the log?', 'Every entry of the server\'s log is removed.')) {
      await attempt(() => api('DELETE', '/api/log'), 'Log cleared.');
      loadServer();
    }
  });
  $('paths-program').addEventListener('change', () => attempt(loadPaths));
  api('GET', '/api/session').then(signedIn, showSignedOut);
});
