// What the record fields mean, from /api/schema: labels, kinds, limits, named bits and references.
// Where ltpweb has no schema (404), the fields come from the API description and the labels file,
// and values are shown as the server sends them.
import { api, el, enc, localInput, localText, isNoDate, NO_DATE } from './core.js';

const meaning = { records: {}, bits: {}, enums: {}, values: {}, units: {}, full: false };
// Display names of referenced records, by record kind and key: {Program: Map(7 -> "Weather")}.
const names = {};

function kindOfType(schema) {
  if (!schema) return 'text';
  if (schema.format === 'date-time') return 'date';
  return schema.type === 'integer' ? 'integer' : schema.type === 'number' ? 'decimal' : 'text';
}

export async function loadSchema() {
  try {
    Object.assign(meaning, await api('GET', '/api/schema'), { full: true });
    return;
  } catch (e) {
    if (e.status !== 404) throw e;
  }
  const [doc, labels] = await Promise.all([api('GET', '/api/openapi.json'), api('GET', '/api/labels').catch(() => ({}))]);
  const byPath = { '/api/users': 'User', '/api/groups': 'Group', '/api/programs': 'Program', '/api/channels': 'Channel',
                   '/api/schedules': 'Schedule', '/api/globals': 'Global', '/api/mtp-servers': 'MTPSvr' };
  for (const [path, record] of Object.entries(byPath)) {
    const body = doc.paths[path] && doc.paths[path].post && doc.paths[path].post.requestBody;
    const props = body ? body.content['application/json'].schema.properties : {};
    const fields = Object.entries(props).map(([wire, s]) => ({ wire, kind: kindOfType(s), label: (labels[record] || {})[wire] }));
    meaning.records[record] = { key: fields.length ? fields[0].wire : null, display: null, fields };
  }
  for (const [record, map] of Object.entries(labels)) {
    if (!meaning.records[record]) {
      meaning.records[record] = { key: null, display: null,
        fields: Object.entries(map).map(([wire, label]) => ({ wire, label, kind: 'text' })) };
    }
  }
}

export const hasSchema = () => meaning.full;
export const recordMeaning = (record) => meaning.records[record] || { key: null, display: null, fields: [] };

export function field(record, wire) {
  const f = recordMeaning(record).fields.find((x) => x.wire === wire);
  const unit = (meaning.units[record] || {})[wire];
  return { wire, kind: 'text', ...(f || {}), ...(unit && !(f && f.unit) ? { unit } : {}) };
}

export function label(record, wire) {
  return field(record, wire).label || wire;
}

// The fields to show: without "all", the unused and, where some fields have labels, the unlabelled
// ones are left out (the key always stays).
export function shownFields(record, wires, all) {
  const m = recordMeaning(record);
  const anyLabel = m.fields.some((f) => f.label);
  return wires.filter((w) => {
    if (all || w === m.key) return true;
    const f = field(record, w);
    return !f.hidden && (!anyLabel || f.label);
  });
}

// ---- references ---------------------------------------------------------------------------------

const listPath = { Program: '/api/programs', Channel: '/api/channels', User: '/api/users', Group: '/api/groups' };

// Fetches the display names of a record kind (for pickers and for showing references).
export async function loadNames(record, force) {
  if (names[record] && !force) return names[record];
  const m = recordMeaning(record);
  const key = m.key || { Program: 'ProgramID', Channel: 'ChannelID', User: 'UserID', Group: 'GroupID' }[record];
  const display = m.display || 'Text2';
  const list = await api('GET', `${listPath[record]}?limit=1000&sort=${enc(display)}`);
  names[record] = new Map(list.items.map((r) => [String(r[key]), r[display] || '']));
  return names[record];
}
export function forgetNames(record) { delete names[record]; }

export function refText(record, id) {
  const known = names[record] && names[record].get(String(id));
  if (record === 'Program' && Number(id) === 0) return '(top level)';
  return known ? `${id} ${known}` : String(id);
}

// ---- bits ---------------------------------------------------------------------------------------

export function bitsOf(name) { return meaning.bits[name] || null; }
// The named bits of a value that is no record field ("permission", "user_rights").
export function valueBits(name) { return meaning.values[name] ? bitsOf(meaning.values[name].bits) : null; }

const isDays = (bits) => bits && bits.length === 7 && bits[0].value === 1 && bits[6].value === 64;

export function bitsText(bits, value) {
  const n = Number(value) || 0;
  if (!bits) return String(value);
  const on = bits.filter((b) => (n & b.value) !== 0);
  const rest = n & ~bits.reduce((a, b) => a | b.value, 0);
  if (!on.length && !rest) return 'none';
  const words = [];
  if (isDays(bits)) { // runs of three or more days as "Mon-Fri"
    for (let i = 0; i < 7; i++) {
      if (!(n & bits[i].value)) continue;
      let j = i;
      while (j + 1 < 7 && (n & bits[j + 1].value)) j++;
      if (j - i >= 2) words.push(`${bits[i].name}-${bits[j].name}`);
      else for (let k = i; k <= j; k++) words.push(bits[k].name);
      i = j;
    }
  } else words.push(...on.map((b) => b.name));
  if (rest) words.push(String(rest));
  return words.join(', ');
}

