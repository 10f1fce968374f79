// The primitives both backends share: reading whole files, and handing the display tree its
// containers, drawing lists and tile sheets.
#include "media/common/display_tree_backend.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace zindle {

namespace {
constexpr std::size_t kReadChunk = 64 * 1024; // bytes read at a time
} // namespace

std::optional<std::vector<std::uint8_t>>
DisplayTreeBackend::media_byte_array_read_file(const std::string& path) {
    // A directory opens as a stream on some systems; it is not a file we can read.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::array<char, kReadChunk> chunk;
    // Read through the stream, not its buffer: a read error then sets badbit rather than
    // throwing, and is a failure, not a short file.
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0)
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + in.gcount());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

SheetHandle DisplayTreeBackend::media_tilesheet_create(BitmapHandle bitmap) {
    return tree_.createSheet(bitmap);
}

void DisplayTreeBackend::media_tilesheet_add_rect(SheetHandle sheet, const Rectangle& rect,
                                                  const Point& centre) {
    tree_.addRect(sheet, rect, centre);
}

ObjectHandle DisplayTreeBackend::media_create_display_object_container() {
    return tree_.createContainer();
}

void DisplayTreeBackend::media_doc_add_child(ObjectHandle parent, ObjectHandle child) {
    tree_.addChild(parent, child);
}

GraphicsHandle DisplayTreeBackend::media_display_object_get_graphics(ObjectHandle object) {
    return tree_.graphicsOf(object);
}

void DisplayTreeBackend::media_gfx_clear(GraphicsHandle graphics) {
    tree_.clear(graphics);
}

// Tiles are always drawn unrepeated; the repeat flag has nothing to act on.
void DisplayTreeBackend::media_gfx_begin_bitmap_fill(GraphicsHandle graphics, BitmapHandle bitmap,
                                                     bool /*repeat*/, bool smooth) {
    tree_.beginBitmapFill(graphics, bitmap, smooth);
}

void DisplayTreeBackend::media_gfx_draw_tiles(GraphicsHandle graphics, SheetHandle sheet,
                                              std::span<const double> data, int flags) {
    tree_.drawTiles(graphics, sheet, data, flags);
}

} // namespace zindle
