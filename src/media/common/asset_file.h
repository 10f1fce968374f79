#pragma once
// The one way asset files are read, by every backend and tool: regular files only, opened
// without blocking, and no larger than the limit for their kind, checked before a byte is read.
// A device, a FIFO or a folder in place of an asset would otherwise hang the start-up or feed it
// without end. POSIX only, so that every backend can use it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zindle {

// bytes: what each kind of file may hold at most. Far above what the game's own files need, far
// below what would hurt the machine.
constexpr std::size_t kMaxImageFileBytes = 16 << 20; // a compressed atlas
constexpr std::size_t kMaxTextFileBytes = 2 << 20;   // a tile list or other whole-file read
constexpr std::size_t kMaxEffectFileBytes = 8 << 20; // a sound effect, decoded whole
constexpr std::size_t kMaxMusicFileBytes = 64 << 20; // a music track, streamed

struct AssetFile {
    std::optional<std::vector<std::uint8_t>> bytes; // unset when the file was refused
    std::string problem;                            // why it was refused
    bool missing = false;                           // nothing at all at the path
};

struct AssetDescriptor {
    int fd = -1; // the caller's to close
    std::string problem;
    bool missing = false;
};

// The whole file, or the problem: missing, unreadable, not a regular file, or over maxBytes.
AssetFile readAssetFile(const std::string& path, std::size_t maxBytes);
// An open descriptor of a regular file of at most maxBytes, for files that are streamed rather
// than read whole; or -1 and the problem.
AssetDescriptor openAssetFile(const std::string& path, std::size_t maxBytes);

// The same, for the backends: a refused file is reported in one line ("Warning: PATH: PROBLEM"
// on standard output). A missing one only when asked: most callers know what the file was for
// and say so; a sound effect's loader is the only one to speak for a variant that is left out.
enum class Missing { Quiet, Reported };
std::optional<std::vector<std::uint8_t>> readAsset(const std::string& path, std::size_t maxBytes,
                                                   Missing missing = Missing::Quiet);
int openAsset(const std::string& path, std::size_t maxBytes);
void reportAssetProblem(const std::string& path, const std::string& problem);

} // namespace zindle
