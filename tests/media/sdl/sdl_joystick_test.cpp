#include "sdl_test_support.h"

#include "media/sdl/sdl_controller_mappings.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>

namespace zindle {
namespace {

using test::freshMedia;
using test::runWindow;

constexpr int kOddStick = test::OddPad::kStick;

// Virtual pads, attached and detached as a player would plug real ones in and out.
class SdlJoystickTest : public ::testing::Test {
protected:
    // Attaches a joystick SDL has no mapping for and returns its instance id (SDL announces it
    // with its device index).
    SDL_JoystickID attach() {
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 8, 0);
        EXPECT_GE(index, 0) << SDL_GetError();
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        media->processPendingEvents();
        return id;
    }
    // Attaches the odd pad and, before the event loop sees it arrive, hands its mapping line to
    // mapper.
    SDL_JoystickID attachOddPad(const std::function<void(const std::string&)>& mapper) {
        const int index = test::OddPad::attach();
        EXPECT_GE(index, 0) << SDL_GetError();
        mapper(test::OddPad::mapping(index));
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        media->processPendingEvents();
        return id;
    }
    static void addMapping(const std::string& mapping) {
        EXPECT_GE(SDL_GameControllerAddMapping(mapping.c_str()), 0) << SDL_GetError();
    }
    void detach(SDL_JoystickID id) {
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id)
                SDL_JoystickDetachVirtual(i);
        }
        media->processPendingEvents();
    }
    // Moves a raw axis of a pad (axis 0, or the odd pad's stick) to value and returns the
    // device number the record carried.
    int deviceOf(SDL_JoystickID id, Sint16 value, int axis = 0) {
        records.clear();
        SDL_JoystickSetVirtualAxis(SDL_JoystickFromInstanceID(id), axis, value);
        media->processPendingEvents();
        if (records.empty())
            return -1;
        EXPECT_EQ(records.back().type, MediaEventType::JOY_AXIS);
        EXPECT_EQ(records.back().code, 0);
        EXPECT_EQ(records.back().value, value);
        return records.back().device;
    }

    void run(const std::function<void()>& body, const std::string& mappingFile = {}) {
        media = &freshMedia();
        media->useControllerMappings(mappingFile);
        runWindow(
            *media,
            [&](StageHandle) {
                body();
                media->media_close();
            },
            [&](MediaEvent& r) {
                if (r.type != MediaEventType::POLL)
                    records.push_back(r);
            });
    }

    SdlMedia* media = nullptr;
    std::vector<MediaEvent> records;
};

TEST_F(SdlJoystickTest, NumbersStayWhileConnectedAndTheLowestFreeIsReused) {
    run([&] {
        const auto a = attach();
        const auto b = attach();
        EXPECT_EQ(deviceOf(a, 1000), 0);
        EXPECT_EQ(deviceOf(b, 1000), 1);
        detach(a);
        EXPECT_EQ(deviceOf(b, 2000), 1);
        // Mapped and raw pads share one numbering.
        const auto c = attachOddPad(addMapping);
        EXPECT_EQ(deviceOf(c, 1000, kOddStick), 0);
        const auto d = attach();
        EXPECT_EQ(deviceOf(d, 1000), 2);
        EXPECT_EQ(deviceOf(b, 3000), 1);
        detach(b);
        const auto e = attachOddPad(addMapping);
        EXPECT_EQ(deviceOf(e, 1000, kOddStick), 1);
        EXPECT_EQ(deviceOf(c, 4000, kOddStick), 0);
        EXPECT_EQ(deviceOf(d, 4000), 2);
        detach(e);
        detach(c);
        detach(d);
    });
}

