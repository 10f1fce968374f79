#pragma once
// The pictures: both atlases and their tile lists.
#include <filesystem>

namespace assetgen {
// Writes gametiles.png/.txt and title.png/.txt into output from the grids under source.
void generateArt(const std::filesystem::path& source, const std::filesystem::path& output);
} // namespace assetgen
