#pragma once
// PNG files through libpng. Writing uses fixed settings and no time stamp, so the same
// picture always gives the same bytes.
#include "common/image.h"

#include <filesystem>

namespace assetgen {

// Writes an 8-bit RGBA PNG; throws std::runtime_error when the file cannot be written.
void writePng(const std::filesystem::path& path, const Image& image);
// Reads any PNG libpng understands, converted to 8-bit RGBA; throws on failure.
Image readPng(const std::filesystem::path& path);

} // namespace assetgen
