#pragma once
// An animated GIF written a frame at a time. Each frame stores only the rectangle that changed
// since the previous one, with unchanged pixels inside it transparent, so still areas cost
// nothing; each has its own palette of the colours it needs (the most frequent 255 when there
// are more, the rest drawn as the nearest of those).
#include "compose.h"

#include <memory>
#include <string>

namespace zindle::shot {

class GifClip {
public:
    // Opens path for writing at once, so that a bad path fails before any work is done; frames
    // of width x height are enlarged scale times. Throws std::runtime_error naming the path.
    GifClip(const std::string& path, int width, int height, int scale);
    ~GifClip();
    GifClip(const GifClip&) = delete;
    GifClip& operator=(const GifClip&) = delete;

    // Adds a frame shown for delayCentiseconds (GIF's unit); image must have the clip's size.
    void addFrame(const Image& image, int delayCentiseconds);
    // Writes the end of the file; throws std::runtime_error when writing failed.
    void finish();

private:
    struct File;
    std::unique_ptr<File> file_;
    std::string path_;
    int width_;
    int height_;
    int scale_;
    Image previous_; // the last frame as added, to find what changed
};

} // namespace zindle::shot
