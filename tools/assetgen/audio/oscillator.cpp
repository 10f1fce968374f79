// The oscillator shapes by name, and their band-limited samples.
#include "audio/oscillator.h"
#include "framework/untrusted_text.h"

#include <stdexcept>

namespace assetgen::audio {

Wave parseWave(const std::string& name, const std::string& context) {
    if (name == "square" || name == "pulse") {
        return Wave::Square;
    }
    if (name == "saw") {
        return Wave::Saw;
    }
    if (name == "sine") {
        return Wave::Sine;
    }
    if (name == "triangle") {
        return Wave::Triangle;
    }
    if (name == "noise") {
        return Wave::Noise;
    }
    throw std::runtime_error(context + ": unknown wave \"" + zindle::quoteUntrusted(name) + "\"");
}

} // namespace assetgen::audio
