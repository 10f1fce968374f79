#pragma once
// A frame recorded by the headless media layer, replayed into whichever media layer is
// installed: the atlases are loaded again from their files and every recorded tile becomes a
// rectangle of its atlas's sheet, drawn where it was drawn. The benchmarks time the SDL
// renderer on it; the tests hold screenshots against what that renderer makes of it.
#include "media/headless/headless_media.h"

#include <string>
#include <vector>

namespace zindle::shot {

struct RecordedTile {
    std::string atlas; // file of the atlas image
    Rectangle rect;
    Point centre;
    double x;
    double y;
};

// The tiles of frame with their atlases named; needs the running Game's tilers.
std::vector<RecordedTile> recordFrame(const HeadlessMedia::Frame& frame);
// Builds the frame on stage: one container, one batch per run of tiles of one atlas, and the
// background colour. Throws when an atlas cannot be loaded.
void replayFrame(StageHandle stage, const std::vector<RecordedTile>& tiles,
                 std::uint32_t background);

} // namespace zindle::shot
