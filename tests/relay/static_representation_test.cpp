// What the relay sends for a file of the web build: which compressed copy, with which
// validators, and when the browser's copy is still good.
#include "relay/static_representation.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace zindle::relay {
namespace {

namespace fs = std::filesystem;

TEST(StaticRepresentationTest, AcceptEncodingNamesCodingsWithQualities) {
    const struct {
        std::string_view header;
        bool br, gzip;
    } cases[] = {
        {"", false, false},
        {"gzip, deflate, br", true, true},
        {"gzip;q=1.0, br;q=0", false, true},
        {"BR ; q=0.5", true, false},
        {"*", true, true},
        {"*;q=0, gzip", false, true},
        {"br;q=0.000", false, false},
        {"br;q=0.001", true, false},
        {"identity", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(acceptsEncoding(c.header, "br"), c.br) << c.header;
        EXPECT_EQ(acceptsEncoding(c.header, "gzip"), c.gzip) << c.header;
    }
}

TEST(StaticRepresentationTest, HttpDatesRoundTripAndNonsenseIsRefused) {
    EXPECT_EQ(formatHttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(parseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777);
    EXPECT_EQ(parseHttpDate(formatHttpDate(1765170000)), 1765170000);
    for (std::string_view bad : {"", "Sunday, 06-Nov-94 08:49:37 GMT",
                                 "Sun, 31 Feb 1994 08:49:37 GMT", "Sun, 06 Nov 1994 25:49:37 GMT",
                                 "Sun, 06 Xyz 1994 08:49:37 GMT", "Sun, 06 Nov 1994 08:49:37 UTC"})
        EXPECT_FALSE(parseHttpDate(bad)) << bad;
}

class RepresentationFiles : public ::testing::Test {
protected:
    void SetUp() override {
        base = fs::temp_directory_path() / ("zindle-representation-" + std::to_string(getpid()));
        fs::remove_all(base);
        fs::create_directories(base / "web");
        fs::create_directories(base / "outside");
        write("web/a.js", "original bytes");
        write("web/a.js.br", "br");
        write("web/a.js.gz", "gzip!");
        write("web/stale.js", "new");
        write("web/stale.js.gz", "old");
        write("outside/b.js.br", "foreign");
        write("web/b.js", "b");
        fs::create_symlink(base / "outside" / "b.js.br", base / "web" / "b.js.br");
        // A copy older than its file was made from another version of it.
        fs::last_write_time(base / "web" / "stale.js.gz",
                            fs::last_write_time(base / "web" / "stale.js") - std::chrono::hours(1));
        root = fs::canonical(base / "web");
    }
    void TearDown() override { fs::remove_all(base); }
    void write(const char* name, std::string_view text) { std::ofstream(base / name) << text; }

    fs::path base, root;
};

TEST_F(RepresentationFiles, ChoosesTheAcceptedCopyAndNeverAStaleOrForeignOne) {
    const struct {
        const char* file;
        std::string_view accept;
        std::string_view encoding;
        std::uintmax_t size;
        bool varies;
    } cases[] = {
        {"a.js", "gzip, deflate, br", "br", 2, true},
        {"a.js", "gzip", "gzip", 5, true},
        {"a.js", "", "", 14, true},
        {"stale.js", "gzip", "", 3, false},
        {"b.js", "br", "", 1, false},
    };
    for (const auto& c : cases) {
        const auto sent = representationFor(root, root / c.file, c.accept);
        ASSERT_TRUE(sent) << c.file;
        EXPECT_EQ(sent->encoding, c.encoding) << c.file << " " << c.accept;
        EXPECT_EQ(sent->size, c.size) << c.file << " " << c.accept;
        EXPECT_EQ(sent->hasCompressedCopies, c.varies) << c.file;
    }
    EXPECT_FALSE(representationFor(root, root / "missing.js", "br"));
}

TEST_F(RepresentationFiles, EachEncodingHasItsOwnTagAndTheValidatorsDecide) {
    const auto br = *representationFor(root, root / "a.js", "br");
    const auto plain = *representationFor(root, root / "a.js", "");
    EXPECT_NE(br.etag, plain.etag);
    const std::string later = formatHttpDate(*parseHttpDate(br.lastModified) + 60);
    const struct {
        std::string ifNoneMatch, ifModifiedSince;
        bool unchanged;
    } cases[] = {
        {br.etag, "", true},
        {"W/" + br.etag, "", true},
        {"\"x\", " + br.etag, "", true},
        {"*", "", true},
        {plain.etag, "", false},
        {"", br.lastModified, true},
        {"", later, true},
        {"", "Thu, 01 Jan 1970 00:00:00 GMT", false},
        {"", "not a date", false},
        // A tag that does not match decides, whatever the date says.
        {"\"x\"", br.lastModified, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(notModified(br, c.ifNoneMatch, c.ifModifiedSince), c.unchanged)
            << c.ifNoneMatch << " | " << c.ifModifiedSince;
}

} // namespace
} // namespace zindle::relay
