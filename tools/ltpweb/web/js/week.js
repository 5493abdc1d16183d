// The week of a channel: one-off schedules on their day, repeating ones (days set) on every day of
// the week they run; overlaps are marked and share the day's width in lanes.
import { $, api, attempt, button, confirmAction, dateInput, dayStart, el, enc, formDialog, pad, say, toast, zoneText } from './core.js';
import { bitsOf, field, loadNames, recordInputs, refText, valueText } from './schema.js';
import { go } from './router.js';

const MINUTE_PX = 40 / 60; // an hour is 40 pixels high
const SLOT_MIN_PX = 18;
const DAY_MS = 86400000;

export function initWeek() {
  const shift = (days) => { const s = weekStart(); s.setDate(s.getDate() + days); go('week', $('week-channel').value, dateInput(s)); };
  $('week-prev').addEventListener('click', () => shift(-7));
  $('week-next').addEventListener('click', () => shift(7));
  $('week-channel').addEventListener('change', () => go('week', $('week-channel').value, $('week-start').value));
  $('week-start').addEventListener('change', () => go('week', $('week-channel').value, $('week-start').value));
  $('week-add').addEventListener('click', () => attempt(addSchedule));
}

function weekStart() {
  const v = $('week-start').value;
  const d = v ? new Date(`${v}T00:00`) : new Date();
  const s = dayStart(isNaN(d) ? new Date() : d);
  s.setDate(s.getDate() - ((s.getDay() + 6) % 7)); // Monday
  return s;
}

export async function loadWeek(channel, date) {
  $('week-zone').textContent = `Times in ${zoneText()}`;
  const channels = await api('GET', '/api/channels');
  const select = $('week-channel');
  const keep = channel || select.value;
  select.replaceChildren(...channels.map((c) => el('option', { value: c.ChannelID }, `${c.Text2 || c.ChannelID} (${c.ChannelID})`)));
  if (keep && channels.some((c) => c.ChannelID === keep)) select.value = keep;
  if (date) $('week-start').value = date;
  await loadNames('Program').catch(() => null);
  const start = weekStart();
  $('week-start').value = dateInput(start);
  if (!select.value) {
    $('timeline').replaceChildren(el('p', { class: 'empty' }, 'There are no channels. Add a channel with ltpctl first; schedules belong to a channel.'));
    return;
  }
  const list = await api('GET', `/api/channels/${enc(select.value)}/schedules`);
  drawWeek(start, list);
}

// Where a schedule falls in the week starting at start: [{day, a, b}]. A schedule with days set
// repeats at its time of day on those weekdays (bit 1 Monday ... 64 Sunday), else it is one-off.
export function occurrences(s, start) {
  const a = new Date(s.Real4), b = new Date(s.Real5);
  if (isNaN(a) || isNaN(b)) return [];
  const days = Number(s.Number6) || 0;
  const out = [];
  for (let i = 0; i < 7; i++) {
    const d = new Date(start); d.setDate(d.getDate() + i);
    if (days) {
      if (!(days & (1 << i))) continue;
      const from = new Date(d); from.setHours(a.getHours(), a.getMinutes(), a.getSeconds(), 0);
      const length = Math.max(0, b - a) % DAY_MS || Math.max(0, b - a);
      out.push({ day: i, a: from, b: new Date(from.getTime() + Math.min(length, DAY_MS)) });
    } else if (dayStart(a).getTime() === d.getTime()) out.push({ day: i, a, b });
  }
  return out;
}

