// Clips of play: "Save clip" records the canvas, as the player sees it, with the browser's own
// MediaRecorder as WebM for the ten seconds from the press (a recorder's pieces cannot be cut
// at an arbitrary earlier moment), then offers the clip as a download beside the replays for
// the rest of the visit.
const CLIP_SECONDS = 10;
const CLIPS_OFFERED = 3;
const TYPES = ['video/webm;codecs=vp9', 'video/webm;codecs=vp8', 'video/webm'];

const button = document.getElementById('save-clip');
const links = document.getElementById('clip-links');
let recording = false;

function clipName(when) {
  const two = (n) => String(n).padStart(2, '0');
  return `clip-${when.getFullYear()}-${two(when.getMonth() + 1)}-${two(when.getDate())}_` +
    `${two(when.getHours())}-${two(when.getMinutes())}-${two(when.getSeconds())}.webm`;
}

function offer(blob, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  link.textContent = name;
  const item = document.createElement('li');
  item.append(link);
  links.prepend(item);
  while (links.children.length > CLIPS_OFFERED) {
    const old = links.lastElementChild;
    URL.revokeObjectURL(old.querySelector('a').href);
    old.remove();
  }
}

function record(canvas) {
  const type = TYPES.find((t) => MediaRecorder.isTypeSupported(t));
  if (recording || !type) return;
  const stream = canvas.captureStream(30);
  const recorder = new MediaRecorder(stream, { mimeType: type });
  const pieces = [];
  const name = clipName(new Date());
  recorder.ondataavailable = (event) => {
    if (event.data.size > 0) pieces.push(event.data);
  };
  recorder.onstop = () => {
    for (const track of stream.getTracks()) track.stop();
    recording = false;
    button.disabled = false;
    button.textContent = 'Save clip';
    if (pieces.length) offer(new Blob(pieces, { type: 'video/webm' }), name);
  };
  recording = true;
  button.disabled = true;
  button.textContent = `Recording ${CLIP_SECONDS} s`;
  recorder.start(1000);
  setTimeout(() => recorder.stop(), CLIP_SECONDS * 1000);
}

// A browser without MediaRecorder or canvas capture shows no button.
export function setUpClips(canvas) {
  if (typeof MediaRecorder === 'undefined' || !canvas.captureStream ||
      !TYPES.some((t) => MediaRecorder.isTypeSupported(t))) {
    button.hidden = true;
    return;
  }
  button.hidden = false;
  button.addEventListener('click', () => {
    record(canvas);
    canvas.focus();
  });
}
