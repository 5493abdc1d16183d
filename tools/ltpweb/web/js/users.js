// Users: a virtual list paged and searched by the server; only the visible rows are in the page.
import { $, api, attempt, button, confirmAction, el, enc, formDialog, refresh, say, state, toast } from './core.js';
import { label, loadNames, recordDetails, recordInputs, refText, bitsText, valueBits } from './schema.js';
import { go } from './router.js';

const ROW = 28;
const PAGE = 100;
const COLUMNS = ['UserID', 'Text2', 'Text3', 'Text4'];
const list = { total: 0, pages: new Map(), sort: 'UserID', q: '', active: 0, generation: 0, wantFocus: false };
let selected = null;

export function initUsers() {
  let timer = 0;
  $('users-filter').addEventListener('input', () => {
    clearTimeout(timer);
    timer = setTimeout(() => { list.q = $('users-filter').value; refresh('users', reloadUsers); }, 200);
  });
  $('users-add').addEventListener('click', () => attempt(addUser));
  $('users-showall').addEventListener('change', () => selected && attempt(() => showUser(selected.UserID)));
}

// Forgets the fetched pages and fetches the first again: after every change.
export async function reloadUsers() {
  list.generation++;
  list.pages = new Map();
  list.wantFocus = false;
  const generation = list.generation;
  await fetchPage(0);
  if (generation === list.generation) buildTable(); // a later search answers for itself
}

export async function loadUsers(id) {
  if (!(state.sameView && id && $('users-viewport'))) await reloadUsers();
  if (id) await showUser(id);
  else { selected = null; $('user-detail').replaceChildren(el('p', { class: 'empty' }, 'Choose a user to see their details, groups and rights.')); }
}

async function fetchPage(n) {
  const generation = list.generation;
  const sort = list.sort;
  const page = await api('GET', `/api/users?offset=${n * PAGE}&limit=${PAGE}&sort=${enc(sort)}&q=${enc(list.q)}`);
  if (generation !== list.generation) return;
  list.total = page.total;
  list.pages.set(n, page.items);
}

const userAt = (i) => { const p = list.pages.get(Math.floor(i / PAGE)); return p ? p[i % PAGE] : undefined; };

function buildTable() {
  const table = $('users-table');
  const sortKey = list.sort.replace(/^-/, '');
  const up = !list.sort.startsWith('-');
  table.setAttribute('aria-rowcount', String(list.total + 1));
  table.dataset.q = list.q; // which search the rows answer
  const head = el('div', { class: 'vrow vhead', role: 'row', 'aria-rowindex': '1' }, COLUMNS.map((c) => el('div', { role: 'columnheader',
    'aria-sort': sortKey === c ? (up ? 'ascending' : 'descending') : 'none' },
  el('button', { type: 'button', onclick: () => {
    list.sort = sortKey === c && up ? `-${c}` : c;
    refresh('users', reloadUsers);
  } }, label('User', c)))));
  const viewport = $('users-viewport') || el('div', { id: 'users-viewport', class: 'vbody' });
  const spacer = el('div', { class: 'vspacer', role: 'presentation' });
  spacer.style.height = `${list.total * ROW}px`;
  viewport.replaceChildren(head, spacer);
  viewport.onscroll = () => renderRows();
  viewport.onkeydown = onKey;
  table.replaceChildren(viewport);
  list.active = Math.min(list.active, Math.max(0, list.total - 1));
  $('users-count').textContent = `${list.total} user${list.total === 1 ? '' : 's'}${list.q ? ' found' : ''}`;
  $('users-empty').hidden = list.total !== 0;
  $('users-empty').textContent = list.q ? `No user matches "${list.q}". Change the filter or add a user.` : 'There are no users yet. Add one with "Add user".';
  renderRows();
}

