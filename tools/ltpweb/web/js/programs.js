// The program tree: arrow keys walk it (one Tab stop), drag moves (Ctrl or Alt copies), "Move to..."
// and "Copy to..." do the same without a mouse, and a move can be undone.
import { $, api, attempt, button, confirmAction, el, enc, formDialog, recordTable, say, state, toast } from './core.js';
import { bitsInput, bitsText, forgetNames, loadNames, recordDetails, recordInputs, valueBits } from './schema.js';
import { go } from './router.js';

const collapsed = new Set();
let programs = [];       // every program, flat
let selected = 0;
let justDragged = false; // the click that ends a drag selects nothing

export async function loadTree(id) {
  if (id !== undefined) selected = Number(id) || 0;
  if (state.sameView && id !== undefined && byId(selected) && $('tree').querySelector(`li[data-program="${selected}"]`)) {
    for (const li of $('tree').querySelectorAll('li[aria-selected]')) li.setAttribute('aria-selected', String(Number(li.dataset.program) === selected));
    await showProgram(byId(selected));
    return;
  }
  const tree = await api('GET', '/api/programs/tree');
  forgetNames('Program');
  programs = [];
  const walk = (nodes, level) => nodes.forEach((p) => { p.level = level; programs.push(p); walk(p.children, level + 1); });
  walk(tree, 1);
  const build = (nodes) => nodes.map((p) => {
    const open = !collapsed.has(p.ProgramID);
    const item = el('li', { role: 'treeitem', tabindex: -1, 'data-program': p.ProgramID, 'aria-level': String(p.level),
      'aria-expanded': p.children.length ? String(open) : null, 'aria-selected': String(selected === p.ProgramID) });
    const toggle = el('span', { class: 'toggle', 'aria-hidden': 'true' }, p.children.length ? (open ? '▾' : '▸') : '·');
    item.append(toggle, el('span', { class: 'node', 'data-program': p.ProgramID }, p.Text2 || `#${p.ProgramID}`));
    if (p.children.length && open) item.append(el('ul', { role: 'group' }, build(p.children)));
    return item;
  });
  const root = $('tree');
  root.replaceChildren(...build(tree));
  if (!tree.length) root.replaceChildren(el('li', { role: 'treeitem', class: 'empty', tabindex: 0 }, 'There are no programs yet. Add one with "Add program".'));
  const focusable = root.querySelector(`li[data-program="${selected}"]`) || root.querySelector('li');
  if (focusable) focusable.tabIndex = 0;
  const p = programs.find((x) => x.ProgramID === selected);
  if (p) await showProgram(p);
  else $('program-detail').replaceChildren(el('p', { class: 'empty' },
    selected ? `There is no program ${selected} (any more). Choose another in the tree.` : 'Choose a program to see it and who holds rights on it.'));
}

const byId = (id) => programs.find((x) => x.ProgramID === id);
const below = (p) => p.children.flatMap((c) => [c, ...below(c)]);
const nameOf = (id) => (id === 0 ? 'the top level' : (byId(id) ? byId(id).Text2 : `program ${id}`));

export function initPrograms() {
  const root = $('tree');
  root.addEventListener('keydown', (e) => {
    const item = e.target.closest('li[role="treeitem"][data-program]');
    if (!item) return;
    const visible = [...root.querySelectorAll('li[role="treeitem"][data-program]')];
    const at = visible.indexOf(item);
    const id = Number(item.dataset.program);
    const p = byId(id);
    const focus = (li) => { if (!li) return; for (const v of visible) v.tabIndex = -1; li.tabIndex = 0; li.focus(); };
    const parentItem = item.parentElement.closest('li[role="treeitem"]');
    switch (e.key) {
      case 'ArrowDown': focus(visible[at + 1]); break;
      case 'ArrowUp': focus(visible[at - 1]); break;
      case 'Home': focus(visible[0]); break;
      case 'End': focus(visible[visible.length - 1]); break;
      case 'ArrowRight':
        if (p.children.length && collapsed.has(id)) { collapsed.delete(id); attempt(() => redraw(id)); } else if (p.children.length) focus(item.querySelector('li'));
        break;
      case 'ArrowLeft':
        if (p.children.length && !collapsed.has(id)) { collapsed.add(id); attempt(() => redraw(id)); } else focus(parentItem);
        break;
      case 'Enter': case ' ': go('programs', id); break;
      default: return;
    }
    e.preventDefault();
  });
  root.addEventListener('click', (e) => {
    const item = e.target.closest('li[role="treeitem"][data-program]');
    if (!item || justDragged) { justDragged = false; return; }
    const id = Number(item.dataset.program);
    if (e.target.closest('.toggle')) {
      if (collapsed.has(id)) collapsed.delete(id); else collapsed.add(id);
      attempt(() => redraw(id));
    } else go('programs', id);
  });
  dragging(root);
}

