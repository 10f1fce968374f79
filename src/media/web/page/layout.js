// Where the picture lies on the page, for the drawing and for the touches alike: always at its
// own shape, as large as fits, with bars beside or above and below it where the screen has
// another shape; on a touch screen held upright, at the top, with the touch zones below it.
const canvas = document.getElementById('game');
const ASPECT = 3 / 2; // the picture's width over its height
// The picture's own size in pixels, as the program last made it.
export const picture = { width: 480, height: 320 };

// The picture's box in CSS pixels: { left, top, width, height }.
export function pictureBox() {
  const width = window.innerWidth;
  const height = window.innerHeight;
  if (document.body.classList.contains('portrait'))
    return { left: 0, top: 0, width, height: width / ASPECT };
  const scale = Math.min(width / ASPECT, height);
  return { left: (width - scale * ASPECT) / 2, top: (height - scale) / 2, width: scale * ASPECT,
           height: scale };
}

// Places the canvas on the picture's box at the picture's own size: the game draws only the
// picture's pixels and the compositor enlarges them, sharply (each pixel a block, a screen pixel
// wider here and there where the box is no whole multiple), which costs no more than an empty
// page of the box's size. A canvas of the screen's size would cost a second full-size pass.
export function placeCanvas(pictureWidth, pictureHeight) {
  picture.width = pictureWidth;
  picture.height = pictureHeight;
  const box = pictureBox();
  const style = canvas.style;
  style.left = `${box.left}px`;
  style.top = `${box.top}px`;
  style.width = `${box.width}px`;
  style.height = `${box.height}px`;
  if (canvas.width !== pictureWidth || canvas.height !== pictureHeight) {
    canvas.width = pictureWidth;
    canvas.height = pictureHeight;
  }
}

// A page point (CSS pixels) in the picture's pixels.
export function inPicture(x, y) {
  const box = pictureBox();
  return { x: (x - box.left) / box.width * picture.width,
           y: (y - box.top) / box.height * picture.height };
}
