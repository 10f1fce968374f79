#include "art/art.h"

namespace assetgen {
void generateArt(const std::filesystem::path&, const std::filesystem::path&) {}
} // namespace assetgen
