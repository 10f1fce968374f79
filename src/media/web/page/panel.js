// The panel over the game: the loading bar, the play-again screen and errors.
const panel = document.getElementById('panel');
const heading = document.getElementById('heading');
const progress = document.getElementById('progress');
const message = document.getElementById('message');
const action = document.getElementById('panel-action');
const canvas = document.getElementById('game');

// button: { label, onClick } for a panel that offers one thing to do by a click.
export function showPanel(kind, title, text, withProgress, button = null) {
  panel.hidden = false;
  panel.className = kind;
  panel.setAttribute('role', kind === 'error' ? 'alert' : 'status');
  heading.textContent = title;
  message.textContent = text;
  progress.hidden = !withProgress;
  action.hidden = !button;
  action.textContent = button ? button.label : '';
  action.onclick = button ? button.onClick : null;
}

export function hidePanel() {
  panel.hidden = true;
  canvas.focus();
}

export function showProgress(share) {
  progress.value = share;
}

// The play-again screen is up: the program has ended and waits for a key or a button.
export function offersPlayAgain() {
  return panel.className === 'again';
}
