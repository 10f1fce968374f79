// Reading a score file: notes, patterns, the song order and each voice's sound.
#include "audio/score.h"

#include "audio/data_file.h"
#include "framework/untrusted_text.h"

#include <cctype>
#include <cmath>
#include <functional>
#include <sstream>
#include <stdexcept>

namespace assetgen::audio {
namespace {

constexpr int kMidiA4 = 69;
constexpr double kFrequencyA4 = 440.0;
constexpr int kRest = -1;
constexpr int kHold = -2;
constexpr int kMaxRepeat = 1000; // a typo such as *1e9 must not eat the memory

// One step of a pattern: a MIDI note, kRest or kHold; for drums the hit letters.
struct Step {
    int note = kHold;
    std::string hits;
};

int parseNote(const std::string& token, const std::string& context) {
    static const int kPitchClass[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(token[0])));
    if (letter < 'A' || letter > 'G' || token.size() < 2) {
        throw std::runtime_error(context + ": \"" + zindle::quoteUntrusted(token) +
                                 "\" is not a note");
    }
    int pitch = kPitchClass[letter - 'A'];
    std::size_t at = 1;
    if (token[at] == '#') {
        ++pitch;
        ++at;
    } else if (token[at] == 'b') {
        --pitch;
        ++at;
    }
    const std::string octave = token.substr(at);
    if (octave.empty() || octave.size() > 1 ||
        !std::isdigit(static_cast<unsigned char>(octave[0]))) {
        throw std::runtime_error(context + ": \"" + zindle::quoteUntrusted(token) +
                                 "\" has no octave digit");
    }
    return 12 * (octave[0] - '0' + 1) + pitch;
}

std::vector<Step> parsePattern(const DataSection& section, bool drums, const std::string& where) {
    std::vector<Step> steps;
    for (const DataLine& line : section.lines) {
        for (const std::string& token : line.words) {
            const std::string context = where + ":" + std::to_string(line.number);
            Step step;
            if (token == ".") {
                step.note = kHold;
            } else if (token == "-") {
                step.note = kRest;
            } else if (drums) {
                for (const char hit : token) {
                    if (std::string("ksho").find(hit) == std::string::npos) {
                        throw std::runtime_error(context + ": unknown drum \"" +
                                                 zindle::quoteUntrusted(token) + "\"");
                    }
                }
                step.hits = token;
                step.note = 0;
            } else {
                step.note = parseNote(token, context);
            }
            steps.push_back(step);
        }
    }
    return steps;
}

VoiceSound readVoiceSound(const DataSection& section) {
    VoiceSound s;
    const std::string kind = textValue(section, "kind", "tone");
    if (kind != "tone" && kind != "drums") {
        throw std::runtime_error(std::string("[") + zindle::quoteUntrusted(section.name) +
                                 "] kind: tone or drums");
    }
    s.drums = kind == "drums";
    s.wave = parseWave(textValue(section, "wave", "square"),
                       std::string("[") + zindle::quoteUntrusted(section.name) + "] wave");
    s.duty = numberValue(section, "duty", s.duty);
    s.volume = numberValue(section, "volume", s.volume);
    s.pan = numberValue(section, "pan", s.pan);
    s.attack = numberValue(section, "attack", s.attack);
    s.decay = numberValue(section, "decay", s.decay);
    s.sustain = numberValue(section, "sustain", s.sustain);
    s.release = numberValue(section, "release", s.release);
    s.gate = numberValue(section, "gate", s.gate);
    s.vibratoDepth = numberValue(section, "vibrato_depth", s.vibratoDepth);
    s.vibratoRate = numberValue(section, "vibrato_rate", s.vibratoRate);
    s.vibratoDelay = numberValue(section, "vibrato_delay", s.vibratoDelay);
    s.lowPass = numberValue(section, "low_pass", s.lowPass);
    s.echo = numberValue(section, "echo", s.echo);
    s.drumLevels['k'] = numberValue(section, "kick", s.drumLevels['k']);
    s.drumLevels['s'] = numberValue(section, "snare", s.drumLevels['s']);
    s.drumLevels['h'] = numberValue(section, "hat", s.drumLevels['h']);
    s.drumLevels['o'] = numberValue(section, "open_hat", s.drumLevels['o']);
    if (s.attack <= 0.0 || s.decay <= 0.0 || s.release <= 0.0 || s.gate <= 0.0) {
        throw std::runtime_error(std::string("[") + zindle::quoteUntrusted(section.name) +
                                 "]: envelope times must be positive");
    }
    return s;
}

// Expands "name", "name^3", "name*2" or "name^-5*4" into the steps of the song line.
void appendSongToken(const std::string& token,
                     const std::map<std::string, const DataSection*>& patterns, bool drums,
                     const std::string& context, std::vector<Step>& out) {
    std::string name = token;
    int repeat = 1;
    int transpose = 0;
    if (const auto star = name.find('*'); star != std::string::npos) {
        repeat = static_cast<int>(parseNumber(name.substr(star + 1), context));
        if (repeat < 1 || repeat > kMaxRepeat) {
            throw std::runtime_error(context + ": repeat count out of range in \"" +
                                     zindle::quoteUntrusted(token) + "\"");
        }
        name = name.substr(0, star);
    }
    if (const auto caret = name.find('^'); caret != std::string::npos) {
        transpose = static_cast<int>(parseNumber(name.substr(caret + 1), context));
        name = name.substr(0, caret);
    }
    const auto found = patterns.find(name);
    if (found == patterns.end()) {
        throw std::runtime_error(context + ": no [pattern " + zindle::quoteUntrusted(name) + "]");
    }
    auto steps = parsePattern(*found->second, drums, context);
    for (Step& step : steps) {
        if (step.note >= 0 && !drums) {
            step.note += transpose;
        }
    }
    for (int i = 0; i < repeat; ++i) {
        out.insert(out.end(), steps.begin(), steps.end());
    }
}

std::vector<NoteEvent> toEvents(const std::vector<Step>& steps, int transpose) {
    std::vector<NoteEvent> events;
    for (int i = 0; i < static_cast<int>(steps.size()); ++i) {
        const Step& step = steps[static_cast<std::size_t>(i)];
        if (step.note == kHold) {
            if (!events.empty() && events.back().step + events.back().length == i) {
                ++events.back().length;
            }
            continue;
        }
        if (step.note == kRest) {
            continue;
        }
        events.push_back({i, 1, step.note + transpose, step.hits});
    }
    return events;
}

} // namespace

