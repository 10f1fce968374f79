// Which requests the relay's file serving answers with a file, and that no target, however
// spelled, reaches a file outside the folder.
#include "relay/static_files.h"

#include <gtest/gtest.h>

#include <fstream>
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
