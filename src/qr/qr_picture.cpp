// libqrencode does the encoding; medium error correction leaves a link of a relay's address
// and a room code small enough for three-pixel modules on the smallest window.
#include "qr/qr_picture.h"

#include <qrencode.h>

#include <memory>

namespace zindle {

ModulePicture qrPicture(const std::string& text) {
    ModulePicture picture;
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(text.c_str(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code)
        return picture;
    picture.size = code->width;
    picture.dark.resize(static_cast<std::size_t>(code->width) * code->width);
    for (std::size_t i = 0; i < picture.dark.size(); ++i)
        picture.dark[i] = (code->data[i] & 1) != 0; // the low bit: dark
    return picture;
}

} // namespace zindle
