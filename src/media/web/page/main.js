// The page around the game: it loads the data with a progress bar, starts the program
// (zindle.js and zindle.wasm, built from the same sources as the desktop game), and gives it
// what a window gives it on the desktop: a WebGL picture stretched to the page, Web Audio, the
// keyboard, gamepads, and a refresh callback that drives the stage. Where the desktop closes
// its window the page offers to play again, and a fatal error is shown on the page.
import { setUpClips } from './clips.js';
import { makeHost } from './host.js';
import { browserKeeps, keyCharacter, keyCode, keyFlags, onPageControl } from './keys.js';
import { LoadError, load } from './loading.js';
import { joinRoom, roomFromAddress } from './net.js';
import { keepForOffline } from './offline.js';
import { IGNORE, JOY_AXIS, padsForNewRun, pollGamepads, releasePads } from './pads.js';
import { hidePanel, offersPlayAgain, showPanel, showProgress } from './panel.js';
import { picture } from './layout.js';
import { copyPanels } from './panel_copy.js';
import { renderer } from './picture.js';
import { keepReplayInProgress, showKeptReplays, takeFinishedReplay } from './replays.js';
import { audio, decode, gaplessInfo, stopChannel, unlockAudio } from './sound.js';
import { keep, stats } from './stats.js';
import { setUpTouch } from './touch.js';

let files = null; // path -> { bytes } or { pending }
let code = null; // the program's compiled code, instantiated for every run
let session = null; // the running program and what it has made
let frameRequest = 0;
let lastRefresh = 0;
let inGesture = false;
let swallowKeyUp = null; // the key that started a new run: its release is not the game's
const heldKeys = new Map(); // event.code -> the key-down the program was sent for it
let attended = true; // false while the page is hidden or has lost the focus

function fatal(caption, text) {
  stats.errors.push(text);
  console.error(`${caption}: ${text}`);
  stopSession();
  showPanel('error', caption, text, false);
}

function stopSession() {
  keepScreenOn(false);
  if (!session) return;
  session.running = false;
  if (session.room) session.room.close();
  cancelAnimationFrame(frameRequest);
  for (const channel of session.channels.values()) stopChannel(channel);
  session.channels.clear();
}

// What the host of a run asks of the page.
const page = {
  current: () => session,
  files: () => files,
  inGesture: () => inGesture,
  closed() {
    const run = session;
    if (run && run.module) takeFinishedReplay(run.module);
    stopSession();
    showPanel('again', 'Zindle vs Pellorin', 'Press any key to play again', false);
  },
  fatal,
};

// Where a run's pad input goes.
function padsOf(run) {
  return {
    raw(type, device, code, value) {
      keep(stats.padInputs, [device, type === JOY_AXIS ? 1 : 0, code, value]);
      run.module._zindle_joystick(type, device, code, value);
    },
    standard(device, isAxis, index, value) {
      keep(stats.padInputs, [device, isAxis, index, value]);
      run.module._zindle_pad(device, isAxis, index, value);
    },
  };
}

function refresh(time) {
  const run = session;
  if (!run || !run.running) return;
  frameRequest = requestAnimationFrame(refresh);
  const interval = lastRefresh ? (time - lastRefresh) / 1000 : 0;
  lastRefresh = time;
  keep(stats.refreshTimes, time);
  const started = performance.now();
  run.presented = false;
  // Unattended, the pads are left alone: their input goes to whatever has the player's attention.
  if (attended && pollGamepads(padsOf(run))) unlockAudio();
  run.module._zindle_frame(interval);
  if (run.presented && run.running) copyPanels(panelStrip(), picture.height);
  if (run.room) run.room.pump();
  if (run.running) takeFinishedReplay(run.module);
  if (run.presented) keep(stats.workTimes, performance.now() - started);
  if (stats.frames % 60 === 0 && run.running) {
    const state = window.zindle.state();
    keepScreenOn(Boolean(state && state.heroes.length));
  }
}

// Options for measurements only, from the address: ?seed=N&ai=1,2,3,4&skip=S&score=N (see
// src/app/web_measurement.h). Without them the game starts as it always does.
function measurementOptions() {
  const query = new URLSearchParams(window.location.search);
  const options = [];
  for (const name of ['seed', 'ai', 'skip', 'score'])
    if (query.has(name)) options.push(`--${name}`, query.get(name));
  return options;
}

// The bytes of a replay to watch from an address or a dropped file, bounded as the program's
// reader bounds them: nothing larger is read into memory.
const MAX_REPLAY_BYTES = 32 << 20;