// Draws the tree again keeping focus on the program that had it.
async function redraw(focusId) {
  await loadTree();
  const li = $('tree').querySelector(`li[data-program="${focusId}"]`);
  if (li) { for (const x of $('tree').querySelectorAll('li')) x.tabIndex = -1; li.tabIndex = 0; li.focus(); }
}

// Moves (or copies) a program under another; a move can be undone from the toast.
async function relocate(id, to, copy) {
  const p = byId(id);
  const from = p.Number6;
  const before = new Set(programs.map((x) => x.ProgramID));
  await api('POST', `/api/programs/${id}/${copy ? 'copy' : 'move'}`, { to });
  if (copy) {
    await loadTree();
    // The copies are the programs that were not there before; undo deletes them, deepest first.
    const copies = programs.filter((x) => !before.has(x.ProgramID)).sort((a, b) => b.level - a.level);
    say(`Program ${p.Text2} copied under ${nameOf(to)}.`);
    toast(`Copied ${p.Text2} under ${nameOf(to)}.`, copies.length ? async () => {
      for (const c of copies) await api('DELETE', `/api/programs/${c.ProgramID}`);
      await redraw(id);
    } : null);
  } else {
    toast(`Moved ${p.Text2} under ${nameOf(to)}.`, async () => {
      await api('POST', `/api/programs/${id}/move`, { to: from });
      await redraw(id);
    });
    say(`Program ${p.Text2} moved.`);
  }
  collapsed.delete(to);
  await redraw(id);
}

async function chooseTarget(p, copy) {
  const excluded = new Set(copy ? [] : [p.ProgramID, ...below(p).map((c) => c.ProgramID)]);
  const select = el('select', { name: 'to' }, el('option', { value: '0' }, '(top level)'),
    programs.filter((x) => !excluded.has(x.ProgramID)).map((x) => el('option', { value: x.ProgramID }, `${'  '.repeat(x.level - 1)}${x.Text2} (${x.ProgramID})`)));
  select.value = String(p.Number6);
  const verb = copy ? 'Copy' : 'Move';
  const done = await formDialog({ title: `${verb} program ${p.Text2}`, text: below(p).length ? `Its ${below(p).length} program(s) below go with it.` : '',
    inputs: { to: { node: el('label', {}, `${verb} under `, select), read: () => Number(select.value) } }, ok: `${verb} ${p.Text2}` });
  if (done) await relocate(p.ProgramID, done.to, copy);
}

async function showProgram(p) {
  const id = p.ProgramID;
  const [users, groups] = await Promise.all([api('GET', `/api/programs/${id}/rights/users`), api('GET', `/api/programs/${id}/rights/groups`)]);
  const grants = (kind, list, key) => Promise.all(list.map(async (r) => {
    const g = await api('GET', `/api/programs/${id}/rights/${kind}/${enc(r[key])}`).catch(() => ({ rights: null }));
    return { who: r[key], rights: g.rights };
  }));
  const rightsBits = valueBits('user_rights');
  const [userGrants, groupGrants] = await Promise.all([grants('users', users, 'UserID'), grants('groups', groups, 'GroupID')]);
  await loadNames('Program').catch(() => null);
  const kids = below(p);
  const record = Object.fromEntries(Object.entries(p).filter(([k]) => k !== 'children' && k !== 'level'));
  const grantColumns = [{ title: 'Who', text: (r) => r.who }, { title: 'Rights', text: (r) => (r.rights === null ? '?' : bitsText(rightsBits, r.rights)) }];
  const who = el('input', { 'aria-label': 'User or group' });
  const kind = el('select', { 'aria-label': 'Kind' }, el('option', { value: 'users' }, 'user'), el('option', { value: 'groups' }, 'group'));
  const rights = rightsBits ? bitsInput('Rights', rightsBits, 1, 'rights') : (() => {
    const n = el('input', { type: 'number', value: 1, 'aria-label': 'Rights' });
    return { node: n, read: () => parseInt(n.value, 10) || 0 };
  })();
  const grantRow = (kindName) => (r) => editGrant(p, kindName, r);
  $('program-detail').replaceChildren(
    el('h3', {}, p.Text2 || `#${id}`),
    recordDetails('Program', record, $('programs-showall').checked),
    el('div', { class: 'buttons' },
      button('Edit', () => editProgram(record)),
      button('Add program below', () => addProgram(id)),
      button('Move to…', () => chooseTarget(p, false)),
      button('Copy to…', () => chooseTarget(p, true)),
      button(kids.length ? `Delete program ${p.Text2} and its ${kids.length} program${kids.length === 1 ? '' : 's'}` : `Delete program ${p.Text2}`,
        () => deleteProgram(p, kids), { class: 'danger' })),
    el('h4', {}, 'Users with rights'), recordTable('Users with rights', grantColumns, userGrants, grantRow('users'), 'No user holds rights of their own here.'),
    el('h4', {}, 'Groups with rights'), recordTable('Groups with rights', grantColumns, groupGrants, grantRow('groups'), 'No group holds rights here.'),
    el('h4', {}, 'Grant rights'),
    el('div', { class: 'toolbar' }, kind, who, rights.node, button('Set rights', async () => {
      if (!who.value.trim()) throw new Error('Name the user or group to grant rights to.');
      const path = `/api/programs/${id}/rights/${kind.value}/${enc(who.value.trim())}`;
      const body = { rights: rights.read() };
      await api('PUT', path, body).catch((e) => { if (e.status === 404) return api('POST', path, body); throw e; });
      say('Rights set.');
      await loadTree();
    })),
    button(`Apply to ${kids.length} below`, async () => {
      if (await confirmAction('Apply rights to the programs below?',
        `The rights granted on "${p.Text2}" replace the rights now granted on ${kids.length} program(s) below it: ${kids.map((c) => c.Text2).join(', ')}.`,
        `Apply rights to ${kids.length} programs`)) {
        await api('POST', `/api/programs/${id}/apply-permission`);
        say('Rights applied below.');
      }
    }, { disabled: !kids.length }),
    el('p', {}, el('a', { href: `#/stats/programs/${id}` }, 'Usage statistics')));
}

