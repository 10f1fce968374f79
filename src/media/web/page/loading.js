// Loading, in the order the game needs it: the program's code first (zindle.wasm compiled while
// it streams in, and zindle.js), then the pictures, with which the program starts; then the
// sound effects, and the music last, which arrive behind the first frames. The bar counts every
// byte the first frame waits for, the code's included. A missing effect or music file plays on
// silently with one console line; missing code or pictures stop with a plain message.
import { stats } from './stats.js';

const isMusic = (path) => path.endsWith('.mp3');
const isEffect = (path) => path.endsWith('.wav');

// What the page says when the code cannot be had.
export class LoadError extends Error {}

function codeError(path, why) {
  return new LoadError(`The game's code could not be loaded: ${path} ${why}.`);
}

// A response's body as it arrives, each piece counted.
function counted(response, count) {
  const reader = response.body.getReader();
  return new ReadableStream({
    async pull(controller) {
      const { done, value } = await reader.read();
      if (done) {
        controller.close();
        return;
      }
      count(value.length);
      controller.enqueue(value);
    },
    cancel: (reason) => reader.cancel(reason),
  });
}

async function bytesOf(stream) {
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

async function fetchCode(path) {
  let response;
  try {
    response = await fetch(path);
  } catch (error) {
    throw codeError(path, `could not be fetched (${error.message})`);
  }
  if (!response.ok) throw codeError(path, `was answered ${response.status} ${response.statusText}`.trim());
  return response;
}

// zindle.js defines createZindle; it runs as a script of the page, from the bytes counted here.
async function runScript(bytes) {
  const url = URL.createObjectURL(new Blob([bytes], { type: 'text/javascript' }));
  try {
    await new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = url;
      script.onload = resolve;
      script.onerror = () => reject(codeError('zindle.js', 'could not be run'));
      document.head.appendChild(script);
    });
  } finally {
    URL.revokeObjectURL(url);
  }
}

// A file that may arrive after the start: its bytes are awaited by whoever decodes it, and it
// is null when it cannot be had.
function later(entry, files, count) {
  let resolve;
  const file = { pending: new Promise((r) => { resolve = r; }) };
  files.set(entry.path, file);
  return async () => {
    try {
      const response = await fetch(entry.path);
      if (!response.ok) {
        console.warn(`${entry.path}: ${response.status} ${response.statusText}`.trim() +
                     '; the game plays on without it');
        resolve(null);
        return;
      }
      file.bytes = await bytesOf(counted(response, count));
      resolve(file.bytes);
    } catch (error) {
      console.warn(`${entry.path}: ${error.message}; the game plays on without it`);
      resolve(null);
    }
  };
}

// Resolves once the program can start, with { files, code } (files: path -> { bytes } or
// { pending }; code: the compiled WebAssembly module); the sounds go on arriving.
// afterAll runs once the sounds are in too.
export async function load(onProgress, afterAll) {
  const listing = await fetch('files.json');
  if (!listing.ok) throw new Error(`files.json: ${listing.status} ${listing.statusText}`);
  const build = await listing.json();
  const pictures = build.data.filter((e) => !isMusic(e.path) && !isEffect(e.path));
  const needed = [...build.code, ...pictures];
  const progress = { total: needed.reduce((sum, e) => sum + e.size, 0), received: 0, files: {} };
  stats.loading = progress;
  const countFor = (path, shown) => (length) => {
    progress.files[path] = (progress.files[path] || 0) + length;
    if (!shown) return;
    progress.received += length;
    onProgress(Math.min(1, progress.received / progress.total));
  };

  // The code: compiled as it streams in, whatever type the server gives it.
  const [wasm, script] = await Promise.all(['zindle.wasm', 'zindle.js'].map(fetchCode));
  const compiling = WebAssembly.compileStreaming(new Response(
    counted(wasm, countFor('zindle.wasm', true)), { headers: { 'Content-Type': 'application/wasm' } }));
  const scriptBytes = await bytesOf(counted(script, countFor('zindle.js', true)));
  let code;
  try {
    code = await compiling;
  } catch (error) {
    throw codeError('zindle.wasm', `is not the game's code (${error.message})`);
  }
  await runScript(scriptBytes);

  // The pictures; a missing one is left out, and the program reports it as the desktop does.
  const files = new Map();
  await Promise.all(pictures.map(async (entry) => {
    const response = await fetch(entry.path);
    if (!response.ok) return;
    files.set(entry.path, { bytes: await bytesOf(counted(response, countFor(entry.path, true))) });
  }));

  // The sounds, effects before music, after the start.
  const fetchLater = (kind) => build.data.filter((e) => kind(e.path))
    .map((e) => later(e, files, countFor(e.path, false)));
  const effects = fetchLater(isEffect);
  const music = fetchLater(isMusic);
  progress.sounds = 'arriving';
  (async () => {
    await Promise.all(effects.map((start) => start()));
    await Promise.all(music.map((start) => start()));
    progress.sounds = 'in';
    afterAll();
  })();
  return { files, code };
}
