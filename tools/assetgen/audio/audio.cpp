#include "audio/audio.h"

namespace assetgen {
void generateAudio(const std::filesystem::path&, const std::filesystem::path&) {}
} // namespace assetgen
