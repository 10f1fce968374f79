#include "support/hostile_sounds.h"

#include <cstdint>

namespace zindle::test {

namespace {

std::string le(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

std::string be(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

std::string fmtChunk(std::uint16_t channels, std::uint32_t rate) {
    return "fmt " + le(16, 4) + le(1, 2) + le(channels, 2) + le(rate, 4) +
           le(rate * 2 * channels, 4) + le(2 * channels, 2) + le(16, 2);
}

std::string riff(const std::string& form, const std::string& body) {
    return "RIFF" + le(static_cast<std::uint32_t>(4 + body.size()), 4) + form + body;
}

std::string dataChunk(std::uint32_t bytes) {
    return "data" + le(bytes, 4) + std::string(bytes, '\0');
}

} // namespace

std::string shortMidi() {
    // 96 ticks a quarter note at the default 120 beats a minute: two quarters last a second.
    const std::string events = std::string("\x00\x90\x3C\x7F", 4) +     // note on
                               std::string("\x81\x40\x80\x3C\x00", 5) + // 192 ticks, note off
                               std::string("\x00\xFF\x2F\x00", 4);      // end of track
    return "MThd" + be(6, 4) + be(0, 2) + be(1, 2) + be(96, 2) + "MTrk" +
           be(static_cast<std::uint32_t>(events.size()), 4) + events;
}

std::string shortVoc() {
    constexpr std::uint32_t kSamples = 800;
    constexpr std::uint8_t kRate8kHz = 256 - 1000000 / 8000; // the time constant of 8 kHz
    return std::string("Creative Voice File\x1A", 20) + le(26, 2) + le(0x010A, 2) + le(0x1129, 2) +
           "\x01" + le(kSamples + 2, 3) + static_cast<char>(kRate8kHz) + std::string(1, '\0') +
           std::string(kSamples, '\x80') + std::string(1, '\0');
}

std::string silentMp3Frames() {
    // MPEG-1 layer III, 128 kbit/s, 44.1 kHz, no padding: 417 bytes a frame.
    const std::string frame = std::string("\xFF\xFB\x90\x64", 4) + std::string(413, '\0');
    return frame + frame + frame + frame;
}

std::vector<HostileSound> hostileEffects() {
    const std::string aiffBody =
        "AIFF" + std::string("COMM") + be(18, 4) + be(1, 2) + be(800, 4) + be(16, 2) +
        std::string("\x40\x0B\xFA\0\0\0\0\0\0\0", 10) + // 8000 Hz
        "SSND" + be(8 + 1600, 4) + be(0, 4) + be(0, 4) + std::string(1600, '\0');
    return {
        {"note.mid", shortMidi(), "MIDI"},
        {"riff-note.rmi",
         riff("RMID", "data" + le(static_cast<std::uint32_t>(shortMidi().size()), 4) + shortMidi()),
         "MIDI"},
        {"silence.voc", shortVoc(), "VOC"},
        {"silence.ogg", "OggS" + std::string(60, '\0'), "Ogg"},
        {"silence.flac", "fLaC" + std::string(60, '\0'), "FLAC"},
        {"silence.mp3", silentMp3Frames(), "MP3"},
        {"tagged.mp3", "ID3" + std::string("\x04\0\0\0\0\0\0", 7) + silentMp3Frames(), "MP3"},
        {"silence.aiff", "FORM" + be(static_cast<std::uint32_t>(aiffBody.size()), 4) + aiffBody,
         "AIFF"},
        {"movie.avi", riff("AVI ", "LIST" + le(4, 4) + "hdrl"), "RIFF"},
        {"empty.wav", "", "empty"},
        {"riff-only.wav", "RIFF", "not a WAV"},
        {"header-only.wav", riff("WAVE", ""), "cut short"},
        {"cut-format.wav", riff("WAVE", fmtChunk(1, 8000).substr(0, 14)), "cut short"},
        {"no-format.wav", riff("WAVE", dataChunk(64)), "cut short"},
        {"no-channels.wav", riff("WAVE", fmtChunk(0, 8000) + dataChunk(64)), "cut short"},
        {"no-data.wav", riff("WAVE", fmtChunk(1, 8000)), "cut short"},
        {"text.wav", "not a sound at all, only text", "not a WAV"},
    };
}

} // namespace zindle::test