TEST_F(SdlJoystickTest, AxesArriveRawAndButtonsByNumber) {
    run([&] {
        const auto pad = attach();
        SDL_Joystick* joystick = SDL_JoystickFromInstanceID(pad);
        ASSERT_NE(joystick, nullptr);
        EXPECT_EQ(deviceOf(pad, -32768), 0);
        EXPECT_EQ(deviceOf(pad, 32767), 0);
        EXPECT_EQ(deviceOf(pad, 16384), 0);

        records.clear();
        SDL_JoystickSetVirtualAxis(joystick, 1, -5);
        SDL_JoystickSetVirtualButton(joystick, 7, SDL_PRESSED);
        media->processPendingEvents();
        SDL_JoystickSetVirtualButton(joystick, 7, SDL_RELEASED);
        media->processPendingEvents();
        std::map<int, MediaEvent> last;
        for (const auto& r : records)
            last[r.type] = r;
        ASSERT_TRUE(last.contains(MediaEventType::JOY_AXIS));
        EXPECT_EQ(last[MediaEventType::JOY_AXIS].code, 1);
        EXPECT_EQ(last[MediaEventType::JOY_AXIS].value, -5);
        ASSERT_TRUE(last.contains(MediaEventType::JOY_BUTTON_DOWN));
        EXPECT_EQ(last[MediaEventType::JOY_BUTTON_DOWN].code, 7);
        EXPECT_EQ(last[MediaEventType::JOY_BUTTON_DOWN].device, 0);
        ASSERT_TRUE(last.contains(MediaEventType::JOY_BUTTON_UP));
        EXPECT_EQ(last[MediaEventType::JOY_BUTTON_UP].code, 7);
        detach(pad);
    });
}

// What one change of a virtual device delivers: the records, without polls.
std::vector<MediaEvent> after(SdlMedia& media, std::vector<MediaEvent>& records,
                              const std::function<void()>& change) {
    records.clear();
    change();
    media.processPendingEvents();
    return records;
}

// The value of the last steering record, or none.
std::optional<int> lastSteer(const std::vector<MediaEvent>& got) {
    for (auto it = got.rbegin(); it != got.rend(); ++it) {
        if (it->type == MediaEventType::JOY_AXIS && it->code == 0)
            return it->value;
    }
    return std::nullopt;
}

bool isRecord(const std::vector<MediaEvent>& got, int type, int code, int value) {
    return got.size() == 1 && got[0].type == type && got[0].code == code && got[0].value == value &&
           got[0].device == 0;
}

TEST_F(SdlJoystickTest, AMappedPadReadsInTheStandardLayoutWhateverItsRawNumbers) {
    run([&] {
        const auto pad = attachOddPad(addMapping);
        SDL_Joystick* raw = SDL_JoystickFromInstanceID(pad);
        ASSERT_NE(raw, nullptr) << "the pad is open";
        auto changed = [&](const std::function<void()>& change) {
            return after(*media, records, change);
        };
        namespace T = MediaEventType;

        // Start and the south button, wherever the pad has them, are buttons 7 and 0.
        EXPECT_TRUE(
            isRecord(changed([&] { SDL_JoystickSetVirtualButton(raw, test::OddPad::kStart, 1); }),
                     T::JOY_BUTTON_DOWN, 7, 0));
        EXPECT_TRUE(
            isRecord(changed([&] { SDL_JoystickSetVirtualButton(raw, test::OddPad::kStart, 0); }),
                     T::JOY_BUTTON_UP, 7, 0));
        EXPECT_TRUE(
            isRecord(changed([&] { SDL_JoystickSetVirtualButton(raw, test::OddPad::kSouth, 1); }),
                     T::JOY_BUTTON_DOWN, 0, 0));
        // Raw button 7 is not Start on this pad, and means nothing; its B and Back (raw 2 and
        // 8) are the menu's buttons 1 and 6.
        EXPECT_TRUE(changed([&] { SDL_JoystickSetVirtualButton(raw, 7, 1); }).empty());
        EXPECT_TRUE(isRecord(changed([&] { SDL_JoystickSetVirtualButton(raw, 2, 1); }),
                             T::JOY_BUTTON_DOWN, 1, 0));
        EXPECT_TRUE(isRecord(changed([&] { SDL_JoystickSetVirtualButton(raw, 8, 1); }),
                             T::JOY_BUTTON_DOWN, 6, 0));

        // The stick, on raw axis 2, is axis 0; raw axis 0 is not, and the vertical axis pushed
        // down is the menu's down button (12), never a steering record.
        EXPECT_TRUE(isRecord(changed([&] { SDL_JoystickSetVirtualAxis(raw, kOddStick, -20000); }),
                             T::JOY_AXIS, 0, -20000));
        EXPECT_TRUE(changed([&] { SDL_JoystickSetVirtualAxis(raw, 0, 30000); }).empty());
        EXPECT_TRUE(isRecord(changed([&] { SDL_JoystickSetVirtualAxis(raw, 1, 30000); }),
                             T::JOY_BUTTON_DOWN, 12, 0));

        // A D-pad side is a full push, and letting go gives the stick back.
        EXPECT_TRUE(isRecord(changed([&] { SDL_JoystickSetVirtualHat(raw, 0, SDL_HAT_RIGHT); }),
                             T::JOY_AXIS, 0, 32767));
        EXPECT_EQ(lastSteer(changed([&] { SDL_JoystickSetVirtualAxis(raw, kOddStick, 5000); })),
                  32767)
            << "the held D-pad wins over the stick";
        EXPECT_EQ(lastSteer(changed([&] { SDL_JoystickSetVirtualHat(raw, 0, SDL_HAT_LEFT); })),
                  -32768);
        EXPECT_EQ(lastSteer(changed([&] { SDL_JoystickSetVirtualHat(raw, 0, SDL_HAT_CENTERED); })),
                  5000);
    });
}

