// Keys: the browser's keyboard events as the framework's key codes, characters and modifier
// flags (the desktop's for the same keys), and which shortcuts stay the browser's.
const FLAG_SHIFT = 0x0002; // the stage's modifier bits
const FLAG_CTRL = 0x0004;
const FLAG_ALT = 0x0008;
const FLAG_COMMAND = 0x0010;
const FLAG_RIGHT = 0x4000;

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

export function keyCode(event) {
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

export function keyCharacter(event) {
  if (event.key === 'Enter') return 13;
  if (event.key.length === 1) {
    const c = event.key.charCodeAt(0);
    if (c >= 32 && c <= 126) return c;
  }
  return 0;
}

export function keyFlags(event) {
  let flags = 0;
  if (event.shiftKey) flags |= FLAG_SHIFT;
  if (event.ctrlKey) flags |= FLAG_CTRL;
  if (event.altKey) flags |= FLAG_ALT;
  if (event.metaKey) flags |= FLAG_COMMAND;
  if (event.location === KeyboardEvent.DOM_KEY_LOCATION_RIGHT) flags |= FLAG_RIGHT;
  return flags;
}

// Shortcuts that stay the browser's: closing or reloading the tab, its menus, developer
// tools, and TAB, which moves the focus between the game and the page's own controls. Every
// other key is the game's, so that arrows and SPACE do not scroll.
export function browserKeeps(event) {
  if (event.metaKey || event.code === 'Tab') return true;
  if (event.ctrlKey && !/^Digit[0-9]$/.test(event.code)) return true;
  if (event.altKey && event.code !== 'Enter' && event.code !== 'NumpadEnter') return true;
  return /^F[0-9]+$/.test(event.code);
}

// A page control has the focus (a button, a link, the replays' list): ENTER and SPACE are its.
export function onPageControl(event) {
  return event.target instanceof Element &&
    event.target.closest('button, a[href], summary, input, select, textarea') !== null;
}
