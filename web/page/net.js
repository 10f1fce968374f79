// Online play's wire in the page: one WebSocket to the relay at the page's own origin, binary
// messages only, carried between the socket and the program. The program reads every message
// (anything may arrive) and decides everything; the page bounds what waits in either direction
// and shows the room in one line.

// Bytes the socket may hold unsent before the program's own bounded queue has to wait.
const MAX_BUFFERED_BYTES = 256 * 1024;
// Larger than any relay message: anything bigger is not read into the program at all.
const MAX_MESSAGE_BYTES = 64 * 1024;
const STATUS_EVERY_MS = 250;

// The room of a link: ?room=CODE, or the code after #. Only the code's own letters pass.
export function roomFromAddress(location) {
  const query = new URLSearchParams(location.search).get('room');
  const text = query !== null ? query : location.hash.replace(/^#/, '');
  if (!text) return null;
  return /^[A-Za-z0-9]{1,32}$/.test(text) ? text.toUpperCase() : '';
}

// The relay is the page's own server: ws:// beside http://, wss:// beside https://. The code in
// the path lets a proxy in front of several relays route the room.
export function webSocketAddress(location, room) {
  const scheme = location.protocol === 'https:' ? 'wss:' : 'ws:';
  return `${scheme}//${location.host}/ws/${encodeURIComponent(room)}`;
}

// What the line under the game says about the room.
export function describeRoom(status) {
  if (status.problem) return status.problem;
  if (status.phase === 'connecting') return 'Joining the room…';
  if (status.phase === 'left') return 'Left the room';
  if (status.phase !== 'in-room') return '';
  const others = status.peers.length;
  const who = others === 0 ? 'nobody else yet' : `${others} other${others === 1 ? '' : 's'}`;
  return `Room ${status.room}: you and ${who}`;
}

// Joins room for the program in module; show(text) puts a line on the page. Returns what the
// page's frames call (pump) and what ends the connection (close).
export function joinRoom(module, room, show) {
  const status = () => JSON.parse(module.UTF8ToString(module._zindle_net_status()));
  const port = window.location.port || (window.location.protocol === 'https:' ? '443' : '80');
  if (!room || !(putText(module, `${window.location.hostname} ${port} ${room}`)
                 && module._zindle_net_join())) {
    show('This link names no room: its code is not one the game makes.');
    return { pump() {}, close() {}, status };
  }
  let socket;
  let lastStatus = 0;
  let gone = false;
  const lost = (reason) => {
    if (gone) return;
    gone = true;
    putText(module, reason);
    module._zindle_net_disconnected();
    show(describeRoom(status()));
  };
  try {
    socket = new WebSocket(webSocketAddress(window.location, room));
  } catch (error) {
    socket = null;
    lost(`the relay cannot be reached (${error.message})`);
  }
  if (socket) listen(socket);

  function listen(ws) {
    ws.binaryType = 'arraybuffer';
    ws.addEventListener('message', (event) => {
      if (!(event.data instanceof ArrayBuffer) || event.data.byteLength > MAX_MESSAGE_BYTES) {
        console.warn('relay: a message that is not a relay message was dropped');
        return;
      }
      const bytes = new Uint8Array(event.data);
      const buffer = module._zindle_net_buffer(bytes.length);
      if (!buffer) return;
      module.HEAPU8.set(bytes, buffer);
      module._zindle_net_received();
      pump();
    });
    ws.addEventListener('open', () => pump());
    ws.addEventListener('close', () => lost('the relay is gone'));
    ws.addEventListener('error', () => lost('the relay cannot be reached'));
  }

  // Moves what the program has for the relay into the socket, as far as the socket keeps up.
  // The line follows the program's view of the room, which may change after the socket closes
  // (the program reads the closing at its next frame).
  function pump() {
    const now = performance.now();
    if (now - lastStatus >= STATUS_EVERY_MS) {
      lastStatus = now;
      show(describeRoom(status()));
    }
    if (gone || !socket || socket.readyState !== WebSocket.OPEN) return;
    while (socket.bufferedAmount < MAX_BUFFERED_BYTES) {
      const pointer = module._zindle_net_outgoing();
      if (!pointer) break;
      const size = module._zindle_net_outgoing_size();
      socket.send(module.HEAPU8.slice(pointer, pointer + size));
    }
  }

  return {
    pump,
    status,
    close() {
      gone = true;
      if (socket) socket.close();
    },
  };
}

// Puts a short line into the program's message buffer, for the call that reads it.
function putText(module, text) {
  const bytes = new TextEncoder().encode(String(text).slice(0, 200));
  const pointer = module._zindle_net_buffer(Math.max(bytes.length, 1));
  if (!pointer) return false;
  module.HEAPU8.fill(0x20, pointer, pointer + 1);
  module.HEAPU8.set(bytes, pointer);
  return true;
}
