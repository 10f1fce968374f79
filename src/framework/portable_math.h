#pragma once
// Sine and cosine that give the same bits on every build. The C libraries differ in the last bit
// for about one angle in thirty (glibc and Emscripten's), and play draws rain, sparkles and the
// win burst from them, so play code takes them from here, computed with + - * / and floor only.
namespace zindle {

// Within one unit in the last place of the correctly rounded result for |angle| up to about
// 1.6e6 (the game's angles lie in [0, 2 pi]); beyond that still the same bits everywhere, with
// less accuracy. NaN for an infinite or NaN angle.
double portableSin(double angle);
double portableCos(double angle);

} // namespace zindle