// A player who leaves the window lets go of everything: held keys, a raw pad's pushed axis and
// held button, a mapped pad's held D-pad all arrive released, before the window's deactivation;
// what was already let go is not released again.
TEST_F(SdlJoystickTest, LosingTheFocusLetsGoOfEveryHeldKeyAndPadInput) {
    namespace T = MediaEventType;
    auto pushKey = [](Uint32 type, SDL_Keycode key) {
        SDL_Event event{};
        event.type = type;
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    };
    std::vector<MediaEvent> firstLoss;
    std::vector<MediaEvent> secondLoss;
    run([&] {
        const auto raw = attach();
        const auto mapped = attachOddPad(addMapping);
        SDL_Joystick* rawPad = SDL_JoystickFromInstanceID(raw);
        SDL_Joystick* mappedPad = SDL_JoystickFromInstanceID(mapped);
        ASSERT_NE(rawPad, nullptr);
        ASSERT_NE(mappedPad, nullptr);
        pushKey(SDL_KEYDOWN, SDLK_LEFT);
        pushKey(SDL_KEYDOWN, SDLK_SPACE);
        pushKey(SDL_KEYUP, SDLK_SPACE);
        SDL_JoystickSetVirtualAxis(rawPad, 0, 32767);
        SDL_JoystickSetVirtualButton(rawPad, 7, SDL_PRESSED);
        SDL_JoystickSetVirtualButton(rawPad, 3, SDL_PRESSED);
        SDL_JoystickSetVirtualButton(rawPad, 3, SDL_RELEASED);
        SDL_JoystickSetVirtualHat(mappedPad, 0, SDL_HAT_RIGHT);
        media->processPendingEvents();
        SDL_Event focus{};
        focus.type = SDL_WINDOWEVENT;
        focus.window.windowID = SDL_GetWindowID(media->sdlWindow());
        focus.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
        firstLoss = after(*media, records, [&] { SDL_PushEvent(&focus); });
        secondLoss = after(*media, records, [&] { SDL_PushEvent(&focus); });
        detach(raw);
        detach(mapped);
    });
    // SDL reports the pads' changes in an order of its own; the releases come in any order, but
    // all before the deactivation.
    using Input = std::tuple<int, int, int, int>; // type, code, value, device
    ASSERT_FALSE(firstLoss.empty());
    EXPECT_EQ(firstLoss.back().type, T::DEACTIVATE);
    std::set<Input> released;
    for (std::size_t i = 0; i + 1 < firstLoss.size(); ++i)
        released.insert(
            {firstLoss[i].type, firstLoss[i].code, firstLoss[i].value, firstLoss[i].device});
    EXPECT_EQ(firstLoss.size(), 5u);
    EXPECT_EQ(released, (std::set<Input>{{T::KEY_UP, 37, 0, 0},
                                         {T::JOY_AXIS, 0, 0, 0},
                                         {T::JOY_BUTTON_UP, 7, 0, 0},
                                         {T::JOY_AXIS, 0, 0, 1}}));
    ASSERT_EQ(secondLoss.size(), 1u);
    EXPECT_EQ(secondLoss[0].type, T::DEACTIVATE);
}

