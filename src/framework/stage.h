#pragma once
// The stage: root of the display tree, pump of the media layer's events and the frame clock.
#include "framework/display_object.h"
#include "framework/media.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace zindle {

class Stage : public DisplayObjectContainer {
public:
    static constexpr double mediaEarlyWakeup = 0.005; // s: wake this much before a frame is due
    static constexpr int efLeftDown = 0x0001;
    static constexpr int efShiftDown = 0x0002;
    static constexpr int efCtrlDown = 0x0004;
    static constexpr int efAltDown = 0x0008;
    static constexpr int efCommandDown = 0x0010;
    static constexpr int efLocationRight = 0x4000;
    static constexpr int efNoNativeClick = 0x10000;

    // Registers the event handler with the media layer; frames run at 100 per second until told.
    Stage(StageHandle handle, int width, int height);
    ~Stage() override;

    StageHandle stageHandle() const { return stageHandle_; }
    int stageWidth() const { return width_; }
    int stageHeight() const { return height_; }

    double frameRate() const { return frameRate_; }
    void setFrameRate(double rate);
    StageDisplayState displayState() const { return displayState_; }
    void setDisplayState(StageDisplayState state);
    StageScaleMode scaleMode() const { return scaleMode_; }
    void setScaleMode(StageScaleMode mode);
    void showCursor(bool show);
    void setOpaqueBackground(std::uint32_t rgb);
    // Owes a "render" event at the next render.
    void invalidate() { mediaInvalid = true; }

    // The event pump: every native record arrives here.
    void mediaProcessStageEvent(MediaEvent& record);
    void mediaDoProcessStageEvent(MediaEvent& record);
    double mediaUpdateNextWake();
    double mediaNextFrameDue(double other);
    void mediaPollTimers();
    void mediaCheckRender();
    void mediaRender(bool sendEnterFrame);
    void mediaSetActive(bool state);
    void mediaOnKey(MediaEvent& record, const std::string& type);
    void mediaOnJoystick(MediaEvent& record, const std::string& type);

    double mediaFramePeriod = 0.01;
    double mediaLastRender = 0;
    bool active = true;
    bool pauseWhenDeactivated = true;
    std::function<void()> renderRequest;
    bool mediaInvalid = false;
    std::map<int, std::array<double, 3>> mediaJoyAxisData;
    std::function<void()> onQuit;

private:
    StageHandle stageHandle_;
    int width_;
    int height_;
    double frameRate_ = 100;
    StageDisplayState displayState_ = StageDisplayState::NORMAL;
    StageScaleMode scaleMode_ = StageScaleMode::SHOW_ALL;
    // What the media layer's handler calls through; cleared when the stage goes, so that a
    // record delivered later (a backend outliving the program) reaches nothing.
    std::shared_ptr<Stage*> self_;
};

} // namespace zindle