function drawWeek(start, schedules) {
  const days = [];
  for (let i = 0; i < 7; i++) {
    const d = new Date(start); d.setDate(d.getDate() + i);
    days.push({ d, items: [], lanes: [] });
  }
  for (const s of schedules) for (const o of occurrences(s, start)) days[o.day].items.push({ s, ...o });
  const hours = el('div', { class: 'hours' }, el('div', { class: 'dayhead' }, ''));
  for (let h = 0; h < 24; h++) hours.append(el('div', { class: 'hour' }, `${pad(h)}:00`));
  const columns = days.map((day) => {
    day.items.sort((x, y) => x.a - y.a);
    for (const it of day.items) it.overlap = day.items.some((o) => o !== it && o.a < it.b && it.a < o.b);
    const body = el('div', { class: 'daybody', role: 'list', 'aria-label': day.d.toDateString() });
    for (const it of day.items) {
      let lane = day.lanes.findIndex((endTime) => endTime <= it.a);
      if (lane < 0) { lane = day.lanes.length; day.lanes.push(it.b); } else day.lanes[lane] = it.b;
      it.lane = lane;
    }
    const n = Math.max(1, day.lanes.length);
    for (const it of day.items) {
      const minutes = (it.a - day.d) / 60000;
      const length = Math.min((it.b - it.a) / 60000, 24 * 60 - minutes);
      const repeat = Number(it.s.Number6) ? ` (${valueText('Schedule', 'Number6', it.s.Number6)})` : '';
      const text = `${pad(it.a.getHours())}:${pad(it.a.getMinutes())}–${pad(it.b.getHours())}:${pad(it.b.getMinutes())} ${refText('Program', it.s.Number3).replace(/^\d+ /, '')}`;
      const block = el('button', { type: 'button', class: `slot${it.overlap ? ' overlap' : ''}`, 'data-schedule': it.s.ScheduleID,
        title: `${text}${repeat}${it.overlap ? ' (overlaps another schedule)' : ''}`, onclick: () => attempt(() => editSchedule(it.s)) },
      it.overlap ? el('span', { class: 'badge' }, 'overlap') : null, text);
      block.style.top = `${minutes * MINUTE_PX}px`;
      block.style.height = `${Math.max(SLOT_MIN_PX, length * MINUTE_PX)}px`;
      block.style.left = `${(100 / n) * it.lane}%`;
      block.style.width = `${100 / n}%`;
      body.append(el('div', { role: 'listitem' }, block));
    }
    return el('div', { class: 'day' },
      el('div', { class: 'dayhead', title: day.d.toDateString() }, day.d.toLocaleDateString(undefined, { weekday: 'short', day: 'numeric' })), body);
  });
  const timeline = $('timeline');
  const empty = days.every((d) => !d.items.length);
  timeline.replaceChildren(hours, ...columns);
  $('week-empty').hidden = !empty;
  // Open on the morning, where a broadcast day starts.
  timeline.scrollTop = 6 * 60 * MINUTE_PX;
}

async function editSchedule(s) {
  const inputs = await recordInputs('Schedule', s);
  const title = `Schedule ${s.ScheduleID}: ${refText('Program', s.Number3)}`;
  let deleted = false;
  const remove = el('button', { type: 'button', class: 'danger', onclick: () => attempt(async () => {
    if (!await confirmAction(`Delete schedule ${s.ScheduleID}?`, `${title}, ${valueText('Schedule', 'Real4', s.Real4)}${Number(s.Number6) ? `, every ${valueText('Schedule', 'Number6', s.Number6)}` : ''}, is removed from channel ${s.Text2}.`,
      `Delete schedule ${s.ScheduleID}`)) return;
    await api('DELETE', `/api/schedules/${s.ScheduleID}`);
    deleted = true;
    $('dialog-cancel').click();
  }) }, `Delete schedule ${s.ScheduleID}`);
  inputs.remove = { node: remove, read: () => undefined };
  const done = await formDialog({ title, text: `Times in ${zoneText()}`, inputs, ok: 'Save schedule',
    onSubmit: (v) => api('PUT', `/api/schedules/${s.ScheduleID}`, { ...s, ...v }) });
  if (deleted) {
    toast(`Schedule ${s.ScheduleID} deleted.`, async () => {
      const { ScheduleID, ...rest } = s;
      await api('POST', '/api/schedules', rest);
      await loadWeek();
    });
    await loadWeek();
  } else if (done) { say('Schedule saved.'); await loadWeek(); }
}

async function addSchedule() {
  const start = weekStart(); start.setHours(12);
  const end = new Date(start); end.setHours(13);
  const inputs = await recordInputs('Schedule', { Text2: $('week-channel').value, Real4: start.toISOString(), Real5: end.toISOString(), Number6: 0 }, { adding: true });
  const done = await formDialog({ title: `Add schedule to ${$('week-channel').value}`, text: `Times in ${zoneText()}`, inputs, ok: 'Add schedule',
    onSubmit: (v) => api('POST', '/api/schedules', v) });
  if (done) { say('Schedule added.'); await loadWeek(); }
}
