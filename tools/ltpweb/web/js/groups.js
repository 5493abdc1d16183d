// Groups: the list, a group's members, adding and removing members, adding and deleting groups.
import { $, api, attempt, button, confirmAction, el, enc, formDialog, recordTable, roving, say, toast } from './core.js';
import { loadNames, recordDetails, recordInputs } from './schema.js';
import { go } from './router.js';
import { removeMembership } from './users.js';

export function initGroups() {
  $('groups-add').addEventListener('click', () => attempt(addGroup));
}

export async function loadGroups(id) {
  const groups = await api('GET', '/api/groups');
  const list = $('groups-list');
  if (!groups.length) {
    list.replaceChildren(el('li', { class: 'empty', role: 'option', 'aria-disabled': 'true', 'aria-selected': 'false' }, 'There are no groups yet. Add one with "Add group".'));
  } else {
    list.replaceChildren(...groups.map((g, i) => el('li', { role: 'option', tabindex: i === 0 ? 0 : -1, 'data-group': g.GroupID,
      'aria-selected': String(g.GroupID === id) }, el('strong', {}, g.GroupID), ' ', g.Text2 || '')));
    if (!list.dataset.wired) {
      list.dataset.wired = '1';
      roving(list, '[role="option"]', (item) => go('groups', item.dataset.group));
    }
  }
  const detail = $('group-detail');
  if (!id) { detail.replaceChildren(el('p', { class: 'empty' }, 'Choose a group to see its members.')); return; }
  const g = groups.find((x) => x.GroupID === id);
  if (!g) { detail.replaceChildren(el('p', { class: 'empty' }, `There is no group "${id}" (any more). Choose another.`)); return; }
  const active = list.querySelector(`[data-group="${CSS.escape(id)}"]`);
  if (active) { for (const o of list.children) o.tabIndex = -1; active.tabIndex = 0; }
  await showGroup(g);
}

async function showGroup(g) {
  const members = await api('GET', `/api/groups/${enc(g.GroupID)}/users`);
  const users = await loadNames('User', true).catch(() => new Map());
  const who = el('input', { 'aria-label': 'User to add', list: 'group-user-choices', autocomplete: 'off' });
  const choices = el('datalist', { id: 'group-user-choices' }, [...users].map(([id, n]) => el('option', { value: id }, n)));
  const reload = () => loadGroups(g.GroupID);
  $('group-detail').replaceChildren(el('h3', {}, g.GroupID), recordDetails('Group', g),
    el('div', { class: 'buttons' },
      button('Edit', () => editGroup(g)),
      button(`Delete group ${g.GroupID}`, () => deleteGroup(g, members), { class: 'danger' })),
    el('h4', {}, `Members (${members.length})`),
    members.length ? el('ul', { class: 'members' }, members.map((m) => el('li', {},
      el('a', { href: `#/users/${enc(m.UserID)}` }, m.UserID), ` ${m.Text2 || ''} `,
      button(`Remove ${m.UserID}`, () => removeMembership(m.UserID, g.GroupID, reload))))) :
      el('p', { class: 'empty' }, 'No members yet. Add a user below.'),
    el('div', { class: 'toolbar' }, who, choices, button('Add member', async () => {
      const user = who.value.trim();
      if (!user) throw new Error('Name the user to add.');
      await api('PUT', `/api/users/${enc(user)}/groups/${enc(g.GroupID)}`);
      toast(`${user} added to ${g.GroupID}.`, async () => { await api('DELETE', `/api/users/${enc(user)}/groups/${enc(g.GroupID)}`); await reload(); });
      await reload();
    })));
}

async function addGroup() {
  const inputs = await recordInputs('Group', {}, { adding: true });
  const done = await formDialog({ title: 'Add group', inputs, ok: 'Add group', onSubmit: (v) => api('POST', '/api/groups', v) });
  if (done) { say(`Group ${done.GroupID} added.`); go('groups', done.GroupID); }
}

async function editGroup(g) {
  const inputs = await recordInputs('Group', g);
  const done = await formDialog({ title: `Edit group ${g.GroupID}`, inputs, ok: 'Save group',
    onSubmit: (v) => api('PUT', `/api/groups/${enc(g.GroupID)}`, { ...g, ...v }) });
  if (done) { say(`Group ${g.GroupID} saved.`); await loadGroups(g.GroupID); }
}

async function deleteGroup(g, members) {
  const what = members.length ? ` and its ${members.length} membership${members.length === 1 ? '' : 's'} (${members.map((m) => m.UserID).join(', ')})` : '';
  if (!await confirmAction(`Delete group ${g.GroupID}?`, `The group "${g.GroupID}"${what} are removed; its members lose the rights it grants.`,
    `Delete group ${g.GroupID}${members.length ? ` and its ${members.length} memberships` : ''}`)) return;
  await api('DELETE', `/api/groups/${enc(g.GroupID)}`);
  toast(`Group ${g.GroupID} deleted.`, async () => {
    await api('POST', '/api/groups', g);
    for (const m of members) await api('PUT', `/api/users/${enc(m.UserID)}/groups/${enc(g.GroupID)}`);
    go('groups', g.GroupID);
  });
  go('groups');
}
