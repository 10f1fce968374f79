// The picture: tiles are drawn unscaled into a picture of the stage's size, each pixel fetched
// from its atlas texel (nearest, exactly), blended with straight alpha as the desktop blends,
// straight onto a canvas of the picture's size, which the compositor enlarges (layout.js). null
// where WebGL 2 is missing.
//
// Without a graphics card WebGL runs on Chromium's software rasteriser, which pays a set-up for
// every instance of an instanced draw and for every pass. So tiles are plain triangles (one call
// a run of tiles of one atlas), tiles wholly outside the picture are never sent, and the canvas
// gets the tiles directly; a canvas of another size would get the picture by a blit.
import { placeCanvas } from './layout.js';

export const TILE_WORDS = 6; // per tile: left, top, width, height, atlas x, atlas y
const canvas = document.getElementById('game');

export const renderer = (() => {
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
    layout(location = 0) in ivec2 corner; // px, in the picture
    layout(location = 1) in ivec2 origin; // the atlas texel that lands on the picture's (0, 0)
    uniform vec2 picture;
    flat out ivec2 texelOrigin;
    void main() {
      texelOrigin = origin;
      vec2 at = vec2(corner);
      gl_Position = vec4(at.x / picture.x * 2.0 - 1.0, 1.0 - at.y / picture.y * 2.0, 0.0, 1.0);
    }`, `#version 300 es
    precision highp float;
    precision highp int;
    uniform highp sampler2D atlas;
    uniform float pictureHeight;
    flat in ivec2 texelOrigin;
    out vec4 colour;
    void main() {
      ivec2 pixel = ivec2(int(gl_FragCoord.x), int(pictureHeight - gl_FragCoord.y));
      colour = texelFetch(atlas, texelOrigin + pixel, 0);
    }`);
  // Four corners a tile, each (x, y, origin x, origin y) in 16-bit integers; two triangles a
  // tile from a fixed list of indices, which grows with the busiest frame so far.
  const VERTEX_WORDS = 4;
  const tileBuffer = gl.createBuffer();
  const indexBuffer = gl.createBuffer();
  const tileArray = gl.createVertexArray();
  gl.bindVertexArray(tileArray);
  gl.bindBuffer(gl.ARRAY_BUFFER, tileBuffer);
  gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, indexBuffer);
  for (let i = 0; i < 2; ++i) gl.enableVertexAttribArray(i);
  gl.vertexAttribIPointer(0, 2, gl.SHORT, VERTEX_WORDS * 2, 0);
  gl.vertexAttribIPointer(1, 2, gl.SHORT, VERTEX_WORDS * 2, 4);
  gl.bindVertexArray(null);
  let vertices = new Int16Array(0);
  let indexedTiles = 0;
  const visibleRuns = []; // (image, first visible tile, visible tiles) triples

  function holdTiles(count) {
    if (vertices.length < count * 4 * VERTEX_WORDS)
      vertices = new Int16Array(count * 4 * VERTEX_WORDS);
    if (indexedTiles >= count) return;
    indexedTiles = Math.max(count, indexedTiles * 2, 256);
    const indices = new Uint32Array(indexedTiles * 6);
    for (let t = 0, v = 0; t < indices.length; t += 6, v += 4) {
      indices[t] = v;
      indices[t + 1] = v + 1;
      indices[t + 2] = v + 2;
      indices[t + 3] = v + 2;
      indices[t + 4] = v + 1;
      indices[t + 5] = v + 3;
    }
    gl.bindVertexArray(tileArray);
    gl.bufferData(gl.ELEMENT_ARRAY_BUFFER, indices, gl.STATIC_DRAW);
    gl.bindVertexArray(null);
  }

  // Writes the corners of the runs' tiles that reach into the picture; returns how many.
  function buildTiles(runs, tiles) {
    holdTiles(tiles.length / TILE_WORDS);
    visibleRuns.length = 0;
    const width = picture.width;
    const height = picture.height;
    let visible = 0;
    for (let r = 0; r < runs.length; r += 3) {
      const first = visible;
      const end = (runs[r + 1] + runs[r + 2]) * TILE_WORDS;
      for (let i = runs[r + 1] * TILE_WORDS; i < end; i += TILE_WORDS) {
        const left = tiles[i];
        const top = tiles[i + 1];
        const right = left + tiles[i + 2];
        const bottom = top + tiles[i + 3];
        if (left >= width || top >= height || right <= 0 || bottom <= 0) continue;
        const originX = tiles[i + 4] - left;
        const originY = tiles[i + 5] - top;
        const v = visible * 4 * VERTEX_WORDS;
        vertices[v] = left;
        vertices[v + 1] = top;
        vertices[v + 4] = right;
        vertices[v + 5] = top;
        vertices[v + 8] = left;
        vertices[v + 9] = bottom;
        vertices[v + 12] = right;
        vertices[v + 13] = bottom;
        for (let corner = v + 2; corner < v + 16; corner += VERTEX_WORDS) {
          vertices[corner] = originX;
          vertices[corner + 1] = originY;
        }
        ++visible;
      }
      if (visible > first) visibleRuns.push(runs[r], first, visible - first);
    }
    return visible;
  }

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
  let pictureCurrent = true; // picture holds the last frame (it is skipped when not needed)
  let background = 0; // the last frame's colour behind the tiles
  let scaleMode = 3;
  const textures = new Map(); // image handle -> { texture, width, height }

  const uniforms = {
    picture: gl.getUniformLocation(tileProgram, 'picture'),
    pictureHeight: gl.getUniformLocation(tileProgram, 'pictureHeight'),
    atlas: gl.getUniformLocation(tileProgram, 'atlas'),
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

  function fitCanvas() {
    placeCanvas(picture.width, picture.height);
  }

  // The last frame (its background and the tiles in the buffer) into a framebuffer of the
  // picture's size.
  function drawTiles(framebuffer) {
    gl.bindFramebuffer(gl.FRAMEBUFFER, framebuffer);
    gl.viewport(0, 0, picture.width, picture.height);
    gl.clearColor(((background >> 16) & 255) / 255, ((background >> 8) & 255) / 255,
                  (background & 255) / 255, 1);
    gl.clear(gl.COLOR_BUFFER_BIT);
    if (!visibleRuns.length) return;
    gl.useProgram(tileProgram);
    gl.uniform2f(uniforms.picture, picture.width, picture.height);
    gl.uniform1f(uniforms.pictureHeight, picture.height);
    gl.uniform1i(uniforms.atlas, 0);
    gl.activeTexture(gl.TEXTURE0);
    gl.bindVertexArray(tileArray);
    gl.enable(gl.BLEND);
    // Colour blended by the tile's alpha; the picture itself stays opaque.
    gl.blendFuncSeparate(gl.SRC_ALPHA, gl.ONE_MINUS_SRC_ALPHA, gl.ZERO, gl.ONE);
    for (let i = 0; i < visibleRuns.length; i += 3) {
      const image = textures.get(visibleRuns[i]);
      if (!image) continue;
      gl.bindTexture(gl.TEXTURE_2D, image.texture);
      gl.drawElements(gl.TRIANGLES, visibleRuns[i + 2] * 6, gl.UNSIGNED_INT,
                      visibleRuns[i + 1] * 6 * 4);
    }
    gl.bindVertexArray(null);
    gl.disable(gl.BLEND);
  }

  // GL's rows, bottom to top, in reading order.
  function flipRows(rows, width, height) {
    const flipped = new Uint8Array(rows.length);
    const line = width * 4;
    for (let y = 0; y < height; ++y)
      flipped.set(rows.subarray((height - 1 - y) * line, (height - y) * line), y * line);
    return flipped;
  }

  // The picture onto the canvas.
  function present() {
    if (!picture) return;
    fitCanvas();
    if (canvas.width === picture.width && canvas.height === picture.height) {
      // The canvas is the picture's size (every scale mode then places it one to one): the
      // tiles go straight onto it, without a second pass through the picture.
      drawTiles(null);
      return;
    }
    if (!pictureCurrent) {
      drawTiles(picture.framebuffer);
      pictureCurrent = true;
    }
    const place = placePicture(canvas.width, canvas.height);
    gl.disable(gl.BLEND);
    const covers = place.x <= 0 && place.y <= 0 && place.x + place.w >= canvas.width &&
                   place.y + place.h >= canvas.height;
    gl.bindFramebuffer(gl.FRAMEBUFFER, null);
    gl.viewport(0, 0, canvas.width, canvas.height);
    if (!covers) {
      gl.clearColor(0, 0, 0, 1);
      gl.clear(gl.COLOR_BUFFER_BIT);
    }
    // A whole multiple: a blit with no filtering, which the software rasteriser does as a
    // plain copy rather than a shaded pass.
    gl.bindFramebuffer(gl.READ_FRAMEBUFFER, picture.framebuffer);
    const bottom = canvas.height - place.y - place.h; // GL counts rows from the bottom
    gl.blitFramebuffer(0, 0, picture.width, picture.height, place.x, bottom, place.x + place.w,
                       bottom + place.h, gl.COLOR_BUFFER_BIT, gl.NEAREST);
    gl.bindFramebuffer(gl.READ_FRAMEBUFFER, null);
  }

  return {
    createWindow(width, height) {
      drop(picture);
      picture = target(width, height, gl.NEAREST);
      pictureCurrent = true;
      background = 0;
      visibleRuns.length = 0;
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
      background = rgb;
      const visible = runs.length ? buildTiles(runs, tiles) : 0;
      if (visible > 0) {
        gl.bindBuffer(gl.ARRAY_BUFFER, tileBuffer);
        gl.bufferData(gl.ARRAY_BUFFER, vertices.subarray(0, visible * 4 * VERTEX_WORDS),
                      gl.STREAM_DRAW);
      } else {
        visibleRuns.length = 0;
      }
      pictureCurrent = false;
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
    // The canvas with the last frame presented on it, for tests: rows top to bottom, four
    // bytes a pixel. Read in the same task as the present, while the canvas still holds it.
    readCanvas() {
      if (!picture) return null;
      present();
      const rows = new Uint8Array(canvas.width * canvas.height * 4);
      gl.bindFramebuffer(gl.FRAMEBUFFER, null);
      gl.readPixels(0, 0, canvas.width, canvas.height, gl.RGBA, gl.UNSIGNED_BYTE, rows);
      return { width: canvas.width, height: canvas.height,
               rgba: flipRows(rows, canvas.width, canvas.height) };
    },
    // The picture as the last frame left it: rows top to bottom, four bytes a pixel.
    readPicture() {
      if (!picture) return null;
      if (!pictureCurrent) {
        drawTiles(picture.framebuffer);
        pictureCurrent = true;
      }
      const rows = new Uint8Array(picture.width * picture.height * 4);
      gl.bindFramebuffer(gl.FRAMEBUFFER, picture.framebuffer);
      gl.readPixels(0, 0, picture.width, picture.height, gl.RGBA, gl.UNSIGNED_BYTE, rows);
      gl.bindFramebuffer(gl.FRAMEBUFFER, null);
      return { width: picture.width, height: picture.height,
               rgba: flipRows(rows, picture.width, picture.height) };
    },
  };
})();
