#pragma once
// A screen that Main steps, draws and feeds with input. The base does nothing.

namespace zindle {

class Game;
class Graphics;

class Board {
public:
    Board() = default;
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;
    virtual ~Board() = default;

    // One fixed step of dt seconds.
    virtual void update(double /*dt*/) {}
    // Repaints the whole surface once per frame; the base leaves it as it is.
    virtual void draw(Graphics& /*graphics*/) {}
    // device: 0 for the keyboard, the joystick number for a button; key: an Input constant;
    // state: Input::DOWN or Input::UP; ctrl: Control held (always false for a joystick).
    virtual void onInput(int /*device*/, int /*key*/, int /*state*/, bool /*ctrl*/) {}
    // The match this board plays, if it plays one (a board that wraps the game forwards it).
    virtual Game* match() { return nullptr; }
};

} // namespace zindle
