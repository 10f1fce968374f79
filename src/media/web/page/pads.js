// Gamepads, read once a refresh and turned into the desktop's joystick records.
export const JOY_AXIS = 24; // native record types for joysticks
export const JOY_BUTTON_DOWN = 27;
export const JOY_BUTTON_UP = 28;
const AXIS_FULL = 32767; // native axis value of a full deflection

// A pad keeps its device number while connected; a new pad takes the lowest free one. Pads with
// the standard mapping have their buttons renumbered as the desktop numbers a common pad's, so
// that Start is button 7 there too.
const STANDARD_BUTTONS = [0, 1, 2, 3, 4, 5, 11, 12, 6, 7, 8, 9, 13, 14, 15, 16, 10];
export const pads = new Map(); // Gamepad.index -> { device, axes, buttons }

export function pollGamepads(send) {
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
