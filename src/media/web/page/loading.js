// Loading, in the order the game needs it: the program's code (zindle.wasm compiled while it
// streams in, and zindle.js) and the pictures together, with which the program starts; then the
// sound effects, and the music last, which arrive behind the first frames. The bar counts every
// byte the first frame waits for, the code's included. A missing effect or music file plays on
// silently with one console line; missing code or pictures stop with a plain message.
//
// A line that drops is not a broken file: whatever could not be fetched, or stopped arriving, is
// fetched again after a pause that doubles each time (and at once when the browser says it is
// online again), while the page says the line is down; the game starts when everything is in.
import { stats } from './stats.js';

const isMusic = (path) => path.endsWith('.mp3');
const isEffect = (path) => path.endsWith('.wav');
const FIRST_PAUSE = 500; // ms before the first retry
const LONGEST_PAUSE = 8000; // ms

// What the page says when the code cannot be had.
export class LoadError extends Error {}

// The line failed (no answer, or a body cut off), as opposed to an answer that refused.
class LineDown extends Error {}

function codeError(path, why) {
  return new LoadError(`The game's code could not be loaded: ${path} ${why}.`);
}

// line: { down(what, why, seconds) while waiting to retry, up() once a retry got an answer }
function lineWatch(line) {
  let waiting = 0;
  let wake = null;
  window.addEventListener('online', () => wake && wake());
  return {
    // Runs attempt() until it ends otherwise than by a line failure.
    async retry(what, attempt) {
      for (let pause = FIRST_PAUSE; ; pause = Math.min(LONGEST_PAUSE, pause * 2)) {
        try {
          const result = await attempt();
          return result;
        } catch (error) {
          if (!(error instanceof LineDown)) throw error;
          waiting += 1;
          line.down(what, error.message, Math.round(pause / 1000));
          await new Promise((resolve) => {
            const timer = setTimeout(resolve, pause);
            wake = () => {
              clearTimeout(timer);
              resolve();
            };
          });
          wake = null;
          waiting -= 1;
          if (!waiting) line.up();
        }
      }
    },
  };
}

// fetch, with a failure to reach the server told apart from an answer.
async function request(path) {
  try {
    return await fetch(path);
  } catch (error) {
    throw new LineDown(error.message);
  }
}

// A response's body as it arrives, each piece counted; a body cut off is the line's failure.
function counted(response, count) {
  const reader = response.body.getReader();
  const stream = new ReadableStream({
    async pull(controller) {
      let piece;
      try {
        piece = await reader.read();
      } catch (error) {
        stream.cutOff = error;
        throw error;
      }
      if (piece.done) {
        controller.close();
        return;
      }
      count(piece.value.length);
      controller.enqueue(piece.value);
    },
    cancel: (reason) => reader.cancel(reason),
  });
  return stream;
}

async function bytesOf(stream) {
  try {
    return new Uint8Array(await new Response(stream).arrayBuffer());
  } catch (error) {
    throw new LineDown(error.message);
  }
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

// Resolves once the program can start, with { files, code } (files: path -> { bytes } or
// { pending }; code: the compiled WebAssembly module); the sounds go on arriving.
// afterAll runs once the sounds are in too. line: see lineWatch.
export async function load(onProgress, afterAll, line) {
  const watch = lineWatch(line);
  const build = await watch.retry('files.json', async () => {
    const listing = await request('files.json');
    if (!listing.ok) throw new LoadError(`files.json: ${listing.status} ${listing.statusText}`);
    try {
      return await listing.json();
    } catch (error) {
      throw new LineDown(error.message);
    }
  });
  const pictures = build.data.filter((e) => !isMusic(e.path) && !isEffect(e.path));
  const needed = [...build.code, ...pictures];
  const progress = { total: needed.reduce((sum, e) => sum + e.size, 0), received: 0, files: {} };
  stats.loading = progress;
  // Counts a file's bytes; a new attempt at it takes back what the last one counted.
  const countFor = (path, shown) => {
    const before = progress.files[path] || 0;
    progress.files[path] = 0;
    if (shown) progress.received -= before;
    return (length) => {
      progress.files[path] += length;
      if (!shown) return;
      progress.received += length;
      onProgress(Math.min(1, progress.received / progress.total));
    };
  };

  // The code: compiled as it streams in, whatever type the server gives it.
  const fetchCode = async (path) => {
    const response = await request(path);
    if (!response.ok) throw codeError(path, `was answered ${response.status} ${response.statusText}`.trim());
    return response;
  };
  const loadCode = () => watch.retry('the code', async () => {
    const [wasm, script] = await Promise.all(['zindle.wasm', 'zindle.js'].map(fetchCode));
    const body = counted(wasm, countFor('zindle.wasm', true));
    const compiling = WebAssembly.compileStreaming(
      new Response(body, { headers: { 'Content-Type': 'application/wasm' } }));
    compiling.catch(() => {}); // answered below, after the script's bytes
    let scriptBytes;
    try {
      scriptBytes = await bytesOf(counted(script, countFor('zindle.js', true)));
    } catch (error) {
      body.cancel().catch(() => {});
      throw error;
    }
    try {
      return { code: await compiling, scriptBytes };
    } catch (error) {
      if (body.cutOff) throw new LineDown(body.cutOff.message);
      throw codeError('zindle.wasm', `is not the game's code (${error.message})`);
    }
  });

  // The pictures, beside the code; a missing one is left out, and the program reports it as the
  // desktop does.
  const files = new Map();
  const loadPicture = (entry) => watch.retry(entry.path, async () => {
    const response = await request(entry.path);
    if (!response.ok) return;
    files.set(entry.path, { bytes: await bytesOf(counted(response, countFor(entry.path, true))) });
  });
  const [{ code, scriptBytes }] = await Promise.all([loadCode(), ...pictures.map(loadPicture)]);
  await runScript(scriptBytes);

  // A file that may arrive after the start: its bytes are awaited by whoever decodes it, and it
  // is null when it cannot be had.
  const later = (entry) => {
    let resolve;
    const file = { pending: new Promise((r) => { resolve = r; }) };
    files.set(entry.path, file);
    return () => watch.retry(entry.path, async () => {
      const response = await request(entry.path);
      if (!response.ok) {
        console.warn(`${entry.path}: ${response.status} ${response.statusText}`.trim() +
                     '; the game plays on without it');
        resolve(null);
        return;
      }
      file.bytes = await bytesOf(counted(response, countFor(entry.path, false)));
      resolve(file.bytes);
    }).catch((error) => {
      console.warn(`${entry.path}: ${error.message}; the game plays on without it`);
      resolve(null);
    });
  };

  // The sounds, effects before music, after the start.
  const effects = build.data.filter((e) => isEffect(e.path)).map(later);
  const music = build.data.filter((e) => isMusic(e.path)).map(later);
  progress.sounds = 'arriving';
  (async () => {
    await Promise.all(effects.map((start) => start()));
    await Promise.all(music.map((start) => start()));
    progress.sounds = 'in';
    afterAll();
  })();
  return { files, code };
}
