// One player's steering: keys and a stick axis are read once per fixed step and blended into a
// value that ramps instead of jumping, so a tap nudges and a hold accelerates.
#include "input/paddle.h"

#include "input/input.h"

#include <algorithm>
#include <utility>

namespace zindle {

namespace {
constexpr double kStickThreshold = 0.5;        // axis value beyond which the stick counts as a push
constexpr double kKeep = 0.98;                 // share of the old smoothed value kept each step
constexpr double kBlend = 0.02;                // share of this step's push blended in each step
constexpr double kAccelerometerDeadZone = 0.1; // output below which the facing is kept
} // namespace

Paddle::Paddle(std::vector<int> leftKeys, std::vector<int> rightKeys, int facing,
               bool usesAccelerometer)
    : leftKeys(std::move(leftKeys)), rightKeys(std::move(rightKeys)),
      usesAccelerometer(usesAccelerometer), facing(facing) {}

void Paddle::update() {
    int digital = 0;
    for (int key : leftKeys)
        if (Input::getKeyState(key))
            digital -= 1;
    for (int key : rightKeys)
        if (Input::getKeyState(key))
            digital += 1;
    // The stick only ever counts as one more key: how far it is pushed does not matter.
    if (pad < -kStickThreshold)
        digital -= 1;
    if (pad > kStickThreshold)
        digital += 1;

    // The facing follows the push at once, even while the smoothed value still points the other
    // way; both directions at once keep the last facing.
    if (digital > 0)
        facing = 1;
    else if (digital < 0)
        facing = -1;

    const int push = std::clamp(digital, -1, 1);
    // A fixed blend per step, independent of the step length: the steps are fixed anyway.
    digitalSmoothed = digitalSmoothed * kKeep + push * kBlend;
    output = digitalSmoothed;

    if (usesAccelerometer) {
        if (output > kAccelerometerDeadZone)
            facing = 1;
        else if (output < -kAccelerometerDeadZone)
            facing = -1;
    }
    output = std::clamp(output, -1.0, 1.0);
}

} // namespace zindle
