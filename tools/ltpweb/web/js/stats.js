// Usage statistics as bar charts that follow the width of the page, with titled axes.
import { $, api, enc, say } from './core.js';
import { loadNames, refText } from './schema.js';
import { go } from './router.js';

const charts = {};

export function initStats() {
  $('stats-form').addEventListener('submit', (e) => {
    e.preventDefault();
    const id = $('usage-id').value.trim();
    if (id) go('stats', $('usage-kind').value, id); else go('stats');
  });
}

function period() {
  const q = [];
  if ($('stats-from').value) q.push(`from=${enc(new Date(`${$('stats-from').value}T00:00`).toISOString())}`);
  if ($('stats-to').value) q.push(`to=${enc(new Date(`${$('stats-to').value}T23:59:59`).toISOString())}`);
  return q;
}

// Draws (or says why not); a failed or empty answer leaves no old chart behind.
function barChart(id, labels, values, xTitle, yTitle, empty) {
  if (charts[id]) { charts[id].destroy(); delete charts[id]; }
  const canvas = $(id);
  const note = $(`${id}-empty`);
  note.hidden = labels.length !== 0;
  note.textContent = empty;
  canvas.hidden = labels.length === 0;
  canvas.setAttribute('aria-label', labels.length ? `${yTitle} by ${xTitle}: ${labels.map((l, i) => `${l} ${values[i]}`).join(', ')}` : empty);
  if (!labels.length) return;
  if (typeof Chart === 'undefined') { say('The chart library is not installed.', true); return; }
  const dark = matchMedia('(prefers-color-scheme: dark)').matches;
  const ink = dark ? '#d8dee6' : '#1d232b';
  const grid = dark ? '#3a4450' : '#e3e6ea';
  const axis = (title) => ({ title: { display: true, text: title, color: ink }, ticks: { color: ink }, grid: { color: grid } });
  charts[id] = new Chart(canvas, {
    type: 'bar',
    data: { labels, datasets: [{ label: yTitle, data: values, backgroundColor: dark ? '#7fb0e6' : '#3a6ea5' }] },
    options: { animation: false, responsive: true, maintainAspectRatio: false, plugins: { legend: { display: false } },
      scales: { x: axis(xTitle), y: { ...axis(yTitle), beginAtZero: true } } },
  });
}

export async function loadStats(kind, id) {
  // Nothing from before stays on screen while loading or after a failure.
  for (const c of Object.values(charts)) c.destroy();
  for (const k of Object.keys(charts)) delete charts[k];
  for (const id of ['chart-top', 'chart-usage']) { $(id).hidden = true; $(`${id}-empty`).hidden = true; }
  if (kind) $('usage-kind').value = kind;
  if (id !== undefined) $('usage-id').value = id;
  await loadNames('Program').catch(() => null);
  const q = period();
  const top = await api('GET', `/api/statistics/top?${[...q, `count=${enc($('stats-count').value || 10)}`].join('&')}`);
  const name = (n) => refText('Program', n).replace(/^\d+ /, '');
  barChart('chart-top', top.map((t) => name(t.Number1)), top.map((t) => t.Number2), 'Program', 'Uses',
    'No program was used in this period. Choose a longer period.');
  const who = $('usage-id').value;
  if (!who) {
    barChart('chart-usage', [], [], '', '', 'Name a user or a program above to see their use.');
    return;
  }
  const users = $('usage-kind').value === 'users';
  const rows = await api('GET', `/api/${users ? 'users' : 'programs'}/${enc(who)}/statistics?${q.join('&')}`);
  const byName = new Map();
  const key = users ? (r) => name(r.Number1) : (r) => r.Text2;
  for (const r of rows) byName.set(key(r), (byName.get(key(r)) || 0) + r.Number3);
  barChart('chart-usage', [...byName.keys()], [...byName.values()], users ? 'Program' : 'User', 'Uses',
    `${who} has no use in this period.`);
}
