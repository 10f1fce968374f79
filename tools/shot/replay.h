#pragma once
// A frame recorded by the headless media layer, replayed into whichever media layer is
// installed: the atlases are loaded again from their files and every recorded tile is drawn
// where it was drawn, with its rectangle and centre. The benchmarks time the SDL
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
// A replayed frame's drawing list and the batches drawn into it.
struct ReplayedFrame {
    struct Batch {
        BitmapHandle atlas = BitmapHandle::None;
        SheetHandle sheet = SheetHandle::None;
        std::vector<double> data; // (x, y, id) triples
    };
    GraphicsHandle graphics = GraphicsHandle::None;
    std::vector<Batch> batches;

    // Clears the list and draws the batches again, as the game draws each frame.
    void draw() const;
};

// Builds the frame on stage: one container, one batch per run of tiles of one atlas, and the
// background colour; each distinct rectangle is one id of its atlas's sheet, as in the game's
// tile lists. Throws when an atlas cannot be loaded.
ReplayedFrame replayFrame(StageHandle stage, const std::vector<RecordedTile>& tiles,
                          std::uint32_t background);

} // namespace zindle::shot
