// The host: what the program calls (web_host.h) for one run, on the page's picture and sound.
// page gives what belongs to the page as a whole: the current run, the data, whether a key is
// being handled, and what to do when the program ends or fails.
import { renderer, TILE_WORDS } from './picture.js';
import { audio, decode, fadeOutChannel, effectRefused, looksLikeMp3, setLevels, startChannel, stopChannel }
  from './sound.js';
import { keep, stats } from './stats.js';

const canvas = document.getElementById('game');

export function makeHost(run, page) {
  return {
    createWindow(width, height, title) {
      document.title = title;
      renderer.createWindow(width, height);
    },
    createImage: (handle, width, height, rgba) => renderer.createImage(handle, width, height, rgba),
    drawFrame(rgb, runs, tiles) {
      if (run !== page.current()) return;
      renderer.drawFrame(rgb, runs, tiles);
      const now = performance.now();
      if (stats.firstFrameAt === null) stats.firstFrameAt = now;
      stats.frames += 1;
      keep(stats.frameTimes, now);
      keep(stats.tileCounts, tiles.length / TILE_WORDS);
      run.presented = true;
    },
    setDisplayState() {
      // A page may go full screen only while it handles a key or a click, so the request
      // from the start is the page's own stretch over the window; ALT+ENTER then switches the
      // browser's full screen on and off.
      if (!page.inGesture()) return;
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      else document.documentElement.requestFullscreen().catch(() => {});
    },
    setScaleMode: (mode) => renderer.setScaleMode(mode),
    showCursor(show) {
      canvas.style.cursor = show ? 'auto' : 'none';
    },
    closed() {
      if (run !== page.current()) return;
      page.closed();
    },
    showError(caption, text) {
      page.fatal(caption, text);
    },
    loadSound(handle, path, music) {
      path = path.replace(/^\/+/, '');
      const file = page.files().get(path);
      if (!file) return false;
      if (music && file.bytes && !looksLikeMp3(file.bytes)) return false;
      run.sounds.set(handle, { path, music });
      // Bytes already in were in the program's file system when it started, and it checked them.
      const arriving = file.bytes ? null : file.pending.then((bytes) => {
        if (!bytes) return null;
        if (music) return looksLikeMp3(bytes) ? bytes : null;
        return effectRefused(run.module, path, bytes) ? null : bytes;
      });
      decode(path, file.bytes || arriving, music);
      return true;
    },
    playSound(channelHandle, soundHandle, loops, volume, pan, startSeconds) {
      const sound = run.sounds.get(soundHandle);
      if (!sound) return false;
      const offset = sound.music ? startSeconds : 0;
      const channel = { session: run, loops, volume, pan, offset, done: false, stopped: false,
                        source: null };
      run.channels.set(channelHandle, channel);
      // Effects are dropped while the sound is off or before they have arrived (they come in
      // behind the first frames); music waits for both.
      if (!audio.context || (!sound.music && (!audio.unlocked || !audio.ready.has(sound.path)))) {
        channel.done = true;
        return true;
      }
      decode(sound.path, null, sound.music)
        .then((entry) => startChannel(channel, sound, entry, page.current()));
      return true;
    },
    stopChannel(handle) {
      const channel = run.channels.get(handle);
      if (channel) stopChannel(channel);
    },
    fadeOutChannel(handle, seconds) {
      const channel = run.channels.get(handle);
      if (channel) fadeOutChannel(channel, seconds);
    },
    setChannelTransform(handle, volume, pan) {
      const channel = run.channels.get(handle);
      if (!channel) return;
      channel.volume = volume;
      channel.pan = pan;
      setLevels(channel, volume, pan);
    },
    channelComplete(handle) {
      const channel = run.channels.get(handle);
      if (!channel || channel.done) {
        run.channels.delete(handle);
        return true;
      }
      return false;
    },
  };
}
