// Offline play: once the whole build has arrived, the service worker keeps it, so that the next
// visit starts without a network. Registered late so that its own fetches never slow the game's
// loading; pages opened from a file or over plain http elsewhere than localhost cannot have one.
export function keepForOffline() {
  if (!('serviceWorker' in navigator) || !window.isSecureContext) return;
  // The browser looks for a newer worker (a newer build) at every visit by itself.
  navigator.serviceWorker.register('service-worker.js')
    .catch((error) => console.warn(`The game cannot be kept for offline play: ${error.message}`));
}
