#pragma once
// A screen that records what Main does to it.
#include "match/board.h"

#include <functional>
#include <vector>

namespace zindle::test {

class RecordingBoard : public Board {
public:
    struct InputCall {
        int device;
        int key;
        int state;
        bool ctrl;
        bool operator==(const InputCall&) const = default;
    };

    void update(double dt) override {
        ++updates;
        lastDt = dt;
        if (onUpdate)
            onUpdate();
    }
    void draw(Graphics&) override { ++draws; }
    void onInput(int device, int key, int state, bool ctrl) override {
        inputs.push_back({device, key, state, ctrl});
        if (onInputHook)
            onInputHook();
    }

    int updates = 0;
    int draws = 0;
    double lastDt = 0;
    std::vector<InputCall> inputs;
    std::function<void()> onUpdate;
    std::function<void()> onInputHook;
};

} // namespace zindle::test