// The visible rows, and the active row even when scrolled away so that focus stays on it.
function renderRows() {
  const viewport = $('users-viewport');
  const spacer = viewport && viewport.querySelector('.vspacer');
  if (!spacer) return;
  const hadFocus = spacer.contains(document.activeElement);
  const first = Math.max(0, Math.floor(viewport.scrollTop / ROW) - 1);
  const count = Math.ceil(viewport.clientHeight / ROW) + 2;
  const indexes = new Set();
  for (let i = first; i < Math.min(first + count, list.total); i++) indexes.add(i);
  if (list.total) indexes.add(list.active);
  const missing = new Set();
  // Rows still shown are kept, not rebuilt, so that focus, hover and clicks on them survive.
  const kept = new Map([...spacer.children].map((r) => [`${r.dataset.index}\n${r.dataset.user}`, r]));
  const rows = [];
  for (const i of [...indexes].sort((a, b) => a - b)) {
    const u = userAt(i);
    if (!u) { missing.add(Math.floor(i / PAGE)); continue; }
    let row = kept.get(`${i}\n${u.UserID}`);
    if (!row) {
      row = el('div', { class: 'vrow', role: 'row', 'data-user': u.UserID, 'aria-rowindex': String(i + 2) },
        COLUMNS.map((c) => el('div', { role: 'gridcell' }, u[c])));
      row.dataset.index = i;
      row.style.top = `${i * ROW}px`;
      row.addEventListener('click', () => { list.active = i; go('users', u.UserID); });
    }
    row.tabIndex = i === list.active ? 0 : -1;
    row.setAttribute('aria-selected', String(!!selected && selected.UserID === u.UserID));
    rows.push(row);
  }
  if (rows.length !== spacer.children.length || rows.some((r, k) => spacer.children[k] !== r)) spacer.replaceChildren(...rows);
  // A row reached by key may arrive with its page later: focus goes to it then.
  if (hadFocus || list.wantFocus) {
    const active = spacer.querySelector(`[data-index="${list.active}"]`);
    if (active) { active.focus({ preventScroll: true }); list.wantFocus = false; }
  }
  for (const n of missing) {
    attempt(async () => { await fetchPage(n); renderRows(); });
  }
}

function onKey(e) {
  const row = e.target.closest('.vrow[data-index]');
  if (!row) return;
  const step = { ArrowDown: 1, ArrowUp: -1, PageDown: 10, PageUp: -10 }[e.key];
  let to = step !== undefined ? list.active + step : e.key === 'Home' ? 0 : e.key === 'End' ? list.total - 1 : undefined;
  if (to !== undefined) {
    e.preventDefault();
    to = Math.max(0, Math.min(list.total - 1, to));
    list.active = to;
    list.wantFocus = true;
    const viewport = $('users-viewport');
    const top = to * ROW, head = ROW;
    if (top < viewport.scrollTop) viewport.scrollTop = top;
    else if (top + 2 * ROW > viewport.scrollTop + viewport.clientHeight) viewport.scrollTop = top + 2 * ROW - viewport.clientHeight + head;
    renderRows();
    const r = $('users-viewport').querySelector(`[data-index="${to}"]`);
    if (r) r.focus({ preventScroll: true });
  } else if (e.key === 'Enter') {
    e.preventDefault();
    go('users', row.dataset.user);
  }
}

