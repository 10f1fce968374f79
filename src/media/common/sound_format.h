#pragma once
// Which sound files the game hands to a decoder, told by their first bytes: effects are WAV,
// music is MP3. Decoders that sniff the format themselves take a MIDI or VOC file just as well
// and may render hours of sound from a few bytes, so every backend refuses the rest first.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace zindle {

// What the first bytes say the file is, for messages: "a MIDI file", "a VOC file", "an Ogg
// file"..., "empty", or "" for no sound format the game knows. Quotes nothing from the file.
std::string soundFormatName(std::span<const std::uint8_t> bytes);

// nullopt for a WAV file whose header is whole (a format block with channels and a rate, then
// the data chunk; the samples may run short); otherwise the problem, in a few words.
std::optional<std::string> effectFormatProblem(std::span<const std::uint8_t> bytes);

// The bytes from the start of a file that the music check needs at least, and enough to name
// any format the messages know.
constexpr std::size_t kMusicSignatureBytes = 10; // an ID3 tag's header
constexpr std::size_t kSoundSignatureBytes = 32;
enum class Extent { FileStart, WholeFile };
// nullopt when the file begins as an MP3 does: an MPEG audio frame, or an ID3 tag and (when the
// whole file is given) a frame soon after it; otherwise the problem. A streamed track is checked
// by its start alone, and the decoder it is handed to refuses what follows if that is not MP3.
std::optional<std::string> musicFormatProblem(std::span<const std::uint8_t> bytes, Extent extent);

} // namespace zindle
