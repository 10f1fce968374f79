// The one reader of asset files: regular files whole, everything else refused with a reason,
// without blocking and without reading past the limit.
#include "media/common/asset_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace zindle {
namespace {

namespace fs = std::filesystem;

class AssetFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("zindle-asset-file-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string file(const std::string& name) const { return (dir / name).string(); }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(file(name), std::ios::binary) << bytes;
        return file(name);
    }

    fs::path dir;
};

TEST_F(AssetFileTest, RegularFilesAndLinksToThemAreReadWhole) {
    std::string big(200'000, 'x');
    big[150'000] = 'y';
    write("big.bin", big);
    fs::create_symlink(file("big.bin"), file("link.bin"));
    for (const char* name : {"big.bin", "link.bin"}) {
        const AssetFile read = readAssetFile(file(name), big.size());
        ASSERT_TRUE(read.bytes) << name << ": " << read.problem;
        EXPECT_EQ(std::string(read.bytes->begin(), read.bytes->end()), big);
    }
    const AssetFile empty = readAssetFile(write("empty.txt", ""), 10);
    ASSERT_TRUE(empty.bytes);
    EXPECT_TRUE(empty.bytes->empty());
}

// A FIFO, a device and a folder would block, feed without end or read as nothing; each is
// refused before it is opened, with its kind named. A FIFO left unopened by a writer would
// hang this test if the reader blocked.
TEST_F(AssetFileTest, AnythingButARegularFileIsRefusedWithoutBlocking) {
    ASSERT_EQ(::mkfifo(file("pipe").c_str(), 0600), 0);
    fs::create_directory(file("folder"));
    fs::create_symlink("/dev/zero", file("zero"));
    const std::pair<std::string, std::string> cases[] = {
        {file("pipe"), "a FIFO"},
        {file("folder"), "a folder"},
        {file("zero"), "a character device"},
        {"/dev/null", "a character device"},
    };
    for (const auto& [path, kind] : cases) {
        const AssetFile read = readAssetFile(path, 1 << 20);
        EXPECT_FALSE(read.bytes) << path;
        EXPECT_FALSE(read.missing) << path;
        EXPECT_EQ(read.problem, kind + ", not a regular file") << path;
        const AssetDescriptor opened = openAssetFile(path, 1 << 20);
        EXPECT_EQ(opened.fd, -1) << path;
        EXPECT_EQ(opened.problem, read.problem);
    }
}

TEST_F(AssetFileTest, FilesOverTheLimitAreRefusedBeforeAnythingIsRead) {
    write("ten.bin", "0123456789");
    EXPECT_TRUE(readAssetFile(file("ten.bin"), 10).bytes);
    const AssetFile over = readAssetFile(file("ten.bin"), 9);
    EXPECT_FALSE(over.bytes);
    EXPECT_NE(over.problem.find("10 bytes, over the limit of 9"), std::string::npos)
        << over.problem;
    // A sparse file of 3 GiB costs nothing on disk and must cost nothing in memory either.
    { std::ofstream(file("sparse.txt")); }
    fs::resize_file(file("sparse.txt"), std::uintmax_t{3} << 30);
    EXPECT_FALSE(readAssetFile(file("sparse.txt"), kMaxTextFileBytes).bytes);
    EXPECT_EQ(openAssetFile(file("sparse.txt"), kMaxTextFileBytes).fd, -1);
    const AssetDescriptor fits = openAssetFile(file("ten.bin"), 10);
    ASSERT_GE(fits.fd, 0);
    ::close(fits.fd);
}

TEST_F(AssetFileTest, OnlyRefusedFilesAreReportedMissingOnesAreLeftToTheCaller) {
    fs::create_directory(file("folder"));
    fs::create_symlink(file("nowhere"), file("dangling"));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(readAsset(file("missing.png"), 100));
    EXPECT_FALSE(readAsset(file("dangling"), 100));
    EXPECT_FALSE(readAsset("", 100));
    EXPECT_EQ(openAsset(file("missing.mp3"), 100), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(readAsset(file("folder"), 100));
    EXPECT_EQ(openAsset(file("folder"), 100), -1);
    const std::string line = "Warning: " + file("folder") + ": a folder, not a regular file\n";
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), line + line);
}

} // namespace
} // namespace zindle
