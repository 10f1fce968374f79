// The menu through Main on the headless media layer: keys, pad buttons, the stick and taps move
// it; what it takes never reaches the game; closed, it leaves the title as it was.
#include "app/main_menu.h"
#include "app/process_state.h"
#include "framework/assets.h"
#include "framework/event.h"
#include "framework/keyboard.h"
#include "framework/lib.h"
#include "framework/random.h"
#include "framework/stage.h"
#include "input/pad_layout.h"
#include "loop/main.h"
#include "match/game.h"
#include "media/headless/headless_media.h"
#include "menu/menu.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zindle {
namespace {

constexpr int kTab = 9;
constexpr double kFrame = 1.0 / 60; // s

class MenuTest : public ::testing::Test {
public:
    void SetUp() override {
        resetProcessState();
        media = &static_cast<HeadlessMedia&>(media_install(std::make_unique<HeadlessMedia>()));
        media->setKeepAllFrames(false);
        Assets::setSearchRoots({std::filesystem::path(ZINDLE_ASSETS_DIR).parent_path()});
        seedRandom(7);
        Lib::create([] { Main::main(); }, 480, 320, 60.0, 0x85E3FF, Lib::HARDWARE, "test");
        Main::menu = makeMainMenu({});
    }
    void TearDown() override { resetProcessState(); }

    void key(int code, bool ctrl = false) {
        for (const int type : {MediaEventType::KEY_DOWN, MediaEventType::KEY_UP}) {
            MediaEvent record = mediaEvent(type, code);
            record.flags = ctrl ? Stage::efCtrlDown : 0;
            record.target = static_cast<int>(stageObject(media->stage()));
            media->send(record);
        }
    }
    void button(int id) {
        for (const int type : {MediaEventType::JOY_BUTTON_DOWN, MediaEventType::JOY_BUTTON_UP})
            media->send(mediaEvent(type, id));
    }
    void stick(int value) { media->send(mediaEvent(MediaEventType::JOY_AXIS, 0, value)); }
    // One frame of the clock, drawn; the tiles it drew.
    std::vector<HeadlessMedia::DrawnTile> frame() {
        media->advance(kFrame);
        Event enterFrame(Event::ENTER_FRAME);
        Main::instance->update(enterFrame);
        media_render_stage(media->stage());
        return media->frames().back().tiles;
    }
    const Game& game() const { return *dynamic_cast<const Game*>(Main::board.get()); }

    HeadlessMedia* media = nullptr;
};

TEST_F(MenuTest, KeysPadButtonsTheStickAndTapsWalkThePages) {
    Menu& menu = *Main::menu;
    struct Step {
        std::function<void(MenuTest&)> act;
        bool open;
        const char* title; // of the page on top, when open
        int selected;
    };
    const auto k = [](int code) { return [code](MenuTest& t) { t.key(code); }; };
    const auto b = [](int id) { return [id](MenuTest& t) { t.button(id); }; };
    const auto tapEntry = [&menu](int entry) {
        return [&menu, entry](MenuTest&) {
            for (double y = 0; y < 320; ++y)
                if (menu.entryAt(240, y) == entry)
                    return menu.tap(240, y);
            FAIL() << "no entry " << entry;
        };
    };
    const std::vector<Step> steps{
        {k(kTab), true, "MENU", 0},
        {k(Keyboard::UP), true, "MENU", 2}, // round the top to QUIT, under SETTINGS
        {k(Keyboard::DOWN), true, "MENU", 0},
        {k(Keyboard::ENTER), true, "COMPUTER PLAYERS", 0},
        {k(Keyboard::ESCAPE), true, "MENU", 0},
        {k(kTab), false, "", 0},
        {b(pad_layout::kBackButton), true, "MENU", 0},
        {b(pad_layout::kMenuDownButton), true, "MENU", 1},
        {b(pad_layout::kMenuUpButton), true, "MENU", 0},
        {[](MenuTest& t) { t.stick(-32768); }, true, "MENU", 0}, // sideways moves no entry
        {b(pad_layout::kSouthButton), true, "COMPUTER PLAYERS", 0},
        {b(pad_layout::kEastButton), true, "MENU", 0},
        {b(pad_layout::kBackButton), false, "", 0},
        {k(kTab), true, "MENU", 0},
        {tapEntry(0), true, "COMPUTER PLAYERS", 0},
        {tapEntry(4), true, "MENU", 0},                         // BACK
        {[&menu](MenuTest&) { menu.tap(2, 2); }, false, "", 0}, // outside the panel
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        steps[i].act(*this);
        ASSERT_EQ(menu.isOpen(), steps[i].open);
        if (steps[i].open) {
            EXPECT_EQ(menu.page().title, steps[i].title);
            EXPECT_EQ(menu.selected(), steps[i].selected);
        }
    }
    EXPECT_TRUE(game().heroes.empty()) << "the menu's keys reached the game";
    EXPECT_EQ(game().titleAlpha, 1);
}

TEST_F(MenuTest, ComputerPlayersAreTheGamesOwnAndTheMenuKeepsItsKeys) {
    key(kTab);
    key(Keyboard::ENTER); // COMPUTER PLAYERS
    key(Keyboard::DOWN);  // PLAYER 2
    key(Keyboard::SPACE); // chooses: SPACE joins nobody while the menu is open
    EXPECT_EQ(Main::menu->page().entries[1].label(), "PLAYER 2: COMPUTER");
    EXPECT_EQ(game().aiFlags, (std::vector<bool>{false, true, false, false}));
    key(Keyboard::ENTER);
    EXPECT_EQ(game().aiFlags, (std::vector<bool>(4, false)));
    key(Keyboard::ESCAPE);
    key(Keyboard::ESCAPE); // closes the menu; it does not quit from the title
    EXPECT_FALSE(Main::menu->isOpen());
    EXPECT_FALSE(media->closed());
    key(Keyboard::NUMBER_3, true); // CTRL+digit still reaches the game with the menu closed
    EXPECT_EQ(game().aiFlags, (std::vector<bool>{false, false, true, false}));
}

TEST_F(MenuTest, TheTitleIsTheSameAfterTheMenuOpenedAndClosed) {
    const auto run = [this](bool openTheMenu) {
        TearDown();
        SetUp();
        std::vector<HeadlessMedia::DrawnTile> last;
        for (int f = 0; f < 30; ++f) {
            if (openTheMenu && f == 5)
                key(kTab);
            if (openTheMenu && f == 20)
                key(Keyboard::ESCAPE);
            last = frame();
        }
        return last;
    };
    const auto opened = run(true);
    const auto never = run(false);
    ASSERT_EQ(opened.size(), never.size());
    for (std::size_t i = 0; i < opened.size(); ++i) {
        EXPECT_EQ(opened[i].id, never[i].id) << i;
        EXPECT_EQ(opened[i].x, never[i].x) << i;
        EXPECT_EQ(opened[i].y, never[i].y) << i;
    }
}

} // namespace
} // namespace zindle
