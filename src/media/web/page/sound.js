// Sound: one audio context for the page, kept across restarts with every decoded sound, and the
// channels a run plays on it. Browsers start audio only after a gesture: until the first key or
// button, effects are dropped (as on a muted device) and music waits to start from its beginning.
import { stats } from './stats.js';

const LOOP_FOREVER = 1000000; // a loop count this large means "until stopped"
const DECODER_DELAY = 529; // samples every MP3 decoder adds before the encoder's delay
const SAMPLE_RATE = 44100; // Hz, the rate of the game's sounds: decoded without resampling
const VOICE_HEADROOM = 0.5; // gain before the sum, the desktop mixer's (-6 dB)
const LIMITER_THRESHOLD_DB = -1; // where the output limiter starts to turn the sum down

export const audio = (() => {
  let context = null;
  try {
    context = new AudioContext({ sampleRate: SAMPLE_RATE });
  } catch (error) {
    try {
      context = new AudioContext();
    } catch (again) {
      context = null;
    }
  }
  // As on the desktop: every voice keeps headroom before the sum (the bus), and a limiter
  // (a compressor with a hard knee and a high ratio) catches the peaks that remain.
  const bus = context ? context.createGain() : null;
  if (bus) {
    bus.gain.value = VOICE_HEADROOM;
    const limiter = context.createDynamicsCompressor();
    limiter.threshold.value = LIMITER_THRESHOLD_DB;
    limiter.knee.value = 0;
    limiter.ratio.value = 20;
    limiter.attack.value = 0.002;
    limiter.release.value = 0.08;
    bus.connect(limiter).connect(context.destination);
  }
  const decoded = new Map(); // path -> Promise<{ buffer, start, end } or null>
  const ready = new Set(); // paths whose decoding has ended
  return {
    context, bus, decoded, ready,
    starting: false, // asked to run during a gesture that allows it
    // Sound plays, or will as soon as the context has resumed: effects started now are heard.
    get unlocked() { return !!context && (context.state === 'running' || this.starting); },
  };
})();

// Called on every gesture (keys, clicks, touches, pad buttons) until the audio runs: a browser
// may not count a gesture (a modifier key alone, a pad button) as one that allows sound, and
// then only a later one starts it.
export function unlockAudio() {
  if (!audio.context || audio.context.state === 'running') return;
  // Resuming is not immediate, but the effect of the key that starts it belongs to it.
  const activation = navigator.userActivation;
  if (!activation || activation.isActive) audio.starting = true;
  audio.context.resume().catch(() => {});
}

// The encoder's delay and padding from the LAME tag of an MP3, and how many samples the whole
// music has; null when the file has no such tag.
export function gaplessInfo(bytes) {
  let at = 0;
  if (bytes[0] === 0x49 && bytes[1] === 0x44 && bytes[2] === 0x33) { // "ID3"
    const size = (bytes[6] << 21) | (bytes[7] << 14) | (bytes[8] << 7) | bytes[9];
    at = 10 + size + ((bytes[5] & 0x10) ? 10 : 0);
  }
  if (at + 4 > bytes.length || bytes[at] !== 0xff || (bytes[at + 1] & 0xe0) !== 0xe0) return null;
  const version = (bytes[at + 1] >> 3) & 3; // 3: MPEG-1
  const mono = ((bytes[at + 3] >> 6) & 3) === 3;
  const sideInfo = version === 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  const frameSamples = version === 3 ? 1152 : 576;
  let x = at + 4 + sideInfo;
  const tag = String.fromCharCode(bytes[x], bytes[x + 1], bytes[x + 2], bytes[x + 3]);
  if (tag !== 'Xing' && tag !== 'Info') return null;
  const word = (i) => ((bytes[i] << 24) | (bytes[i + 1] << 16) | (bytes[i + 2] << 8) | bytes[i + 3]) >>> 0;
  const flags = word(x + 4);
  x += 8;
  if (!(flags & 1)) return null;
  const frames = word(x);
  x += 4;
  if (flags & 2) x += 4;
  if (flags & 4) x += 100;
  if (flags & 8) x += 4;
  const lame = x + 21; // after the encoder's name and its settings
  if (lame + 3 > bytes.length) return null;
  const delay = (bytes[lame] << 4) | (bytes[lame + 1] >> 4);
  const padding = ((bytes[lame + 1] & 0x0f) << 8) | bytes[lame + 2];
  return { delay, padding, samples: frames * frameSamples - delay - padding };
}

