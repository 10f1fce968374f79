// The replays of the last few matches: the program records each match into its in-memory
// files, and the page keeps the finished ones in its own storage (they outlive the run and the
// visit) and offers each as a download in a small list beside the game, never over its keys.
const STORAGE_KEY = 'zindle.replays';
const KEPT = 5;
const KEPT_CHARACTERS = 2_000_000; // base64, all replays together: well inside a page's quota

const list = document.getElementById('replays');
const links = document.getElementById('replay-links');
let offeredUrls = [];

function toBase64(bytes) {
  let text = '';
  for (let i = 0; i < bytes.length; i += 0x8000)
    text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  return btoa(text);
}

function fromBase64(text) {
  const raw = atob(text);
  const bytes = new Uint8Array(raw.length);
  for (let i = 0; i < raw.length; i += 1) bytes[i] = raw.charCodeAt(i);
  return bytes;
}

// What the program names its replays, and how each file begins.
const REPLAY_NAME = /^[0-9A-Za-z_-]{1,64}\.replay$/;
const SIGNATURE = '\x89ZVPRPL\n';

// Whether an entry of the storage is a replay the program wrote: the storage outlives this
// page's code and anything else on the origin may write to it.
function wellFormed(replay) {
  if (!replay || typeof replay.name !== 'string' || typeof replay.data !== 'string'
      || !REPLAY_NAME.test(replay.name)) return false;
  try {
    atob(replay.data); // throws on what is not base64
    return atob(replay.data.slice(0, 12)).startsWith(SIGNATURE);
  } catch {
    return false;
  }
}

// The kept replays, oldest first; storage that is missing or damaged holds none, and a damaged
// entry is left out on its own.
function stored() {
  try {
    const kept = JSON.parse(localStorage.getItem(STORAGE_KEY) || '[]');
    return Array.isArray(kept) ? kept.filter(wellFormed) : [];
  } catch {
    return [];
  }
}

// Keeps the newest that fit; a full storage gives up the oldest first, and a replay too large
// for it alone is still offered for this visit.
function store(kept) {
  while (kept.length > KEPT) kept.shift();
  while (kept.length > 1 && kept.reduce((n, r) => n + r.data.length, 0) > KEPT_CHARACTERS)
    kept.shift();
  for (;;) {
    try {
      localStorage.setItem(STORAGE_KEY, JSON.stringify(kept));
      return;
    } catch {
      if (kept.length === 0) return;
      kept.shift();
    }
  }
}

function show(kept) {
  for (const url of offeredUrls) URL.revokeObjectURL(url);
  offeredUrls = [];
  links.replaceChildren();
  for (const replay of [...kept].reverse()) {
    const url = URL.createObjectURL(new Blob([fromBase64(replay.data)],
      { type: 'application/octet-stream' }));
    offeredUrls.push(url);
    const link = document.createElement('a');
    link.href = url;
    link.download = replay.name;
    link.textContent = replay.name.replace(/\.replay$/, '').replace('_', ' ');
    const item = document.createElement('li');
    item.append(link);
    links.append(item);
  }
  list.hidden = kept.length === 0;
}

// Copies the program's replay file at path into the page's storage, in place of an earlier copy
// of the same match.
function keep(module, path) {
  let bytes;
  try {
    bytes = module.FS.readFile(path);
  } catch {
    return; // the recorder could not write it, and has said so
  }
  const name = path.slice(path.lastIndexOf('/') + 1);
  const kept = stored().filter((r) => r.name !== name);
  kept.push({ name, data: toBase64(bytes) });
  const session = [...kept];
  store(kept);
  show(kept.length ? kept : session.slice(-1));
}

// Takes the replay the run finished, local or online, if any, out of its files and into the
// page's storage.
export function takeFinishedReplay(module) {
  const pointer = module._zindle_finished_replay();
  if (pointer) keep(module, module.UTF8ToString(pointer));
}

// The page may be closed before the match ends: what its replay holds so far is kept, and the
// whole replay takes its place when the match ends after all.
export function keepReplayInProgress(module) {
  const pointer = module._zindle_replay_in_progress();
  if (pointer) keep(module, module.UTF8ToString(pointer));
}

export function showKeptReplays() {
  show(stored());
}
