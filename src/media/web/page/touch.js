// Touch play: a tap joins, and holding the left or right part of the screen steers. Every player
// who joined by touch has a pair of zones of their own, side by side across the screen, so that
// several fingers on a tablet steer several players; a tap on an empty player's panel, where the
// program draws the panels, joins that player. On a screen taller than wide the picture keeps its
// shape at the top and the zones are drawn below it; on a wide screen the zones are the whole
// screen, bars included, labelled over the picture. Touches become the keys of those players.
//
// A finger can leave without a word: a rotation or a hidden page may swallow its touchend. So
// every touch event checks the fingers held against those still down (TouchEvent.touches), and a
// rotation, a resize or a hidden page lets go of every key the fingers held.
import { inPicture, picture } from './layout.js';
import { panelInCopy } from './panel_copy.js';

const KEYS = [[37, 39, 32], [81, 87, 69], [79, 80, 73], [90, 88, 67]]; // left, right, join
// A touch that ends near where it began is a tap, however long it lasted: taps join only where
// touches do not steer (on the panels, or while nobody plays by touch), so a press held there is
// a tap too.
const TAP_TRAVEL = 24; // px

const band = document.getElementById('touch');

// game: { send(down, code), inPlay() -> players in play, playAgain() -> true if it started a run,
//         modeChanged(touch), panelStrip() -> { left, top, panelWidth, panels } in picture
//         pixels, where the program draws the players' panels }
export function setUpTouch(game) {
  let touchMode = window.matchMedia('(pointer: coarse)').matches;
  let players = []; // who joined by touch, in the order of their zones
  const touches = new Map(); // identifier -> { x, y, at, key }
  const holds = new Map(); // key code -> touches holding it

  function layout() {
    const portrait = touchMode && window.innerHeight > window.innerWidth;
    document.body.classList.toggle('touch', touchMode);
    document.body.classList.toggle('portrait', portrait);
    drawZones(portrait);
  }

  function setMode(touch) {
    if (touch === touchMode) return;
    touchMode = touch;
    layout();
    game.modeChanged(touch);
  }

  // Players who joined by touch and still play.
  function current() {
    const inPlay = new Set(game.inPlay());
    players = players.filter((p) => inPlay.has(p));
    return players;
  }

  function drawZones(portrait) {
    band.replaceChildren();
    band.classList.toggle('over', !portrait);
    if (!portrait && !players.length) return;
    const list = players.length ? players : [null];
    for (const player of list) {
      const column = document.createElement('div');
      column.className = 'zone-pair';
      for (const side of ['left', 'right']) {
        const zone = document.createElement('div');
        zone.className = `zone ${side}`;
        zone.textContent = `${side === 'left' ? '◀' : ''}${player === null ? '' : ` P${player + 1} `}${side === 'right' ? '▶' : ''}`;
        column.appendChild(zone);
      }
      band.appendChild(column);
    }
  }

  // The player whose panel is drawn under a page point (in the picture or its copy), or null.
  function panelAt(x, y) {
    const strip = game.panelStrip();
    const copied = panelInCopy(x, y, strip.panels);
    if (copied !== null) return copied;
    const at = inPicture(x, y);
    const share = (at.x - strip.left) / strip.panelWidth;
    if (at.y < strip.top || at.y >= picture.height || share < 0 || share >= strip.panels)
      return null;
    return Math.floor(share);
  }

  // Where the zones are: the band below the picture when upright, else the whole screen.
  function zoneArea() {
    if (document.body.classList.contains('portrait')) return band.getBoundingClientRect();
    return { left: 0, top: 0, right: window.innerWidth, bottom: window.innerHeight,
             width: window.innerWidth };
  }

  function keyAt(x, y) {
    const list = current();
    if (!list.length) return null;
    const area = zoneArea();
    if (x < area.left || x >= area.right || y < area.top || y >= area.bottom) return null;
    // The players' panels are for joining, not for steering.
    if (panelAt(x, y) !== null) return null;
    const share = (x - area.left) / area.width * list.length;
    const column = Math.min(list.length - 1, Math.floor(share));
    return KEYS[list[column]][share - column < 0.5 ? 0 : 1];
  }

  function hold(key, down) {
    if (key === null) return;
    const count = (holds.get(key) || 0) + (down ? 1 : -1);
    holds.set(key, Math.max(0, count));
    if (down && count === 1) game.send(true, key);
    if (!down && count === 0) game.send(false, key);
  }

  // A phone plays on the whole screen: the tap that brings a player in asks for it.
  function fillPhoneScreen() {
    const phone = Math.min(window.screen.width, window.screen.height) < 600;
    if (phone && document.fullscreenEnabled && !document.fullscreenElement)
      document.documentElement.requestFullscreen().catch(() => {});
  }

  function join(player) {
    fillPhoneScreen();
    game.send(true, KEYS[player][2]);
    game.send(false, KEYS[player][2]);
    if (!players.includes(player)) players.push(player);
    layout();
  }

  // A tap joins: on an empty player's panel, that player; elsewhere, while nobody plays by
  // touch, the first player not in play.
  function tap(x, y) {
    if (game.playAgain()) return;
    const inPlay = new Set(game.inPlay());
    const panel = panelAt(x, y);
    if (panel !== null) {
      if (!inPlay.has(panel)) join(panel);
      return;
    }
    if (current().length) return;
    for (let player = 0; player < KEYS.length; ++player) {
      if (!inPlay.has(player)) {
        join(player);
        return;
      }
    }
  }

  // Fingers held that are no longer down: their touchend never came.
  function reconcile(event) {
    const down = new Set(Array.from(event.touches, (t) => t.identifier));
    for (const [identifier, touch] of touches) {
      if (down.has(identifier)) continue;
      touches.delete(identifier);
      hold(touch.key, false);
    }
  }

  // The screen changed under the fingers (a rotation, a resize, a hidden page): every key they
  // held is let go; a finger still down steers again from where it next moves, and is no tap.
  function letGoOfFingers() {
    for (const touch of touches.values()) {
      hold(touch.key, false);
      touch.key = null;
      touch.moved = true;
    }
  }

  // The page's own corner (replays, clips) answers taps as a page does; they never steer.
  const corner = (event) => event.target instanceof Element && event.target.closest('#corner');

  function start(event) {
    reconcile(event);
    if (corner(event)) return;
    event.preventDefault();
    setMode(true);
    for (const t of event.changedTouches) {
      const key = keyAt(t.clientX, t.clientY);
      touches.set(t.identifier, { x: t.clientX, y: t.clientY, key });
      hold(key, true);
    }
  }

  function move(event) {
    reconcile(event);
    event.preventDefault();
    for (const t of event.changedTouches) {
      const touch = touches.get(t.identifier);
      if (!touch) continue;
      const key = keyAt(t.clientX, t.clientY);
      if (key === touch.key) continue;
      hold(touch.key, false);
      hold(key, true);
      touch.key = key;
      touch.moved = true;
    }
  }

  function end(event, cancelled) {
    if (corner(event)) {
      reconcile(event);
      return;
    }
    event.preventDefault();
    for (const t of event.changedTouches) {
      const touch = touches.get(t.identifier);
      if (!touch) continue;
      touches.delete(t.identifier);
      hold(touch.key, false);
      const travel = Math.hypot(t.clientX - touch.x, t.clientY - touch.y);
      if (!cancelled && !touch.moved && travel < TAP_TRAVEL) tap(t.clientX, t.clientY);
    }
    reconcile(event);
  }

  const options = { passive: false };
  document.addEventListener('touchstart', start, options);
  document.addEventListener('touchmove', move, options);
  document.addEventListener('touchend', (event) => end(event, false), options);
  document.addEventListener('touchcancel', (event) => end(event, true), options);
  // Keys again: the title asks for keys.
  window.addEventListener('keydown', () => setMode(false), true);
  window.addEventListener('resize', () => {
    letGoOfFingers();
    layout();
  });
  window.addEventListener('orientationchange', letGoOfFingers);
  document.addEventListener('visibilitychange', letGoOfFingers);
  layout();

  return {
    touchMode: () => touchMode,
    // The page lost the player's attention, or a new run began: nothing is held any more.
    letGo() {
      touches.clear();
      holds.clear();
    },
    newRun() {
      players = [];
      touches.clear();
      holds.clear();
      layout();
    },
  };
}
