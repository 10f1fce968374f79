// Loading: the game's data with a progress bar that counts bytes, and the program's code,
// compiled once and instantiated for every run.

// Every file of assets.json is fetched at once; the bar counts bytes. The program starts when
// everything but the music is in (the music is most of the bytes and is only needed once it
// plays); the music goes on arriving behind the first frames.
export const isMusic = (path) => path.endsWith('.mp3');

// path -> { bytes } or { pending: Promise<bytes or null> }
export async function fetchData(onProgress) {
  const listing = await fetch('assets.json');
  if (!listing.ok) throw new Error(`assets.json: ${listing.status} ${listing.statusText}`);
  const entries = await listing.json();
  const total = entries.reduce((sum, e) => sum + e.size, 0);
  let received = 0;
  const files = new Map();
  const readBody = async (response) => {
    const reader = response.body.getReader();
    const parts = [];
    let length = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      parts.push(value);
      length += value.length;
      received += value.length;
      onProgress(Math.min(1, received / total));
    }
    const bytes = new Uint8Array(length);
    let at = 0;
    for (const part of parts) {
      bytes.set(part, at);
      at += part.length;
    }
    return bytes;
  };
  const waits = entries.map(async (entry) => {
    const response = await fetch(entry.path);
    // A missing file is left out: the program reports it as the desktop does.
    if (!response.ok) return;
    if (isMusic(entry.path)) {
      // Known to exist now; its bytes are awaited by whoever decodes it.
      const file = {
        pending: readBody(response).catch((error) => {
          console.error(`${entry.path}: ${error.message}`);
          return null;
        }),
      };
      file.pending.then((bytes) => {
        if (bytes) file.bytes = bytes;
      });
      files.set(entry.path, file);
      return;
    }
    files.set(entry.path, { bytes: await readBody(response) });
  });
  await Promise.all(waits);
  return files;
}

let wasmModule = null; // compiled once, instantiated for every run

// Emscripten's instantiateWasm hook: the program's code with the imports of this run.
export async function instantiate(imports, done) {
  if (!wasmModule) {
    const response = fetch('zindle.wasm');
    let result;
    try {
      result = await WebAssembly.instantiateStreaming(response, imports);
    } catch (error) {
      // A server that does not say application/wasm: compile from the bytes instead.
      const bytes = await (await fetch('zindle.wasm')).arrayBuffer();
      result = await WebAssembly.instantiate(bytes, imports);
    }
    wasmModule = result.module;
    done(result.instance, result.module);
    return;
  }
  done(await WebAssembly.instantiate(wasmModule, imports), wasmModule);
}