TEST_F(SdlJoystickTest, MappingFilesAddTheirPadsAndNameTheirBrokenLinesOnce) {
    test::ScratchDir dir;
    const std::string file = dir.file("gamecontrollerdb.txt");
    test::writeText(file, "# pads of our players\n"
                          "\n"
                          "03000000aaaa,Far Pad,a:b0,platform:Windows,\n"
                          "not a mapping at all\n"
                          "xyz\r\n");
    std::string complaint;
    ::testing::internal::CaptureStdout();
    run(
        [&] {
            const auto pad = attachOddPad([&](const std::string& mapping) {
                complaint = addControllerMappings(
                    "# one good line\n" + mapping + "platform:Linux,\n", "more.txt");
            });
            SDL_Joystick* raw = SDL_JoystickFromInstanceID(pad);
            ASSERT_NE(raw, nullptr);
            EXPECT_TRUE(
                isRecord(after(*media, records,
                               [&] { SDL_JoystickSetVirtualButton(raw, test::OddPad::kStart, 1); }),
                         MediaEventType::JOY_BUTTON_DOWN, 7, 0));
        },
        file);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(complaint, "");
    EXPECT_EQ(out, file + ": 2 lines not understood as pad mappings and skipped (line 4, " +
                       "no GUID before a comma: \"not a mapping at all\")\n");
}

// SDL_GAMECONTROLLERCONFIG is one run's choice: it wins over the data's file for its pad.
TEST_F(SdlJoystickTest, TheEnvironmentsMappingWinsOverTheFilesForItsPad) {
    std::string mapping;
    run([&] { attachOddPad([&](const std::string& line) { mapping = line; }); });
    ASSERT_FALSE(mapping.empty());
    // The file's line for the same pad puts Start on raw button 5.
    std::string fileMapping = mapping;
    fileMapping.replace(fileMapping.find("start:b9"), 8, "start:b5");
    test::ScratchDir dir;
    const std::string file = dir.file("gamecontrollerdb.txt");
    test::writeText(file, fileMapping + "\n");
    setenv("SDL_GAMECONTROLLERCONFIG", mapping.c_str(), 1);
    ::testing::internal::CaptureStdout();
    run(
        [&] {
            SDL_Joystick* raw = SDL_JoystickFromInstanceID(attachOddPad([](const std::string&) {}));
            ASSERT_NE(raw, nullptr);
            EXPECT_TRUE(
                after(*media, records, [&] { SDL_JoystickSetVirtualButton(raw, 5, 1); }).empty());
            EXPECT_TRUE(
                isRecord(after(*media, records,
                               [&] { SDL_JoystickSetVirtualButton(raw, test::OddPad::kStart, 1); }),
                         MediaEventType::JOY_BUTTON_DOWN, 7, 0));
        },
        file);
    unsetenv("SDL_GAMECONTROLLERCONFIG");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

// However long the file, SDL is handed at most the limit of pads, and the rest are counted.
TEST_F(SdlJoystickTest, AHugeMappingFileHandsSdlOnlyTheLimit) {
    int shipped = 0;
    run([&] { shipped = SDL_GameControllerNumMappings(); });
    test::ScratchDir dir;
    const std::string file = dir.file("gamecontrollerdb.txt");
    std::string text;
    const std::size_t pads = kMaxPadMappings + 3000;
    for (std::size_t i = 0; i < pads; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "03000000%024zx,P,a:b0,platform:Linux,\n", i + 1);
        text += line;
    }
    test::writeText(file, text);
    int loaded = 0;
    ::testing::internal::CaptureStdout();
    run([&] { loaded = SDL_GameControllerNumMappings(); }, file);
    EXPECT_EQ(loaded - shipped, static_cast<int>(kMaxPadMappings));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              file + ": 3000 more pads than the 2000 the game takes from one file, left out\n");
}

// A file that is there but cannot be read is named, once; the game plays on with SDL's own.
TEST_F(SdlJoystickTest, AMappingFileThatCannotBeReadIsNamedOnce) {
    test::ScratchDir dir;
    const std::string loop = dir.file("gamecontrollerdb.txt");
    std::filesystem::create_symlink(loop, loop);
    ::testing::internal::CaptureStdout();
    run([&] { EXPECT_GE(attach(), 0); }, loop);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Warning: " + loop + ": " + std::strerror(ELOOP) + "\n");
}

TEST_F(SdlJoystickTest, AMissingMappingFileIsNoError) {
    ::testing::internal::CaptureStdout();
    run([&] { EXPECT_GE(attach(), 0); }, "/nonexistent/gamecontrollerdb.txt");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

} // namespace
} // namespace zindle
