// Gamepads, read once a refresh; only what changed since the last reading goes to the program.
// A pad keeps its device number while connected; a new pad takes the lowest free one. A pad with
// the browser's standard mapping passes its buttons and axes by their standard numbers, and the
// program applies the standard layout's rules to them (input/pad_layout.h), as the desktop does
// to the pads SDL maps; any other pad passes them raw, as the desktop's unmapped joysticks.
export const JOY_AXIS = 24; // native record types for joysticks
export const JOY_BUTTON_DOWN = 27;
export const JOY_BUTTON_UP = 28;
const AXIS_FULL = 32767; // native axis value of a full deflection

const pads = new Map(); // Gamepad.index -> { device, standard, axes, buttons }

// program: { raw(type, device, code, value), standard(device, isAxis, index, value) }
function sendAxis(program, known, axis, raw) {
  if (known.standard) program.standard(known.device, 1, axis, raw);
  else program.raw(JOY_AXIS, known.device, axis, raw);
}

function sendButton(program, known, index, down) {
  if (known.standard) program.standard(known.device, 0, index, down ? 1 : 0);
  else program.raw(down ? JOY_BUTTON_DOWN : JOY_BUTTON_UP, known.device, index, 0);
}

// Everything the pad holds, let go: buttons released and axes centred.
function letGo(program, known) {
  known.buttons.forEach((down, index) => {
    if (down) sendButton(program, known, index, false);
  });
  known.axes.forEach((raw, axis) => {
    if (raw) sendAxis(program, known, axis, 0);
  });
  known.buttons = [];
  known.axes = [];
}

// Reads every pad and sends what changed; true when a button went down.
export function pollGamepads(program) {
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
      known = { device, standard: pad.mapping === 'standard', axes: [], buttons: [] };
      pads.set(pad.index, known);
    }
    pad.axes.forEach((value, axis) => {
      const raw = Math.max(-32768, Math.min(AXIS_FULL, Math.round(value * AXIS_FULL)));
      if ((known.axes[axis] || 0) !== raw) {
        known.axes[axis] = raw;
        sendAxis(program, known, axis, raw);
      }
    });
    pad.buttons.forEach((button, index) => {
      const down = button.pressed;
      if (!!known.buttons[index] === down) return;
      known.buttons[index] = down;
      if (down) pressed = true;
      sendButton(program, known, index, down);
    });
  }
  // A pad that went lets go of what it held, and frees its number.
  for (const [index, known] of [...pads]) {
    if (seen.has(index)) continue;
    letGo(program, known);
    pads.delete(index);
  }
  return pressed;
}

// The page lost the player's attention: every pad lets go; what is still held when it comes
// back is sent afresh.
export function releasePads(program) {
  for (const known of pads.values()) letGo(program, known);
}

// A new run of the program knows nothing of the pads: their axes are sent afresh. Buttons held
// now stay known as held, so that the button that started the run does not also join.
export function padsForNewRun() {
  for (const known of pads.values()) known.axes = [];
}

// Reads the pads for a screen that only wants to know whether a button went down.
export const IGNORE = { raw() {}, standard() {} };