// A file name the program's files can hold, whatever the address or the dropped file called it.
function replayFileName(name) {
  let safe = String(name || '').replace(/[^A-Za-z0-9._-]/g, '_').slice(0, 100).replace(/^\.+/, '');
  if (!safe.includes('.')) safe = `${safe || 'replay'}.replay`;
  return safe;
}

// A replay that cannot be watched: one line on the page, and any key plays instead.
function refuseReplay(problem) {
  stopSession();
  showPanel('again', 'This replay cannot be played', `${problem}\nPress any key to play`, false);
}

// ?replay= fetches on its own only from the page's own origin. Any other address is shown and
// fetched after a click: otherwise a link could make a visitor's browser send a request to
// anywhere, the devices on their own network included, just by being opened.
function isOwnOrigin(address) {
  try {
    return new URL(address, window.location.href).origin === window.location.origin;
  } catch {
    return false;
  }
}

// The longest address the page shows; the rest is cut, as the game cuts untrusted text.
const MAX_SHOWN_ADDRESS = 300;

async function watchAddress(address) {
  let replay;
  try {
    replay = await replayFromAddress(address);
  } catch (error) {
    refuseReplay(error.message);
    return;
  }
  await startSession(replay);
}

function askBeforeFetching(address) {
  const shown = address.length > MAX_SHOWN_ADDRESS
    ? `${address.slice(0, MAX_SHOWN_ADDRESS)}...` : address;
  showPanel('again', 'A replay from another site',
    `${shown}\nThis page fetches it only if you ask.\nPress any key to play instead`, false, {
      label: 'Fetch and watch it',
      onClick: () => {
        unlockAudio();
        showPanel('', 'Zindle vs Pellorin', 'Fetching the replay', false);
        watchAddress(address).catch((error) => fatal('Error', error.message));
      },
    });
}

