#pragma once
// Plays a score into stereo samples that loop seamlessly: the song is rendered twice in a row
// and the second pass kept, so the notes, echoes and filters that ring over the end of the
// song are already sounding at its start, just as they will when a player loops it.
#include "audio/score.h"

#include <vector>

namespace assetgen::audio {

// The samples per step at this rate; throws std::runtime_error unless it is a whole number, so
// that the loop length is exact.
int samplesPerStep(const Score& score, int sampleRate);

// Interleaved left/right samples, exactly totalSteps × samplesPerStep frames, unnormalised.
std::vector<double> renderScore(const Score& score, int sampleRate);

} // namespace assetgen::audio
