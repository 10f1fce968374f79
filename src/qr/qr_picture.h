#pragma once
// A QR code of a room's link, for the menu to draw, so that a friend's phone joins by scanning
// the screen.
#include "menu/menu_page.h"

#include <string>

namespace zindle {

// The code's modules without the quiet zone (the menu draws that); an empty picture when the
// text cannot be encoded.
ModulePicture qrPicture(const std::string& text);

} // namespace zindle