async function showUser(id) {
  const box = $('user-detail');
  let u;
  try {
    u = await api('GET', `/api/users/${enc(id)}`);
  } catch (e) {
    if (e.status !== 404) throw e;
    selected = null;
    box.replaceChildren(el('p', { class: 'empty' }, `There is no user "${id}" (any more). Choose another from the list.`));
    return;
  }
  selected = u;
  for (const r of document.querySelectorAll('#users-table .vrow[aria-selected]')) r.setAttribute('aria-selected', String(r.dataset.user === u.UserID));
  const groups = await api('GET', `/api/users/${enc(u.UserID)}/groups`);
  const all = $('users-showall').checked;
  const permOut = el('output', { id: 'perm-out' });
  const programs = await loadNames('Program').catch(() => new Map());
  const program = el('select', { 'aria-label': 'Program' }, [...programs].map(([pid, n]) => el('option', { value: pid }, `${n} (${pid})`)));
  const rightsBits = valueBits('permission');
  box.replaceChildren(
    el('h3', {}, u.UserID),
    recordDetails('User', u, all),
    el('div', { class: 'buttons' },
      button('Edit', () => editUser(u)),
      button(`Delete user ${u.UserID}`, () => deleteUser(u, groups), { class: 'danger' })),
    el('h4', {}, 'Groups'),
    groups.length ? el('ul', {}, groups.map((g) => el('li', {}, `${g.GroupID} `,
      button(`Remove from ${g.GroupID}`, () => removeMembership(u.UserID, g.GroupID, () => showUser(u.UserID)))))) :
      el('p', { class: 'empty' }, 'In no group. Add the user to one on the Groups page.'),
    el('h4', {}, 'Permission on a program'),
    el('div', { class: 'toolbar' }, el('label', {}, 'Program ', program), button('Look up', async () => {
      const pid = enc(program.value || '0');
      const [p, r] = await Promise.all([
        api('GET', `/api/users/${enc(u.UserID)}/permission/${pid}`),
        api('GET', `/api/programs/${pid}/rights/users/${enc(u.UserID)}`).catch(() => null)]);
      permOut.textContent = `${refText('Program', program.value)}: permission ${bitsText(rightsBits, p.permission)}; ` +
        (r ? `own rights ${bitsText(rightsBits, r.rights)}` : 'no rights of their own');
    }), permOut),
    button('Usage statistics', () => go('stats', 'users', u.UserID)));
}

export async function removeMembership(user, group, after) {
  if (!await confirmAction(`Remove ${user} from ${group}?`, `${user} loses the rights the group "${group}" grants.`, `Remove ${user} from ${group}`)) return;
  await api('DELETE', `/api/users/${enc(user)}/groups/${enc(group)}`);
  toast(`${user} removed from ${group}.`, async () => { await api('PUT', `/api/users/${enc(user)}/groups/${enc(group)}`); await after(); });
  await after();
}

async function addUser() {
  const inputs = await recordInputs('User', {}, { adding: true, all: $('users-showall').checked });
  const done = await formDialog({ title: 'Add user', inputs, ok: 'Add user', onSubmit: (v) => api('POST', '/api/users', v) });
  if (!done) return;
  say(`User ${done.UserID} added.`);
  await reloadUsers();
  go('users', done.UserID);
}

async function editUser(u) {
  const inputs = await recordInputs('User', u, { all: $('users-showall').checked });
  const done = await formDialog({ title: `Edit user ${u.UserID}`, inputs, ok: 'Save user',
    onSubmit: (v) => api('PUT', `/api/users/${enc(u.UserID)}`, { ...u, ...v }) });
  if (!done) return;
  say(`User ${u.UserID} saved.`);
  await reloadUsers();
  await showUser(u.UserID);
}

async function deleteUser(u, groups) {
  const member = groups.length ? ` and their membership of ${groups.length} group${groups.length === 1 ? '' : 's'} (${groups.map((g) => g.GroupID).join(', ')})` : '';
  if (!await confirmAction(`Delete user ${u.UserID}?`, `The user "${u.UserID}"${member} are removed from the server.`, `Delete user ${u.UserID}`)) return;
  await api('DELETE', `/api/users/${enc(u.UserID)}`);
  toast(`User ${u.UserID} deleted.`, async () => {
    await api('POST', '/api/users', u);
    for (const g of groups) await api('PUT', `/api/users/${enc(u.UserID)}/groups/${enc(g.GroupID)}`);
    await reloadUsers();
    go('users', u.UserID);
  });
  selected = null;
  go('users');
}