double midiToFrequency(int midiNote) {
    return kFrequencyA4 * std::exp2(static_cast<double>(midiNote - kMidiA4) / 12.0);
}

Score Score::read(const std::filesystem::path& path) {
    const DataFile file = DataFile::read(path);
    const std::string where = path.string();
    Score score;
    const auto tracks = file.sectionsOfKind("track");
    if (tracks.size() != 1) {
        throw std::runtime_error(where + ": needs exactly one [track]");
    }
    const DataSection& track = *tracks.front();
    score.file = textValue(track, "file", "");
    if (score.file.empty()) {
        throw std::runtime_error(where + ": [track] has no file");
    }
    score.tempo = numberValue(track, "tempo", score.tempo);
    score.stepsPerBeat = static_cast<int>(numberValue(track, "steps_per_beat", score.stepsPerBeat));
    score.transpose = static_cast<int>(numberValue(track, "transpose", score.transpose));
    score.peakDb = numberValue(track, "peak_db", score.peakDb);
    score.echoSteps = static_cast<int>(numberValue(track, "echo_steps", score.echoSteps));
    score.echoFeedback = numberValue(track, "echo_feedback", score.echoFeedback);
    if (score.tempo <= 0.0 || score.stepsPerBeat <= 0 || score.echoSteps <= 0) {
        throw std::runtime_error(where + ": tempo, steps_per_beat and echo_steps must be positive");
    }

    std::map<std::string, const DataSection*> patterns;
    for (const DataSection* section : file.sectionsOfKind("pattern")) {
        patterns[section->name.substr(std::string("pattern").size() + 1)] = section;
    }
    const auto songs = file.sectionsOfKind("song");
    if (songs.size() != 1) {
        throw std::runtime_error(where + ": needs exactly one [song]");
    }
    for (const DataSection* section : file.sectionsOfKind("voice")) {
        ScoreVoice voice;
        voice.name = section->name.substr(std::string("voice").size() + 1);
        voice.sound = readVoiceSound(*section);
        const auto line = songs.front()->values.find(voice.name);
        if (line == songs.front()->values.end()) {
            throw std::runtime_error(where + ": [song] has no line for voice " +
                                     zindle::quoteUntrusted(voice.name));
        }
        std::vector<Step> steps;
        std::istringstream tokens(line->second);
        std::string token;
        while (tokens >> token) {
            appendSongToken(token, patterns, voice.sound.drums, where + " [song] " + voice.name,
                            steps);
        }
        const int length = static_cast<int>(steps.size());
        if (score.voices.empty()) {
            score.totalSteps = length;
        } else if (length != score.totalSteps) {
            throw std::runtime_error(where + ": voice " + zindle::quoteUntrusted(voice.name) +
                                     " has " + std::to_string(length) + " steps, the first voice " +
                                     std::to_string(score.totalSteps));
        }
        voice.events = toEvents(steps, voice.sound.drums ? 0 : score.transpose);
        score.voices.push_back(std::move(voice));
    }
    if (score.voices.empty() || score.totalSteps == 0) {
        throw std::runtime_error(where + ": no voices or an empty song");
    }
    return score;
}

} // namespace assetgen::audio
