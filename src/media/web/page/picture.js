// The picture: tiles are drawn unscaled into a picture of the stage's size, each pixel fetched
// from its atlas texel (nearest, exactly), blended with straight alpha as the desktop blends;
// the picture is then stretched onto the canvas: by whole multiples with nearest sampling, and
// smoothly for what remains, so that pixels stay sharp. null where WebGL 2 is missing.
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
