// One address per view and record: "#/users/alice", "#/programs/4", "#/week/main/2026-12-07".
// Back, reload and links work because the views are drawn from the address.
let onRoute = () => {};
export function whenRouted(f) { onRoute = f; }

// The address's parts, decoded; "/" and "%" inside a key survive because each part is encoded.
export function currentRoute() {
  const parts = location.hash.replace(/^#\/?/, '').split('/').filter((p) => p !== '');
  try {
    return parts.map(decodeURIComponent);
  } catch (e) {
    return [];
  }
}

// Goes to a view and record: go('users', 'alice'); the keys are encoded here.
export function go(view, ...keys) {
  const hash = `#/${[view, ...keys.map((k) => encodeURIComponent(String(k)))].join('/')}`;
  if (location.hash === hash) onRoute();
  else location.hash = hash;
}
