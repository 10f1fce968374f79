// The page around the game: it loads the data with a progress bar, starts the program
// (zindle.js and zindle.wasm, built from the same sources as the desktop game), and gives it
// what a window gives it on the desktop: a WebGL picture stretched to the page, Web Audio, the
// keyboard, gamepads, and a refresh callback that drives the stage. Where the desktop closes
// its window the page offers to play again, and a fatal error is shown on the page.
import { makeHost } from './host.js';
import { browserKeeps, keyCharacter, keyCode, keyFlags } from './keys.js';
import { fetchData, instantiate } from './loading.js';
import { JOY_BUTTON_DOWN, pads, pollGamepads } from './pads.js';
import { hidePanel, offersPlayAgain, showPanel, showProgress } from './panel.js';
import { renderer } from './picture.js';
import { audio, decode, gaplessInfo, stopChannel, unlockAudio } from './sound.js';
import { keep, stats } from './stats.js';

let files = null; // path -> { bytes } or { pending }
let session = null; // the running program and what it has made
let frameRequest = 0;
let lastRefresh = 0;
let inGesture = false;
let swallowKeyUp = null; // the key that started a new run: its release is not the game's

function fatal(caption, text) {
  stats.errors.push(text);
  console.error(`${caption}: ${text}`);
  stopSession();
  showPanel('error', caption, text, false);
}

function stopSession() {
  if (!session) return;
  session.running = false;
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
    stopSession();
    showPanel('again', 'Zindle vs Pellorin', 'Press any key to play again', false);
  },
  fatal,
};

function refresh(time) {
  const run = session;
  if (!run || !run.running) return;
  frameRequest = requestAnimationFrame(refresh);
  const interval = lastRefresh ? (time - lastRefresh) / 1000 : 0;
  lastRefresh = time;
  keep(stats.refreshTimes, time);
  const started = performance.now();
  run.presented = false;
  const pressed = pollGamepads((type, device, code, value) => {
    if (type === JOY_BUTTON_DOWN) unlockAudio();
    run.module._zindle_joystick(type, device, code, value);
  });
  if (pressed) unlockAudio();
  run.module._zindle_frame(interval);
  if (run.presented) keep(stats.workTimes, performance.now() - started);
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

async function startSession() {
  stopSession();
  renderer.reset();
  const run = { running: true, presented: false, sounds: new Map(), channels: new Map(), module: null };
  session = run;
  stats.sessions += 1;
  const module = await createZindle({
    host: makeHost(run, page),
    noInitialRun: true,
    instantiateWasm(imports, done) {
      instantiate(imports, done).catch((error) => fatal('Error', `zindle.wasm: ${error.message}`));
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
  module.callMain(measurementOptions());
  if (run !== session || !module._zindle_running()) return;
  hidePanel();
  lastRefresh = 0;
  frameRequest = requestAnimationFrame(refresh);
}

// ---- The page's events ----------------------------------------------------------------------
window.addEventListener('keydown', (event) => {
  unlockAudio();
  const keeps = browserKeeps(event);
  if (session && !session.running && offersPlayAgain()) {
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
    session.module._zindle_key(1, code, keyCharacter(event), keyFlags(event));
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
  const code = keyCode(event);
  if (code && !browserKeeps(event)) event.preventDefault();
  session.module._zindle_key(0, code, keyCharacter(event), keyFlags(event));
}, true);

window.addEventListener('pointerdown', unlockAudio);

document.addEventListener('visibilitychange', () => {
  if (!session || !session.running || !session.module) return;
  session.module._zindle_active(document.hidden ? 0 : 1);
  if (!document.hidden) {
    lastRefresh = 0;
    cancelAnimationFrame(frameRequest);
    frameRequest = requestAnimationFrame(refresh);
  }
});

window.addEventListener('resize', () => renderer && renderer.present());

// The play-again screen also answers a gamepad button.
function watchPadsWhileClosed() {
  if (session && !session.running && offersPlayAgain()) {
    if (pollGamepads(() => {})) {
      startSession().catch((error) => fatal('Error', error.message));
      return requestAnimationFrame(watchPadsWhileClosed);
    }
  } else {
    pads.clear();
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
  if (typeof createZindle !== 'function') {
    fatal('Error', 'zindle.js could not be loaded.');
    return;
  }
  showPanel('', 'Zindle vs Pellorin', 'Loading', true);
  files = await fetchData(showProgress);
  await startSession();
  requestAnimationFrame(watchPadsWhileClosed);
}

main().catch((error) => fatal('Error', error.message));
