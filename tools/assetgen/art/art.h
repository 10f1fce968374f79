#pragma once
// The pictures: both atlases with their tile lists, and the desktop icons.
#include <filesystem>

namespace assetgen {
// Writes gametiles.png/.txt, title.png/.txt and icons/SIZE.png into output from the grids
// under source.
void generateArt(const std::filesystem::path& source, const std::filesystem::path& output);
} // namespace assetgen
