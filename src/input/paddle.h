#pragma once
// One player's left-right control: keys and a stick axis become a smoothly ramping steering
// value in [-1, 1] and the direction last pushed.
#include <vector>

namespace zindle {

class Paddle {
public:
    Paddle(std::vector<int> leftKeys, std::vector<int> rightKeys, int facing,
           bool usesAccelerometer);

    // One fixed step.
    void update();
    double getValue() const { return output; }
    int getFacing() const { return facing; }

    std::vector<int> leftKeys;
    std::vector<int> rightKeys;
    bool usesAccelerometer;
    double digitalSmoothed = 0;
    double output = 0;
    int facing;
    double pad = 0; // the joystick axis, -1 to 1
};

} // namespace zindle