async function replayFromAddress(address) {
  const name = replayFileName(decodeURIComponent(address.split(/[?#]/)[0].split('/').pop()));
  let response;
  try {
    response = await fetch(address);
  } catch (error) {
    throw new Error(`${name}: cannot be fetched (${error.message})`);
  }
  if (!response.ok) throw new Error(`${name}: cannot be fetched (HTTP ${response.status})`);
  const chunks = [];
  let size = 0;
  const reader = response.body.getReader();
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    size += value.length;
    if (size > MAX_REPLAY_BYTES) {
      reader.cancel();
      throw new Error(`${name}: too large to be a replay (over ${MAX_REPLAY_BYTES} bytes)`);
    }
    chunks.push(value);
  }
  const bytes = new Uint8Array(size);
  let at = 0;
  for (const chunk of chunks) {
    bytes.set(chunk, at);
    at += chunk.length;
  }
  return { name, bytes };
}

async function replayFromFile(file) {
  const name = replayFileName(file.name);
  if (file.size > MAX_REPLAY_BYTES)
    throw new Error(`${name}: too large to be a replay (over ${MAX_REPLAY_BYTES} bytes)`);
  return { name, bytes: new Uint8Array(await file.arrayBuffer()) };
}

// Runs the game; with a replay ({ name, bytes }) it is watched instead of played.
async function startSession(replay = null) {
  stopSession();
  renderer.reset();
  const run = { running: true, presented: false, sounds: new Map(), channels: new Map(), module: null };
  session = run;
  stats.sessions += 1;
  padsForNewRun();
  const module = await createZindle({
    host: makeHost(run, page),
    noInitialRun: true,
    instantiateWasm(imports, done) {
      WebAssembly.instantiate(code, imports).then((instance) => done(instance, code))
        .catch((error) => fatal('Error', `zindle.wasm: ${error.message}`));
      return {};
    },
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    onAbort: (what) => fatal('Error', String(what)),
  });
  run.module = module;
  const fs = module.FS;
  fs.mkdir('/assets');
  for (const [path, file] of files) if (file.bytes) fs.writeFile(`/${path}`, file.bytes);
  touch.newRun();
  heldKeys.clear();
  module._zindle_touch(touch.touchMode() ? 1 : 0);
  if (replay) fs.writeFile(`/${replay.name}`, replay.bytes);
  module.callMain(replay ? ['--replay', replay.name] : measurementOptions());
  if (run !== session) return;
  const problem = replay && module._zindle_replay_problem();
  if (problem) {
    refuseReplay(module.UTF8ToString(problem));
    return;
  }
  if (!module._zindle_running()) return;
  // A link with a room joins it; the line under the game says who is there, or why not.
  const room = replay ? null : roomFromAddress(window.location);
  if (room !== null) run.room = joinRoom(module, room, showRoomLine);
  hidePanel();
  showSoundPrompt();
  lastRefresh = 0;
  frameRequest = requestAnimationFrame(refresh);
}

// A browser starts sound only after a tap or a key, never after a pad's button: while the
// sound waits, the page says how to start it.
function showSoundPrompt() {
  const prompt = document.getElementById('sound-prompt');
  const waiting = audio.context && audio.context.state !== 'running';
  prompt.hidden = !(waiting && session && session.running);
  prompt.textContent = touch.touchMode() ? 'Tap for sound' : 'Tap or press a key for sound';
}

// A phone's screen stays on while a match runs; the browser lets the lock go when the page is
// hidden, so it is asked for again while a match runs.
let wakeLock = null;
function keepScreenOn(playing) {
  if (!('wakeLock' in navigator)) return;
  if (playing && !wakeLock && !document.hidden) {
    wakeLock = navigator.wakeLock.request('screen');
    wakeLock.then((lock) => lock.addEventListener('release', () => { wakeLock = null; }))
      .catch(() => { wakeLock = null; });
  } else if (!playing && wakeLock) {
    const held = wakeLock;
    wakeLock = null;
    held.then((lock) => lock.release()).catch(() => {});
  }
}

function showRoomLine(text) {
  const line = document.getElementById('room');
  line.textContent = text;
  line.hidden = !text;
}

// ---- The page's events ----------------------------------------------------------------------
window.addEventListener('keydown', (event) => {
  unlockAudio();
  // TAB moves the focus to the page's controls; it is no key of the game's.
  if (onPageControl(event) || event.code === 'Tab') return;
  const keeps = browserKeeps(event);
  if ((!session || !session.running) && offersPlayAgain()) {
    if (keeps || event.repeat) return;
    event.preventDefault();
    swallowKeyUp = event.code;
    startSession().catch((error) => fatal('Error', error.message));
    return;
  }
  if (!session || !session.running || !session.module) return;
  const code = keyCode(event);
  if (code && !keeps) event.preventDefault();
  // Held keys repeat; the game acts on presses only, as on the desktop.
  if (event.repeat) return;
  inGesture = true;
  try {
    const key = [code, keyCharacter(event), keyFlags(event)];
    heldKeys.set(event.code, key);
    session.module._zindle_key(1, ...key);
  } finally {
    inGesture = false;
  }
}, true);

window.addEventListener('keyup', (event) => {
  if (swallowKeyUp === event.code) {
    swallowKeyUp = null;
    return;
  }
  if (!session || !session.running || !session.module) return;
  // A key let go on a page control was pressed there, unless the game holds it.
  if (onPageControl(event) && !heldKeys.has(event.code)) return;
  const code = keyCode(event);
  if (code && !browserKeeps(event)) event.preventDefault();
  heldKeys.delete(event.code);
  session.module._zindle_key(0, code, keyCharacter(event), keyFlags(event));
}, true);

// Where the running program draws the players' panels; without one, nowhere.
function panelStrip() {
  const module = session && session.running && session.module;
  if (!module) return { left: 0, top: Infinity, panelWidth: 1, panels: 0 };
  if (!session.panelStrip) {
    const [left, top, panelWidth, panels] =
      module.UTF8ToString(module._zindle_panel_strip()).split(',').map(Number);
    session.panelStrip = { left, top, panelWidth, panels };
  }
  return session.panelStrip;
}

// Touches become the keys of the players who joined by touch.
const touch = setUpTouch({
  send(down, code) {
    const run = session;
    if (!run || !run.running || !run.module) return;
    if (down) heldKeys.set(`touch ${code}`, [code, 0, 0]);
    else heldKeys.delete(`touch ${code}`);
    run.module._zindle_key(down ? 1 : 0, code, 0, 0);
  },
  inPlay() {
    const state = window.zindle.state();
    return state ? state.heroes.map((hero) => hero.player) : [];
  },
  playAgain() {
    if ((session && session.running) || !offersPlayAgain()) return false;
    startSession().catch((error) => fatal('Error', error.message));
    return true;
  },
  panelStrip,
  modeChanged(touching) {
    if (session && session.running && session.module) session.module._zindle_touch(touching ? 1 : 0);
    showSoundPrompt();
    if (renderer) renderer.present();
  },
});

// A page that is hidden or loses the focus never hears of the keys and buttons let go meanwhile:
// everything held is let go now, so that nobody steers on alone.
function letGoOfEverything() {
  attended = false;
  const run = session;
  if (!run || !run.running || !run.module) {
    heldKeys.clear();
    return;
  }
  for (const key of heldKeys.values()) run.module._zindle_key(0, ...key);
  heldKeys.clear();
  touch.letGo();
  releasePads(padsOf(run));
}

window.addEventListener('blur', letGoOfEverything);
window.addEventListener('focus', () => {
  attended = !document.hidden;
});

// Browsers count different events as the gesture that allows sound: a mouse's press, a touch's
// release, a key.
for (const gesture of ['pointerdown', 'pointerup', 'touchend', 'keyup'])
  window.addEventListener(gesture, unlockAudio, true);

// A page that is hidden may be closed or discarded without another word: the match's replay so
// far is kept now.
function keepUnfinishedReplay() {
  if (session && session.running && session.module) keepReplayInProgress(session.module);
}

window.addEventListener('pagehide', keepUnfinishedReplay);
document.addEventListener('visibilitychange', () => {
  if (document.hidden) {
    letGoOfEverything();
    keepUnfinishedReplay();
  } else {
    attended = true;
  }
  if (!session || !session.running || !session.module) return;
  session.module._zindle_active(document.hidden ? 0 : 1);
  if (!document.hidden) {
    lastRefresh = 0;
    cancelAnimationFrame(frameRequest);
    frameRequest = requestAnimationFrame(refresh);
  }
});

// A replay file dropped on the page is watched at once, in place of whatever ran.
window.addEventListener('dragover', (event) => event.preventDefault());
window.addEventListener('drop', (event) => {
  event.preventDefault();
  const file = event.dataTransfer && event.dataTransfer.files[0];
  if (!file || !code) return;
  replayFromFile(file).then((replay) => startSession(replay))
    .catch((error) => refuseReplay(error.message));
});

window.addEventListener('resize', () => renderer && renderer.present());

// A link to another room opened in this tab (only its #CODE differs, so the page stays): the
// game starts again and joins that room.
let roomInAddress = roomFromAddress(window.location);
window.addEventListener('hashchange', () => {
  const room = roomFromAddress(window.location);
  if (room === roomInAddress) return;
  roomInAddress = room;
  if (code && session) startSession().catch((error) => fatal('Error', error.message));
});

// The play-again screen also answers a gamepad button. While a run plays, its refreshes read
// the pads.
function watchPadsWhileClosed() {
  if ((!session || !session.running) && offersPlayAgain() && pollGamepads(IGNORE)) {
    unlockAudio();
    startSession().catch((error) => fatal('Error', error.message));
  }
  requestAnimationFrame(watchPadsWhileClosed);
}

window.addEventListener('error', (event) => fatal('Error', event.message));
window.addEventListener('unhandledrejection', (event) =>
  fatal('Error', String(event.reason && event.reason.message || event.reason)));

window.zindle = {
  stats,
  readPicture: () => renderer && renderer.readPicture(),
  readCanvas: () => renderer && renderer.readCanvas(),
  audioState: () => (audio.context ? audio.context.state : 'none'),
  state: () => (session && session.module && session.running
    ? JSON.parse(session.module.UTF8ToString(session.module._zindle_state())) : null),
  music: (path) => decode(path, null, true),
  touchMode: () => touch.touchMode(),
  room: () => (session && session.room ? session.room.status() : null),
  gaplessInfo: (path) => {
    const file = files && files.get(path);
    return file && file.bytes ? gaplessInfo(file.bytes) : null;
  },
};

async function main() {
  if (!renderer) {
    fatal('Error', 'This browser cannot draw the game: WebGL 2 is not available.');
    return;
  }
  showPanel('', 'Zindle vs Pellorin', 'Loading', true);
  // While loading, the panel says when the line is down; once the game runs, a sound that
  // cannot arrive yet is no news for the players.
  let started = false;
  const line = {
    down(what, why, seconds) {
      if (started) return;
      showPanel('', 'Zindle vs Pellorin',
                `The connection to the server was lost while loading (${why}).\n` +
                `Trying again in ${Math.max(1, seconds)} s; the game starts when it is back.`, true);
    },
    up() {
      if (!started) showPanel('', 'Zindle vs Pellorin', 'Loading', true);
    },
  };
  try {
    ({ files, code } = await load(showProgress, keepForOffline, line));
    started = true;
  } catch (error) {
    if (!(error instanceof LoadError)) throw error;
    fatal('The game could not be loaded', error.message);
    return;
  }
  if (typeof createZindle !== 'function') {
    fatal('The game could not be loaded', "The game's code could not be loaded: zindle.js did not define the game.");
    return;
  }
  showKeptReplays();
  setUpClips(document.getElementById('game'));
  if (audio.context) audio.context.addEventListener('statechange', showSoundPrompt);
  const address = new URLSearchParams(window.location.search).get('replay');
  if (address && isOwnOrigin(address)) {
    await watchAddress(address);
  } else if (address) {
    askBeforeFetching(address);
  } else {
    await startSession();
  }
  requestAnimationFrame(watchPadsWhileClosed);
}

main().catch((error) => fatal('Error', error.message));
