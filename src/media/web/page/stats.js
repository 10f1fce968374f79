// What tests and measurements read about the page's frames, sounds and errors; nothing in the
// game depends on it. Lists keep the last minute of frames at 60 a second.
const FRAME_SAMPLES = 3600;

export const stats = {
  firstFrameAt: null, // ms since navigation
  frames: 0,
  frameTimes: [], // ms: when each frame was presented
  workTimes: [], // ms: main-thread time of each refresh that presented a frame
  refreshTimes: [], // ms: when each refresh came
  tileCounts: [], // tiles drawn in each frame
  padInputs: [], // [device, axis (1) or button (0), number, value]: what the pads sent
  soundStarts: {}, // file -> sounds the audio graph started from it
  errors: [],
  sessions: 0,
};

export function keep(list, value) {
  list.push(value);
  if (list.length > FRAME_SAMPLES) list.shift();
}
