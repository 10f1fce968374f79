// Opening the one window, and the errors a program sees when it gets the order wrong.
#include "framework/framework_fixture.h"

#include <stdexcept>

namespace zindle::test {
namespace {

using LibTest = FrameworkTest;

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST_F(LibTest, StageBeforeTheWindowExistsIsAnError) {
    const std::string expected = "Error : stage can't be accessed until init is called";
    EXPECT_EQ(errorOf([] { Lib::stage(); }), expected);
    EXPECT_EQ(errorOf([] { Mouse::hide(); }), expected);
    EXPECT_FALSE(Lib::hasStage());
}

TEST_F(LibTest, SecondCreateIsAnErrorAndChangesNothing) {
    int loaded = 0;
    Lib::create([&] { ++loaded; }, 480, 320, 60, 0x85E3FF, Lib::HARDWARE, "Zindle vs Pellorin");
    Stage* first = &Lib::stage();
    EXPECT_EQ(errorOf([&] { Lib::create([&] { ++loaded; }, 100, 100); }),
              "Lib.create called multiple times. This function is automatically called by the "
              "project code.");
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(&Lib::stage(), first);
    EXPECT_EQ(Lib::initWidth, 480);
}

TEST_F(LibTest, CreateOpensTheWindowAndSetsTheStageUpBeforeTheCallback) {
    Lib::setPackage("ZindleAndPellorin", "MyApplication", "org.example.zindle", "1.0.0");
    bool stageReady = false;
    Lib::create(
        [&] {
            stageReady = Lib::hasStage() && Lib::stage().frameRate() == 60 &&
                         Lib::current().stage() == &Lib::stage();
        },
        480, 320, 60, 0x85E3FF, Lib::HARDWARE, "Zindle vs Pellorin");
    EXPECT_TRUE(stageReady);
    EXPECT_EQ(media().title(), "Zindle vs Pellorin");
    EXPECT_EQ(media().windowWidth(), 480);
    EXPECT_EQ(media().background(), 0x85E3FFu);
    EXPECT_EQ(media().package(), (std::vector<std::string>{"ZindleAndPellorin", "MyApplication",
                                                           "org.example.zindle", "1.0.0"}));
    EXPECT_EQ(Lib::packageName, "org.example.zindle");
}

TEST_F(LibTest, RootClipMadeBeforeTheWindowJoinsTheStageWhenItOpens) {
    int added = 0;
    MovieClip& root = Lib::current();
    root.addEventListener(Event::ADDED_TO_STAGE, [&](Event&) { ++added; });
    EXPECT_EQ(root.stage(), nullptr);
    openWindow();
    EXPECT_EQ(added, 1);
    EXPECT_EQ(&Lib::current(), &root);
    EXPECT_EQ(root.parent(), &Lib::stage());
}

TEST_F(LibTest, RecordsForAStageThatIsGoneReachNothing) {
    openWindow();
    Lib::reset();
    MediaEvent quit;
    quit.type = MediaEventType::QUIT;
    media().send(quit);
    media().poll();
    EXPECT_FALSE(media().closed());
}

TEST(RandomSource, SeededDrawsRepeatAndStayBelowOne) {
    seedRandom(42);
    std::vector<double> a;
    for (int i = 0; i < 1000; ++i)
        a.push_back(random());
    seedRandom(42);
    for (int i = 0; i < 1000; ++i) {
        const double r = random();
        EXPECT_EQ(r, a[static_cast<std::size_t>(i)]);
        EXPECT_GE(r, 0);
        EXPECT_LT(r, 1);
    }
    setRandomSource([] { return 0.25; });
    EXPECT_EQ(random(), 0.25);
    setRandomSource(nullptr);
    EXPECT_LT(random(), 1);
}

} // namespace
} // namespace zindle::test