// Checkboxes for a set of named bits; days get the look of seven toggles.
export function bitsInput(labelText, bits, value, name) {
  const n = Number(value) || 0;
  const boxes = bits.map((b) => el('input', { type: 'checkbox', value: b.value, checked: (n & b.value) !== 0 }));
  const known = bits.reduce((a, b) => a | b.value, 0);
  const node = el('fieldset', { class: isDays(bits) ? 'bits days' : 'bits', 'data-field': name },
    el('legend', {}, labelText),
    bits.map((b, i) => el('label', { class: 'bit' }, boxes[i], ` ${b.name}`)));
  return { node, read: () => boxes.reduce((a, box) => a | (box.checked ? Number(box.value) : 0), n & ~known) };
}

// ---- values -------------------------------------------------------------------------------------

const decimal = new Intl.NumberFormat(undefined, { maximumFractionDigits: 2 });

// A value as people read it.
export function valueText(record, wire, value) {
  const f = field(record, wire);
  if (value === undefined || value === null) return '';
  let text;
  switch (f.kind) {
    case 'date':
      text = isNoDate(value) && (f.none !== undefined || hasSchema()) ? '' : localText(value);
      break;
    case 'bits': text = bitsText(bitsOf(f.bits), value); break;
    case 'ref': text = refText(f.ref, value); break;
    case 'enum': {
      const e = (meaning.enums[f.enum] || []).find((x) => x.value === value);
      text = e ? e.name : String(value);
      break;
    }
    case 'minutes': text = `${decimal.format(Number(value))} min`; break;
    case 'decimal': text = typeof value === 'number' ? decimal.format(value) : String(value); break;
    default: text = String(value);
  }
  return f.unit && text !== '' && f.kind !== 'minutes' ? `${text} ${f.unit}` : text;
}

// A labelled input for a field; read() gives the wire value (undefined: leave it out).
export function fieldInput(record, wire, value, { readOnly } = {}) {
  const f = field(record, wire);
  const text = f.label || wire;
  const help = f.help ? el('small', { class: 'help' }, f.help) : null;
  if (f.kind === 'bits' && bitsOf(f.bits)) return bitsInput(text, bitsOf(f.bits), value, wire);
  if (f.kind === 'ref' && names[f.ref]) {
    const select = el('select', { name: wire, disabled: readOnly },
      f.ref === 'Program' ? el('option', { value: '0' }, '(top level / none)') : (f.ref === 'Channel' ? el('option', { value: '' }, '(none)') : null),
      [...names[f.ref]].map(([id, n]) => el('option', { value: id }, `${n || '(no name)'} (${id})`)));
    if (value !== undefined && value !== null) {
      if (![...select.options].some((o) => o.value === String(value))) select.append(el('option', { value: String(value) }, String(value)));
      select.value = String(value);
    }
    const numeric = f.ref === 'Program';
    return { node: el('label', {}, text, ' ', select, help), read: () => (numeric ? Number(select.value) : select.value) };
  }
  if (f.kind === 'enum' && meaning.enums[f.enum]) {
    const select = el('select', { name: wire }, meaning.enums[f.enum].map((e) => el('option', { value: e.value }, e.name)));
    if (value !== undefined) select.value = String(value);
    return { node: el('label', {}, text, ' ', select, help), read: () => Number(select.value) };
  }
  const type = f.kind === 'date' ? 'datetime-local' : ['integer', 'decimal', 'minutes'].includes(f.kind) ? 'number' : 'text';
  const input = el('input', { name: wire, type, step: f.kind === 'integer' ? '1' : type === 'number' ? 'any' : null,
    maxlength: f.max || null, readonly: readOnly || null });
  if (value !== undefined && value !== null) {
    input.value = type === 'datetime-local' ? (isNoDate(value) ? '' : localInput(value)) : String(value);
  }
  const read = () => {
    if (readOnly) return undefined;
    if (type === 'datetime-local') return input.value ? new Date(input.value).toISOString() : (f.none !== undefined || hasSchema() ? NO_DATE : undefined);
    if (type === 'number') return input.value === '' ? undefined : (f.kind === 'integer' ? parseInt(input.value, 10) : Number(input.value));
    return input.value;
  };
  return { node: el('label', {}, text, ' ', input, help, f.max ? el('small', { class: 'help' }, `at most ${f.max} bytes`) : null), read };
}

// The inputs of a record's dialog: without the fields the server assigns when adding.
export async function recordInputs(record, values, { adding, all } = {}) {
  const m = recordMeaning(record);
  await Promise.all([...new Set(m.fields.filter((f) => f.kind === 'ref' && listPath[f.ref]).map((f) => f.ref))]
    .map((r) => loadNames(r).catch(() => null)));
  const wires = shownFields(record, m.fields.filter((f) => !f.answer_only && !(adding && f.assigned)).map((f) => f.wire), all);
  const inputs = {};
  for (const w of wires) {
    inputs[w] = fieldInput(record, w, values ? values[w] : undefined, { readOnly: !adding && w === m.key });
  }
  return inputs;
}

// A definition list of a record's fields, formatted.
export function recordDetails(record, r, all) {
  const wires = shownFields(record, Object.keys(r).filter((k) => k !== 'children'), all);
  return el('dl', {}, wires.flatMap((w) => [el('dt', {}, label(record, w)), el('dd', {}, valueText(record, w, r[w]))]));
}
