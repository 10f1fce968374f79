// Which requests the relay's file serving answers with a file, and that no target, however
// spelled, reaches a file outside the folder.
#include "relay/static_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zindle::relay {
namespace {

namespace fs = std::filesystem;

class StaticFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = fs::temp_directory_path() / ("zindle-static-" + std::to_string(getpid()));
        fs::remove_all(base);
        fs::create_directories(base / "web" / "sub");
        fs::create_directories(base / "outside");
        for (const char* name : {"web/index.html", "web/zindle.wasm", "web/sub/index.html",
                                 "outside/secret.txt", "web-sibling.txt"})
            std::ofstream(base / name) << "x";
        fs::create_symlink(base / "outside" / "secret.txt", base / "web" / "link.txt");
        fs::create_directory_symlink(base / "outside", base / "web" / "linkdir");
        fs::create_symlink(base / "web" / "zindle.wasm", base / "web" / "inside-link.wasm");
        root = fs::canonical(base / "web");
    }
    void TearDown() override { fs::remove_all(base); }

    fs::path base, root;
};

TEST_F(StaticFilesTest, TargetsResolveInsideTheFolderOrAreRefused) {
    const struct {
        std::string_view target;
        std::optional<std::string_view> file; // nothing: refused
    } cases[] = {
        {"/", "index.html"},
        {"/index.html", "index.html"},
        {"/zindle.wasm?v=2", "zindle.wasm"},
        {"/sub/", "sub/index.html"},
        {"/sub", "sub/index.html"},
        {"/%7A%69ndle.wasm", "zindle.wasm"},
        {"/inside-link.wasm", "zindle.wasm"},
        {"/../outside/secret.txt", std::nullopt},
        {"/sub/../../outside/secret.txt", std::nullopt},
        {"/%2e%2e/outside/secret.txt", std::nullopt},
        {"/%2E%2E%2Foutside%2Fsecret.txt", std::nullopt},
        {"/..%5coutside%5csecret.txt", std::nullopt},
        {"/link.txt", std::nullopt},
        {"/linkdir/secret.txt", std::nullopt},
        {"/../web-sibling.txt", std::nullopt},
        {"//etc/passwd", std::nullopt},
        {"/index.html%00.png", std::nullopt},
        {"/%zz", std::nullopt},
        {"/%4", std::nullopt},
        {"index.html", std::nullopt},
        {"", std::nullopt},
        {"/missing.js", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto resolved = resolveStaticFile(root, c.target);
        if (c.file) {
            ASSERT_TRUE(std::holds_alternative<fs::path>(resolved)) << c.target;
            EXPECT_EQ(std::get<fs::path>(resolved), fs::canonical(root / *c.file)) << c.target;
        } else {
            EXPECT_TRUE(std::holds_alternative<StaticRefusal>(resolved)) << c.target;
        }
    }
    EXPECT_TRUE(std::holds_alternative<StaticRefusal>(
        resolveStaticFile(root, "/" + std::string(2000, 'a'))));
}

// A build folder holds the build system's files beside the page: only the listed ones count.
TEST_F(StaticFilesTest, OnlyTheBuildsListOfFilesIsPublished) {
    std::string problem;
    EXPECT_FALSE(PublishedFiles::load(root, problem));
    EXPECT_NE(problem.find("published-files.txt is missing"), std::string::npos) << problem;

    std::ofstream(root / "CMakeCache.txt") << "CMAKE_HOME_DIRECTORY=/home/someone";
    std::ofstream(root / PublishedFiles::kListName) << "index.html\nsub/index.html\n\n";
    const auto published = PublishedFiles::load(root, problem);
    ASSERT_TRUE(published);
    const struct {
        const char* file;
        bool served;
    } cases[] = {{"index.html", true},
                 {"sub/index.html", true},
                 {"CMakeCache.txt", false},
                 {"zindle.wasm", false},
                 {"published-files.txt", false}};
    for (const auto& c : cases)
        EXPECT_EQ(published->contains(root, root / c.file), c.served) << c.file;

    std::ofstream(root / PublishedFiles::kListName) << std::string(600, 'a') << "\n";
    EXPECT_FALSE(PublishedFiles::load(root, problem)) << "a path longer than any build makes";
}

// After the relay gives up root, files only root may read would all be 404s: the check, run as
// the user the relay becomes, names them.
TEST_F(StaticFilesTest, FilesTheServingUserCannotReadAreNamed) {
    std::ofstream(root / PublishedFiles::kListName) << "index.html\nzindle.wasm\nnot-built.js\n";
    std::string problem;
    const auto published = PublishedFiles::load(root, problem);
    ASSERT_TRUE(published);
    EXPECT_FALSE(unreadablePublishedFiles(root, *published)) << "every file is readable";
    fs::permissions(root / "zindle.wasm", fs::perms::none);
    fs::permissions(base, fs::perms::all);
    fs::permissions(root, fs::perms::all);
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() == 0 && !nobody)
        GTEST_SKIP() << "run as root with no user nobody to check as";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && setuid(nobody->pw_uid) != 0)
            _exit(3);
        const auto unreadable = unreadablePublishedFiles(root, *published);
        _exit(unreadable && unreadable->count == 1 && unreadable->first == "zindle.wasm" ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(ContentTypeTest, TheBrowserGetsTheTypesItChecks) {
    const struct {
        const char* file;
        std::string_view type;
    } cases[] = {
        {"zindle.wasm", "application/wasm"},
        {"zindle.js", "text/javascript; charset=utf-8"},
        {"index.html", "text/html; charset=utf-8"},
        {"atlas.png", "image/png"},
        {"noextension", "application/octet-stream"},
        {"evil.html.bin", "application/octet-stream"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(contentTypeFor(c.file), c.type) << c.file;
}

} // namespace
} // namespace zindle::relay
