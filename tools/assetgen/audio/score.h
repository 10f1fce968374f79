#pragma once
// A music score: the track's tempo and mix, its voices with their sound, and for each voice the
// notes it plays, in steps of the step grid. Read from a text file:
//
//   [track]            file, tempo (beats per minute), steps_per_beat, transpose (semitones),
//                      peak_db, echo_steps, echo_feedback
//   [voice lead]       how the voice sounds (see VoiceSound)
//   [pattern verse]    one token per step, lines run on: a note ("C5", "F#3", "Bb4") starts a
//                      note, "." holds the one before, "-" is a rest; in a drum voice a token
//                      is a set of hits: k kick, s snare, h hat, o open hat ("kh": both)
//   [song]             lead = verse verse^5 chorus*2   (^n transposes n semitones, *n repeats)
#include "audio/oscillator.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace assetgen::audio {

struct VoiceSound {
    bool drums = false; // a drum kit instead of a pitched oscillator
    Wave wave = Wave::Square;
    double duty = 0.5;         // pulse width, 0..1
    double volume = 0.3;       // linear gain of the voice
    double pan = 0.0;          // -1 left .. 1 right
    double attack = 0.005;     // s
    double decay = 0.1;        // s, down to the sustain level
    double sustain = 0.7;      // level held while the note lasts, 0..1
    double release = 0.05;     // s after the note ends
    double gate = 0.9;         // part of the written length the note is held
    double vibratoDepth = 0.0; // semitones
    double vibratoRate = 5.0;  // Hz
    double vibratoDelay = 0.2; // s into the note before the vibrato is full
    double lowPass = 0.0;      // Hz cutoff (0: none)
    double echo = 0.0;         // part of the voice sent to the echo
    std::map<char, double> drumLevels{{'k', 1.0}, {'s', 0.7}, {'h', 0.3}, {'o', 0.35}};
};

struct NoteEvent {
    int step = 0;     // where it starts
    int length = 1;   // steps until the next note or rest
    int midiNote = 0; // pitched voices: 69 is A4 (440 Hz)
    std::string hits; // drum voices: the letters of the drums struck
};

struct ScoreVoice {
    std::string name;
    VoiceSound sound;
    std::vector<NoteEvent> events; // in step order
};

struct Score {
    std::string file;     // the mp3 to write
    double tempo = 120.0; // beats per minute
    int stepsPerBeat = 4;
    int transpose = 0;    // semitones added to every pitched note
    double peakDb = -6.0; // the mix is normalised to this peak
    int echoSteps = 3;    // echo delay
    double echoFeedback = 0.3;
    int totalSteps = 0; // the song's length; every voice fills it exactly
    std::vector<ScoreVoice> voices;

    // Reads a score file; throws std::runtime_error naming file, line and token on any error,
    // including voices of different lengths.
    static Score read(const std::filesystem::path& path);
};

double midiToFrequency(int midiNote);

} // namespace assetgen::audio