// The part of a decoded MP3 that is the music: browsers whose decoder ignores the LAME tag
// leave the encoder's delay and padding in, which would put a gap into every loop.
function musicSpan(buffer, info) {
  if (!info || buffer.length === info.samples) return { start: 0, end: buffer.length };
  const start = info.delay + DECODER_DELAY;
  if (start + info.samples <= buffer.length) return { start, end: start + info.samples };
  return { start: 0, end: buffer.length };
}

// Music arrives after the program has started, so its signature is checked here; effects are
// checked by the program's own rule (media/common/sound_format), as on the desktop.
export function looksLikeMp3(bytes) {
  const text = (from, length) => String.fromCharCode(...bytes.subarray(from, from + length));
  return text(0, 3) === 'ID3' || (bytes[0] === 0xff && (bytes[1] & 0xe0) === 0xe0);
}

// An effect that arrived after the start, held to the program's rule: true when it is refused,
// with one line naming it, as the program names the ones it checks itself.
export function effectRefused(module, path, bytes) {
  module.HEAPU8.set(bytes, module._zindle_effect_buffer(bytes.length));
  const problem = module._zindle_effect_problem();
  if (!problem) return false;
  console.log(`Warning: ${path}: ${module.UTF8ToString(problem)}`);
  return true;
}

export function decode(path, bytesPromise, music) {
  if (!audio.decoded.has(path)) {
    audio.decoded.set(path, (async () => {
      const bytes = await bytesPromise;
      if (!bytes || !audio.context) return null;
      try {
        // decodeAudioData takes the buffer over; the copy leaves our bytes for a restart.
        const buffer = await audio.context.decodeAudioData(bytes.slice().buffer);
        const span = music ? musicSpan(buffer, gaplessInfo(bytes)) : { start: 0, end: buffer.length };
        return { buffer, start: span.start / buffer.sampleRate, end: span.end / buffer.sampleRate,
                 span };
      } catch (error) {
        console.error(`${path}: cannot be decoded (${error.message || error})`);
        return null;
      }
    })());
    audio.decoded.get(path).then(() => audio.ready.add(path));
  }
  return audio.decoded.get(path);
}

// Turns the channel down over seconds and ends it then; its end is reported as usual.
export function fadeOutChannel(channel, seconds) {
  if (!channel.source) {
    stopChannel(channel);
    return;
  }
  const at = audio.context.currentTime;
  channel.gain.gain.setValueAtTime(channel.gain.gain.value, at);
  channel.gain.gain.linearRampToValueAtTime(0, at + seconds);
  try {
    channel.source.stop(at + seconds);
  } catch (error) { /* never started */ }
}

export function stopChannel(channel) {
  channel.stopped = true;
  channel.done = true;
  if (channel.source) {
    try {
      channel.source.stop();
    } catch (error) { /* never started */ }
    channel.output.disconnect();
    channel.source = null;
  }
}

// The desktop mixer's pan: the centre plays both sides at full level, and a pan towards one
// side fades the other.
export function setLevels(channel, volume, pan) {
  if (!channel.left) return;
  channel.gain.gain.value = volume;
  channel.left.gain.value = Math.min(1, 1 - pan);
  channel.right.gain.value = Math.min(1, 1 + pan);
}

// Starts a channel of the run that is current now (a channel of an ended run stays silent).
export function startChannel(channel, sound, entry, current) {
  if (channel.stopped || !entry || !current || channel.session !== current) {
    channel.done = true;
    return;
  }
  const ctx = audio.context;
  const source = ctx.createBufferSource();
  source.buffer = entry.buffer;
  const gain = ctx.createGain();
  gain.channelCount = 2;
  gain.channelCountMode = 'explicit';
  gain.channelInterpretation = 'speakers';
  const split = ctx.createChannelSplitter(2);
  const left = ctx.createGain();
  const right = ctx.createGain();
  const merge = ctx.createChannelMerger(2);
  source.connect(gain).connect(split);
  split.connect(left, 0).connect(merge, 0, 0);
  split.connect(right, 1).connect(merge, 0, 1);
  merge.connect(audio.bus);
  Object.assign(channel, { source, gain, left, right, output: merge });
  setLevels(channel, channel.volume, channel.pan);
  source.onended = () => {
    channel.done = true;
    merge.disconnect();
  };
  stats.soundStarts[sound.path] = (stats.soundStarts[sound.path] || 0) + 1;
  const length = entry.end - entry.start;
  if (channel.loops > 0) {
    source.loop = true;
    source.loopStart = entry.start;
    source.loopEnd = entry.end;
  }
  // Music may start part-way into its loop (a replay that jumped); the program checked the time.
  const into = length > 0 && channel.offset > 0 ? channel.offset % length : 0;
  source.start(0, entry.start + into,
               channel.loops >= LOOP_FOREVER ? undefined : length * (channel.loops + 1) - into);
}
