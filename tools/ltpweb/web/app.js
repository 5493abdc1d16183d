// The ltpweb page: talks to the JSON API of the server that serves it. Every text that comes from
// the LTP server is put on the page as text (textContent, never markup).
import { $, api, attempt, refresh, say, state, whenSignedOut } from './js/core.js';
import { loadSchema } from './js/schema.js';
import { currentRoute, go, whenRouted } from './js/router.js';
import { initUsers, loadUsers } from './js/users.js';
import { initGroups, loadGroups } from './js/groups.js';
import { initPrograms, loadTree } from './js/programs.js';
import { initWeek, loadWeek } from './js/week.js';
import { initStats, loadStats } from './js/stats.js';
import { initServer, loadServer } from './js/server.js';
import { initActivity, loadActivity } from './js/activity.js';

const VIEWS = { users: loadUsers, groups: loadGroups, programs: loadTree, week: loadWeek, stats: loadStats,
                server: loadServer, activity: loadActivity };
// Whether to ask for the session at start: asking without one would log a 401 on every visit.
const HINT = 'ltpweb-signed-in';

function showSignedOut() {
  state.csrf = '';
  lastView = '';
  localStorage.removeItem(HINT);
  document.body.classList.remove('signed-in');
  $('nav').hidden = true;
  $('whoami').hidden = true;
  for (const section of document.querySelectorAll('.view')) section.hidden = section.id !== 'view-signin';
  $('signin-user').focus();
}

async function signedIn(session) {
  state.csrf = session.csrf;
  state.user = session.user;
  localStorage.setItem(HINT, '1');
  document.body.classList.add('signed-in');
  $('whoami-name').textContent = session.user;
  $('whoami').hidden = false;
  $('nav').hidden = false;
  await loadSchema().catch((e) => say(`Field meanings unavailable: ${e.message}`, true));
  route();
}

let lastView = '';

// Draws the view the address names.
function route() {
  if (!state.csrf) return;
  const [view, ...keys] = currentRoute();
  if (!VIEWS[view]) { go('users'); return; }
  for (const section of document.querySelectorAll('.view')) section.hidden = section.id !== `view-${view}`;
  for (const a of document.querySelectorAll('#nav a')) {
    if (a.dataset.view === view) a.setAttribute('aria-current', 'page'); else a.removeAttribute('aria-current');
  }
  // Choosing another record of the view shown keeps its list; coming to the view refreshes it.
  state.sameView = view === lastView;
  lastView = view;
  document.title = `${view[0].toUpperCase()}${view.slice(1)}${keys.length ? ` ${keys.join(' ')}` : ''} – ltpweb`;
  refresh(view, () => VIEWS[view](...keys));
}

window.addEventListener('DOMContentLoaded', () => {
  whenSignedOut(showSignedOut);
  whenRouted(route);
  window.addEventListener('hashchange', route);
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
  initUsers();
  initGroups();
  initPrograms();
  initWeek();
  initStats();
  initServer();
  initActivity();
  if (localStorage.getItem(HINT)) api('GET', '/api/session').then(signedIn, showSignedOut);
  else showSignedOut();
});