async function editGrant(p, kindName, r) {
  const rightsBits = valueBits(kindName === 'users' ? 'user_rights' : 'group_rights');
  const input = rightsBits ? bitsInput('Rights', rightsBits, r.rights, 'rights') : (() => {
    const n = el('input', { type: 'number', value: r.rights, name: 'rights' });
    return { node: el('label', {}, 'Rights ', n), read: () => parseInt(n.value, 10) || 0 };
  })();
  const path = `/api/programs/${p.ProgramID}/rights/${kindName}/${enc(r.who)}`;
  const done = await formDialog({ title: `Rights of ${r.who} on ${p.Text2}`, inputs: { rights: input }, ok: 'Save rights',
    onSubmit: (v) => api('PUT', path, v) });
  if (done) { say('Rights saved.'); await loadTree(); }
}

async function addProgram(parent) {
  const inputs = await recordInputs('Program', { Number6: parent }, { adding: true, all: $('programs-showall').checked });
  const done = await formDialog({ title: 'Add program', inputs, ok: 'Add program', onSubmit: async (v) => { Object.assign(v, await api('POST', '/api/programs', v)); } });
  if (done) { say(`Program ${done.Text2 || done.ProgramID} added.`); go('programs', done.ProgramID); }
}

async function editProgram(record) {
  const inputs = await recordInputs('Program', record, { all: $('programs-showall').checked });
  const done = await formDialog({ title: `Edit program ${record.Text2}`, inputs, ok: 'Save program',
    onSubmit: (v) => api('PUT', `/api/programs/${record.ProgramID}`, { ...record, ...v }) });
  if (done) { say(`Program ${record.Text2} saved.`); await loadTree(); }
}

async function deleteProgram(p, kids) {
  const text = kids.length
    ? `"${p.Text2}" and the ${kids.length} program(s) below it (${kids.map((c) => c.Text2).join(', ')}) go, with their rights and paths. The server refuses while programs are below it: move or delete those first.`
    : `"${p.Text2}" is removed from the server with its rights and paths.`;
  if (!await confirmAction(`Delete program ${p.Text2}?`, text,
    kids.length ? `Delete program ${p.Text2} and its ${kids.length} program${kids.length === 1 ? '' : 's'}` : `Delete program ${p.Text2}`)) return;
  await api('DELETE', `/api/programs/${p.ProgramID}`);
  say(`Program ${p.Text2} deleted.`);
  selected = 0;
  go('programs');
}

// Dragging with the mouse: press on a program, move, release over another.
function dragging(root) {
  let drag = null;
  root.addEventListener('mousedown', (e) => {
    const node = e.target.closest('.node');
    if (node && e.button === 0) drag = { id: Number(node.dataset.program), x: e.clientX, y: e.clientY, moving: false };
  });
  document.addEventListener('mousemove', (e) => {
    if (!drag) return;
    if (!drag.moving && Math.hypot(e.clientX - drag.x, e.clientY - drag.y) > 4) {
      drag.moving = true;
      document.body.classList.add('dragging');
    }
    for (const n of root.querySelectorAll('.drop')) n.classList.remove('drop');
    const over = document.elementFromPoint(e.clientX, e.clientY);
    const target = over && over.closest('#tree .node');
    if (drag.moving && target && Number(target.dataset.program) !== drag.id) target.classList.add('drop');
  });
  document.addEventListener('mouseup', (e) => {
    if (!drag) return;
    const { id, moving } = drag;
    drag = null;
    document.body.classList.remove('dragging');
    for (const n of root.querySelectorAll('.drop')) n.classList.remove('drop');
    if (!moving) return;
    justDragged = true;
    setTimeout(() => { justDragged = false; }, 0);
    const over = document.elementFromPoint(e.clientX, e.clientY);
    const target = over && over.closest('#tree .node');
    if (!target) return;
    const to = Number(target.dataset.program);
    if (to !== id) attempt(() => relocate(id, to, e.ctrlKey || e.altKey));
  });
}
