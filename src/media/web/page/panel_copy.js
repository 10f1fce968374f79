// Upright on a phone the picture is narrow and the players' panels with it (their words a few
// pixels tall): below the picture the page shows the panels again, two by two, each half the
// screen wide, copied from the canvas at every frame. A tap there joins as a tap on the panel in
// the picture does.
const canvas = document.getElementById('game');
const copy = document.getElementById('panels');
const COLUMNS = 2;

// Whether the copy is on the page (a touch screen held upright).
export function panelCopyShown() {
  return document.body.classList.contains('touch') && document.body.classList.contains('portrait');
}

// strip: { left, top, panelWidth, panels } in picture pixels; pictureHeight: the picture's.
export function copyPanels(strip, pictureHeight) {
  if (!panelCopyShown() || !strip.panels) return;
  const height = pictureHeight - strip.top;
  const rows = Math.ceil(strip.panels / COLUMNS);
  const width = strip.panelWidth * COLUMNS;
  if (copy.width !== width || copy.height !== height * rows) {
    copy.width = width;
    copy.height = height * rows;
  }
  const context = copy.getContext('2d');
  context.imageSmoothingEnabled = false;
  for (let panel = 0; panel < strip.panels; ++panel)
    context.drawImage(canvas, strip.left + panel * strip.panelWidth, strip.top, strip.panelWidth,
                      height, (panel % COLUMNS) * strip.panelWidth,
                      Math.floor(panel / COLUMNS) * height, strip.panelWidth, height);
}

// The panel of the copy under a page point, or null.
export function panelInCopy(x, y, panels) {
  if (!panelCopyShown() || !panels) return null;
  const box = copy.getBoundingClientRect();
  if (x < box.left || x >= box.right || y < box.top || y >= box.bottom) return null;
  const rows = Math.ceil(panels / COLUMNS);
  const panel = Math.floor((y - box.top) / box.height * rows) * COLUMNS +
                Math.floor((x - box.left) / box.width * COLUMNS);
  return panel < panels ? panel : null;
}
