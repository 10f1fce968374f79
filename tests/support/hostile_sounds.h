#pragma once
// Files that are not WAV sounds, each small enough to decode harmlessly, in place of a sound
// effect: the formats a sniffing decoder would still take (MIDI, VOC, Ogg, FLAC, MP3, AIFF),
// RIFF files of other kinds, and WAV files whose header is empty, cut short or broken.
#include <string>
#include <vector>

namespace zindle::test {

struct HostileSound {
    std::string name;  // a file name that says what it is
    std::string bytes; // the whole file
    std::string what;  // a word the refusal must contain ("MIDI", "VOC", "cut short"...)
};

std::vector<HostileSound> hostileEffects();

// One second of one note as a standard MIDI file.
std::string shortMidi();
// A tenth of a second of 8 kHz silence as a Creative VOC file.
std::string shortVoc();
// Silent MPEG-1 layer III frames, as a sniffing decoder takes them.
std::string silentMp3Frames();

} // namespace zindle::test
