// The page around the game: it fetches the data with a progress bar, starts the program
// (zindle.js and zindle.wasm, built from the same sources as the desktop game), and gives it
// what a window gives it on the desktop: a WebGL picture stretched to the page, Web Audio, the
// keyboard, gamepads, and a refresh callback that drives the stage. Where the desktop closes
// its window the page offers to play again, and a fatal error is shown on the page.
'use strict';

(() => {
  // ---- Constants ---------------------------------------------------------------------------
  const FLAG_SHIFT = 0x0002; // the stage's modifier bits
  const FLAG_CTRL = 0x0004;
  const FLAG_ALT = 0x0008;
  const FLAG_COMMAND = 0x0010;
  const FLAG_RIGHT = 0x4000;
  const JOY_AXIS = 24; // native record types for joysticks
  const JOY_BUTTON_DOWN = 27;
  const JOY_BUTTON_UP = 28;
  const AXIS_FULL = 32767; // native axis value of a full deflection
  const LOOP_FOREVER = 1000000; // a loop count this large means "until stopped"
  const DECODER_DELAY = 529; // samples every MP3 decoder adds before the encoder's delay
  const TILE_WORDS = 6; // per tile: left, top, width, height, atlas x, atlas y
  const SAMPLE_RATE = 44100; // Hz, the rate of the game's sounds: decoded without resampling
  const VOICE_HEADROOM = 0.5; // gain before the sum, the desktop mixer's (-6 dB)
  const LIMITER_THRESHOLD_DB = -1; // where the output limiter starts to turn the sum down
  const FRAME_SAMPLES = 3600; // frame records kept for the measurements (a minute at 60 Hz)

  const panel = document.getElementById('panel');
  const heading = document.getElementById('heading');
  const progress = document.getElementById('progress');
  const message = document.getElementById('message');
  const canvas = document.getElementById('game');

  // What tests and measurements read; nothing in the game depends on it.
  const stats = {
    firstFrameAt: null, // ms since navigation
    frames: 0,
    frameTimes: [], // ms: when each frame was presented
    workTimes: [], // ms: main-thread time of each refresh that presented a frame
    refreshTimes: [], // ms: when each refresh came
    tileCounts: [], // tiles drawn in each frame
    soundStarts: {}, // file -> sounds the audio graph started from it
    errors: [],
    sessions: 0,
  };

  const keep = (list, value) => {
    list.push(value);
    if (list.length > FRAME_SAMPLES) list.shift();
  };

  // ---- The panel over the game: loading, play again, errors ---------------------------------
  function showPanel(kind, title, text, withProgress) {
    panel.hidden = false;
    panel.className = kind;
    panel.setAttribute('role', kind === 'error' ? 'alert' : 'status');
    heading.textContent = title;
    message.textContent = text;
    progress.hidden = !withProgress;
  }

  function hidePanel() {
    panel.hidden = true;
    canvas.focus();
  }

  function fatal(caption, text) {
    stats.errors.push(text);
    console.error(`${caption}: ${text}`);
    stopSession();
    showPanel('error', caption, text, false);
  }

  // ---- Loading the data ---------------------------------------------------------------------
  // Every file of assets.json is fetched at once; the bar counts bytes. The program starts when
  // everything but the music is in (the music is most of the bytes and is only needed once it
  // plays); the music goes on arriving behind the first frames.
  const isMusic = (path) => path.endsWith('.mp3');

  async function fetchData(onProgress) {
    const listing = await fetch('assets.json');
    if (!listing.ok) throw new Error(`assets.json: ${listing.status} ${listing.statusText}`);
    const entries = await listing.json();
    const total = entries.reduce((sum, e) => sum + e.size, 0);
    let received = 0;
    const files = new Map(); // path -> { bytes } or { pending: Promise<bytes or null> }
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

  // ---- Sound --------------------------------------------------------------------------------
  // One audio context for the page, kept across restarts with every decoded sound. Browsers
  // start audio only after a gesture: until the first key or button, effects are dropped (as on
  // a muted device) and music waits to start from its beginning.
  const audio = (() => {
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
    return { context, bus, decoded, unlocked: !!context && context.state === 'running' };
  })();

  function unlockAudio() {
    if (!audio.context || audio.unlocked) return;
    audio.unlocked = true;
    audio.context.resume().catch(() => {});
  }

  // The encoder's delay and padding from the LAME tag of an MP3, and how many samples the whole
  // music has; null when the file has no such tag.
  function gaplessInfo(bytes) {
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
  // checked by the program itself (media/common/sound_format), as on the desktop.
  function looksLikeMp3(bytes) {
    const text = (from, length) => String.fromCharCode(...bytes.subarray(from, from + length));
    return text(0, 3) === 'ID3' || (bytes[0] === 0xff && (bytes[1] & 0xe0) === 0xe0);
  }

  function decode(path, bytesPromise, music) {
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
    }
    return audio.decoded.get(path);
  }

  // ---- Drawing ------------------------------------------------------------------------------
  // Tiles are drawn unscaled into a picture of the stage's size, each pixel fetched from its
  // atlas texel (nearest, exactly), blended with straight alpha as the desktop blends; the
  // picture is then stretched onto the canvas: by whole multiples with nearest sampling, and
  // smoothly for what remains, so that pixels stay sharp.
  const renderer = (() => {
    const gl = canvas.getContext('webgl2', { alpha: false, antialias: false, depth: false,
                                             stencil: false, premultipliedAlpha: true,
                                             preserveDrawingBuffer: false });
    if (!gl) return null;
    const compile = (vertex, fragment) => {
      const program = gl.createProgram();
      for (const [type, source] of [[gl.VERTEX_SHADER, vertex], [gl.FRAGMENT_SHADER, fragment]]) {
        const shader = gl.createShader(type);
        gl.shaderSource(shader, source);
        gl.compileShader(shader);
        if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS))
          throw new Error(`shader: ${gl.getShaderInfoLog(shader)}`);
        gl.attachShader(program, shader);
      }
      gl.linkProgram(program);
      if (!gl.getProgramParameter(program, gl.LINK_STATUS))
        throw new Error(`shader: ${gl.getProgramInfoLog(program)}`);
      return program;
    };
    const tileProgram = compile(`#version 300 es
      layout(location = 0) in ivec2 placeAt;
      layout(location = 1) in ivec2 size;
      layout(location = 2) in ivec2 source;
      uniform vec2 picture;
      flat out ivec2 origin;
      void main() {
        vec2 corner = vec2(gl_VertexID & 1, gl_VertexID >> 1);
        vec2 at = vec2(placeAt) + corner * vec2(size);
        origin = source - placeAt;
        gl_Position = vec4(at.x / picture.x * 2.0 - 1.0, 1.0 - at.y / picture.y * 2.0, 0.0, 1.0);
      }`, `#version 300 es
      precision highp float;
      precision highp int;
      uniform highp sampler2D atlas;
      uniform float pictureHeight;
      flat in ivec2 origin;
      out vec4 colour;
      void main() {
        ivec2 pixel = ivec2(int(gl_FragCoord.x), int(pictureHeight - gl_FragCoord.y));
        colour = texelFetch(atlas, origin + pixel, 0);
      }`);
    const copyProgram = compile(`#version 300 es
      uniform vec4 place; // x, y, width, height in clip space
      out vec2 uv;
      void main() {
        vec2 corner = vec2(gl_VertexID & 1, gl_VertexID >> 1);
        uv = corner;
        gl_Position = vec4(place.xy + corner * place.zw, 0.0, 1.0);
      }`, `#version 300 es
      precision mediump float;
      uniform sampler2D image;
      in vec2 uv;
      out vec4 colour;
      void main() { colour = texture(image, uv); }`);

    const tileBuffer = gl.createBuffer();
    const tileArray = gl.createVertexArray();
    const emptyArray = gl.createVertexArray();
    gl.bindVertexArray(tileArray);
    gl.bindBuffer(gl.ARRAY_BUFFER, tileBuffer);
    for (let i = 0; i < 3; ++i) {
      gl.enableVertexAttribArray(i);
      gl.vertexAttribDivisor(i, 1);
    }
    gl.bindVertexArray(null);

    const target = (width, height, filter) => {
      const texture = gl.createTexture();
      gl.bindTexture(gl.TEXTURE_2D, texture);
      gl.texStorage2D(gl.TEXTURE_2D, 1, gl.RGBA8, width, height);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, filter);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, filter);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_S, gl.CLAMP_TO_EDGE);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_T, gl.CLAMP_TO_EDGE);
      const framebuffer = gl.createFramebuffer();
      gl.bindFramebuffer(gl.FRAMEBUFFER, framebuffer);
      gl.framebufferTexture2D(gl.FRAMEBUFFER, gl.COLOR_ATTACHMENT0, gl.TEXTURE_2D, texture, 0);
      gl.bindFramebuffer(gl.FRAMEBUFFER, null);
      return { texture, framebuffer, width, height };
    };
    const drop = (t) => {
      if (!t) return;
      gl.deleteTexture(t.texture);
      gl.deleteFramebuffer(t.framebuffer);
    };

    let picture = null; // the stage's picture at its own size
    let enlarged = null; // the picture at a whole multiple, for the smooth last step
    let scaleMode = 3;
    const textures = new Map(); // image handle -> { texture, width, height }

    const uniforms = {
      picture: gl.getUniformLocation(tileProgram, 'picture'),
      pictureHeight: gl.getUniformLocation(tileProgram, 'pictureHeight'),
      atlas: gl.getUniformLocation(tileProgram, 'atlas'),
      place: gl.getUniformLocation(copyProgram, 'place'),
      image: gl.getUniformLocation(copyProgram, 'image'),
    };

    // Where the picture goes on a canvas of the given size, by the stage's scale mode:
    // 3 stretches it over the whole canvas, 0 shows all of it, 1 leaves its size, 2 fills
    // without borders.
    function placePicture(width, height) {
      const pw = picture.width;
      const ph = picture.height;
      if (scaleMode === 3) return { x: 0, y: 0, w: width, h: height };
      const sx = width / pw;
      const sy = height / ph;
      const scale = scaleMode === 1 ? 1 : scaleMode === 2 ? Math.max(sx, sy) : Math.min(sx, sy);
      const w = Math.round(pw * scale);
      const h = Math.round(ph * scale);
      return { x: Math.floor((width - w) / 2), y: Math.floor((height - h) / 2), w, h };
    }

    function copy(source, filter, x, y, w, h, targetWidth, targetHeight) {
      gl.useProgram(copyProgram);
      gl.bindVertexArray(emptyArray);
      gl.activeTexture(gl.TEXTURE0);
      gl.bindTexture(gl.TEXTURE_2D, source.texture);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, filter);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, filter);
      gl.uniform1i(uniforms.image, 0);
      // The picture's rows are stored bottom-up, as GL draws them: v = 0 is its bottom.
      gl.uniform4f(uniforms.place, (x / targetWidth) * 2 - 1, 1 - ((y + h) / targetHeight) * 2,
                   (w / targetWidth) * 2, (h / targetHeight) * 2);
      gl.drawArrays(gl.TRIANGLE_STRIP, 0, 4);
    }

    function fitCanvas() {
      const ratio = window.devicePixelRatio || 1;
      const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
      const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
      if (canvas.width !== width || canvas.height !== height) {
        canvas.width = width;
        canvas.height = height;
      }
    }

    // The picture onto the canvas.
    function present() {
      if (!picture) return;
      fitCanvas();
      const place = placePicture(canvas.width, canvas.height);
      gl.disable(gl.BLEND);
      const covers = place.x <= 0 && place.y <= 0 && place.x + place.w >= canvas.width &&
                     place.y + place.h >= canvas.height;
      const kx = Math.max(1, Math.floor(place.w / picture.width));
      const ky = Math.max(1, Math.floor(place.h / picture.height));
      let source = picture;
      if (kx * picture.width !== place.w || ky * picture.height !== place.h) {
        if (!enlarged || enlarged.width !== kx * picture.width || enlarged.height !== ky * picture.height) {
          drop(enlarged);
          enlarged = target(kx * picture.width, ky * picture.height, gl.LINEAR);
        }
        gl.bindFramebuffer(gl.FRAMEBUFFER, enlarged.framebuffer);
        gl.viewport(0, 0, enlarged.width, enlarged.height);
        copy(picture, gl.NEAREST, 0, 0, enlarged.width, enlarged.height, enlarged.width, enlarged.height);
        source = enlarged;
      }
      gl.bindFramebuffer(gl.FRAMEBUFFER, null);
      gl.viewport(0, 0, canvas.width, canvas.height);
      if (!covers) {
        gl.clearColor(0, 0, 0, 1);
        gl.clear(gl.COLOR_BUFFER_BIT);
      }
      copy(source, source === picture ? gl.NEAREST : gl.LINEAR, place.x, place.y, place.w, place.h,
           canvas.width, canvas.height);
    }

    return {
      createWindow(width, height) {
        drop(picture);
        picture = target(width, height, gl.NEAREST);
        gl.bindFramebuffer(gl.FRAMEBUFFER, picture.framebuffer);
        gl.clearColor(0, 0, 0, 1);
        gl.clear(gl.COLOR_BUFFER_BIT);
        gl.bindFramebuffer(gl.FRAMEBUFFER, null);
      },
      createImage(handle, width, height, rgba) {
        const texture = gl.createTexture();
        gl.bindTexture(gl.TEXTURE_2D, texture);
        gl.pixelStorei(gl.UNPACK_ALIGNMENT, 1);
        gl.pixelStorei(gl.UNPACK_PREMULTIPLY_ALPHA_WEBGL, false);
        gl.pixelStorei(gl.UNPACK_COLORSPACE_CONVERSION_WEBGL, gl.NONE);
        gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA8, width, height, 0, gl.RGBA, gl.UNSIGNED_BYTE, rgba);
        gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.NEAREST);
        gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.NEAREST);
        textures.set(handle, { texture, width, height });
      },
      // Runs are (image, first tile, tile count) triples; tiles six 16-bit numbers each.
      drawFrame(rgb, runs, tiles) {
        gl.bindFramebuffer(gl.FRAMEBUFFER, picture.framebuffer);
        gl.viewport(0, 0, picture.width, picture.height);
        gl.clearColor(((rgb >> 16) & 255) / 255, ((rgb >> 8) & 255) / 255, (rgb & 255) / 255, 1);
        gl.clear(gl.COLOR_BUFFER_BIT);
        if (runs.length) {
          gl.useProgram(tileProgram);
          gl.uniform2f(uniforms.picture, picture.width, picture.height);
          gl.uniform1f(uniforms.pictureHeight, picture.height);
          gl.uniform1i(uniforms.atlas, 0);
          gl.activeTexture(gl.TEXTURE0);
          gl.bindVertexArray(tileArray);
          gl.bindBuffer(gl.ARRAY_BUFFER, tileBuffer);
          gl.bufferData(gl.ARRAY_BUFFER, tiles, gl.STREAM_DRAW);
          gl.enable(gl.BLEND);
          // Colour blended by the tile's alpha; the picture itself stays opaque.
          gl.blendFuncSeparate(gl.SRC_ALPHA, gl.ONE_MINUS_SRC_ALPHA, gl.ZERO, gl.ONE);
          const stride = TILE_WORDS * 2;
          for (let i = 0; i < runs.length; i += 3) {
            const image = textures.get(runs[i]);
            if (!image) continue;
            const offset = runs[i + 1] * stride;
            gl.vertexAttribIPointer(0, 2, gl.SHORT, stride, offset);
            gl.vertexAttribIPointer(1, 2, gl.SHORT, stride, offset + 4);
            gl.vertexAttribIPointer(2, 2, gl.SHORT, stride, offset + 8);
            gl.bindTexture(gl.TEXTURE_2D, image.texture);
            gl.drawArraysInstanced(gl.TRIANGLE_STRIP, 0, 4, runs[i + 2]);
          }
          gl.bindVertexArray(null);
        }
        present();
      },
      setScaleMode(mode) {
        scaleMode = mode;
      },
      present,
      // A new program: the old one's images go.
      reset() {
        for (const image of textures.values()) gl.deleteTexture(image.texture);
        textures.clear();
      },
      // The picture as the last frame left it: rows top to bottom, four bytes a pixel.
      readPicture() {
        if (!picture) return null;
        const rows = new Uint8Array(picture.width * picture.height * 4);
        gl.bindFramebuffer(gl.FRAMEBUFFER, picture.framebuffer);
        gl.readPixels(0, 0, picture.width, picture.height, gl.RGBA, gl.UNSIGNED_BYTE, rows);
        gl.bindFramebuffer(gl.FRAMEBUFFER, null);
        const flipped = new Uint8Array(rows.length);
        const line = picture.width * 4;
        for (let y = 0; y < picture.height; ++y)
          flipped.set(rows.subarray((picture.height - 1 - y) * line, (picture.height - y) * line), y * line);
        return { width: picture.width, height: picture.height, rgba: flipped };
      },
    };
  })();

  // ---- Keys ---------------------------------------------------------------------------------
  // Browser key names to the framework's key codes (the desktop's codes for the same keys).
  const keyCodes = {
    Backspace: 8, Tab: 9, Enter: 13, NumpadEnter: 108, ShiftLeft: 16, ShiftRight: 16,
    ControlLeft: 17, ControlRight: 17, AltLeft: 18, AltRight: 18, Pause: 19, CapsLock: 20,
    Escape: 27, Space: 32, PageUp: 33, PageDown: 34, End: 35, Home: 36, ArrowLeft: 37,
    ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, Insert: 45, Delete: 46, MetaLeft: 15,
    MetaRight: 15, NumpadMultiply: 106, NumpadAdd: 107, NumpadSubtract: 109,
    NumpadDecimal: 110, NumpadDivide: 111, NumLock: 144, ScrollLock: 145, Semicolon: 186,
    Equal: 187, Comma: 188, Minus: 189, Period: 190, Slash: 191, Backquote: 192,
    BracketLeft: 219, Backslash: 220, BracketRight: 221, Quote: 222,
  };

  function keyCode(event) {
    const code = event.code;
    // Letters follow the keyboard's layout, as on the desktop; other keys their place.
    if (/^[a-zA-Z]$/.test(event.key)) return event.key.toUpperCase().charCodeAt(0);
    let match;
    if ((match = /^Key([A-Z])$/.exec(code))) return match[1].charCodeAt(0);
    if ((match = /^Digit([0-9])$/.exec(code))) return 48 + Number(match[1]);
    if ((match = /^Numpad([0-9])$/.exec(code))) return 96 + Number(match[1]);
    if ((match = /^F([0-9]+)$/.exec(code))) {
      const n = Number(match[1]);
      if (n >= 1 && n <= 15) return 111 + n;
    }
    return keyCodes[code] || 0;
  }

  function keyCharacter(event) {
    if (event.key === 'Enter') return 13;
    if (event.key.length === 1) {
      const c = event.key.charCodeAt(0);
      if (c >= 32 && c <= 126) return c;
    }
    return 0;
  }

  function keyFlags(event) {
    let flags = 0;
    if (event.shiftKey) flags |= FLAG_SHIFT;
    if (event.ctrlKey) flags |= FLAG_CTRL;
    if (event.altKey) flags |= FLAG_ALT;
    if (event.metaKey) flags |= FLAG_COMMAND;
    if (event.location === KeyboardEvent.DOM_KEY_LOCATION_RIGHT) flags |= FLAG_RIGHT;
    return flags;
  }

  // Shortcuts that stay the browser's: closing or reloading the tab, its menus, developer
  // tools. Every other key is the game's, so that arrows and SPACE do not scroll and TAB does
  // not move the focus away.
  function browserKeeps(event) {
    if (event.metaKey) return true;
    if (event.ctrlKey && !/^Digit[0-9]$/.test(event.code)) return true;
    if (event.altKey && event.code !== 'Enter' && event.code !== 'NumpadEnter') return true;
    return /^F[0-9]+$/.test(event.code);
  }

  // ---- Gamepads -----------------------------------------------------------------------------
  // Read once a refresh and turned into the desktop's joystick records. A pad keeps its device
  // number while connected; a new pad takes the lowest free one. Pads with the standard
  // mapping have their buttons renumbered as the desktop numbers a common pad's, so that
  // Start is button 7 there too.
  const STANDARD_BUTTONS = [0, 1, 2, 3, 4, 5, 11, 12, 6, 7, 8, 9, 13, 14, 15, 16, 10];
  const pads = new Map(); // Gamepad.index -> { device, axes, buttons }

  function pollGamepads(send) {
    const list = navigator.getGamepads ? navigator.getGamepads() : [];
    const seen = new Set();
    let pressed = false;
    for (const pad of list) {
      if (!pad || !pad.connected) continue;
      seen.add(pad.index);
      let known = pads.get(pad.index);
      if (!known) {
        const taken = new Set([...pads.values()].map((p) => p.device));
        let device = 0;
        while (taken.has(device)) ++device;
        known = { device, axes: [], buttons: [] };
        pads.set(pad.index, known);
      }
      pad.axes.forEach((value, axis) => {
        const raw = Math.max(-32768, Math.min(AXIS_FULL, Math.round(value * AXIS_FULL)));
        if ((known.axes[axis] || 0) !== raw) {
          known.axes[axis] = raw;
          send(JOY_AXIS, known.device, axis, raw);
        }
      });
      pad.buttons.forEach((button, index) => {
        const down = button.pressed;
        if (!!known.buttons[index] === down) return;
        known.buttons[index] = down;
        if (down) pressed = true;
        const number = pad.mapping === 'standard' && index < STANDARD_BUTTONS.length
          ? STANDARD_BUTTONS[index] : index;
        send(down ? JOY_BUTTON_DOWN : JOY_BUTTON_UP, known.device, number, 0);
      });
    }
    for (const index of [...pads.keys()]) if (!seen.has(index)) pads.delete(index);
    return pressed;
  }

  // ---- The running program ------------------------------------------------------------------
  let files = null; // path -> { bytes } or { pending }
  let wasmModule = null; // compiled once, instantiated for every run
  let session = null; // the running program and what it has made
  let frameRequest = 0;
  let lastRefresh = 0;
  let inGesture = false;
  let swallowKeyUp = null; // the key that started a new run: its release is not the game's

  function stopSession() {
    if (!session) return;
    session.running = false;
    cancelAnimationFrame(frameRequest);
    for (const channel of session.channels.values()) stopChannel(channel);
    session.channels.clear();
  }

  // Turns the channel down over seconds and ends it then; its end is reported as usual.
  function fadeOutChannel(channel, seconds) {
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

  function stopChannel(channel) {
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
  function setLevels(channel, volume, pan) {
    if (!channel.left) return;
    channel.gain.gain.value = volume;
    channel.left.gain.value = Math.min(1, 1 - pan);
    channel.right.gain.value = Math.min(1, 1 + pan);
  }

  function startChannel(channel, sound, entry) {
    if (channel.stopped || !entry || !session || channel.session !== session) {
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
    source.start(0, entry.start, channel.loops >= LOOP_FOREVER ? undefined : length * (channel.loops + 1));
  }

  // What the program calls (web_host.h), for one run.
  function makeHost(run) {
    return {
      createWindow(width, height, title) {
        document.title = title;
        renderer.createWindow(width, height);
      },
      createImage: (handle, width, height, rgba) => renderer.createImage(handle, width, height, rgba),
      drawFrame(rgb, runs, tiles) {
        if (run !== session) return;
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
        if (!inGesture) return;
        if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
        else document.documentElement.requestFullscreen().catch(() => {});
      },
      setScaleMode: (mode) => renderer.setScaleMode(mode),
      showCursor(show) {
        canvas.style.cursor = show ? 'auto' : 'none';
      },
      closed() {
        if (run !== session) return;
        stopSession();
        showPanel('again', 'Zindle vs Pellorin', 'Press any key to play again', false);
      },
      showError(caption, text) {
        fatal(caption, text);
      },
      loadSound(handle, path, music) {
        path = path.replace(/^\/+/, '');
        const file = files.get(path);
        if (!file) return false;
        if (music && file.bytes && !looksLikeMp3(file.bytes)) return false;
        run.sounds.set(handle, { path, music });
        decode(path, file.bytes || file.pending, music);
        return true;
      },
      playSound(channelHandle, soundHandle, loops, volume, pan) {
        const sound = run.sounds.get(soundHandle);
        if (!sound) return false;
        const channel = { session: run, loops, volume, pan, done: false, stopped: false, source: null };
        run.channels.set(channelHandle, channel);
        if (!audio.context || (!sound.music && !audio.unlocked)) {
          channel.done = true;
          return true;
        }
        decode(sound.path, null, sound.music).then((entry) => startChannel(channel, sound, entry));
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

  async function instantiate(imports, done) {
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

  // Options for measurements only, from the address: ?seed=N&ai=1,2,3,4&skip=S&score=N (see
  // web_entry.cpp). Without them the game starts as it always does.
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
      host: makeHost(run),
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

  // ---- The page's events --------------------------------------------------------------------
  window.addEventListener('keydown', (event) => {
    unlockAudio();
    const keeps = browserKeeps(event);
    if (session && !session.running && panel.className === 'again') {
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
    if (session && !session.running && panel.className === 'again') {
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
    files = await fetchData((share) => {
      progress.value = share;
    });
    await startSession();
    requestAnimationFrame(watchPadsWhileClosed);
  }

  main().catch((error) => fatal('Error', error.message));
})();
