#pragma once
// Where in a sound a channel starts. Only music starts part-way (a replay that jumps picks its
// track up where the match had got to); the position comes from the game, so anything that is
// not a time becomes the beginning.

namespace zindle {

// startTime in milliseconds as the channel was asked for, in seconds: 0 for negative, NaN or
// infinite times.
double startSeconds(double startTimeMs);

// seconds into a track that loops every length seconds: the same place within one play. 0 when
// the length is unknown (0, negative or not a number).
double positionInLoop(double seconds, double length);

} // namespace zindle
