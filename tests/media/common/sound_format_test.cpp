// Sound files by signature: effects are WAV and music is MP3, and everything else (the formats a
// sniffing decoder would render whole, and broken WAV headers) is refused with a reason that
// says what the file is.
#include "media/common/sound_format.h"

#include "support/hostile_sounds.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace zindle {
namespace {

std::span<const std::uint8_t> asBytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SoundFormatTest, EveryHostileEffectIsRefusedSayingWhatItIs) {
    for (const auto& sound : test::hostileEffects()) {
        const auto problem = effectFormatProblem(asBytes(sound.bytes));
        ASSERT_TRUE(problem) << sound.name << " was taken for a WAV";
        EXPECT_NE(problem->find(sound.what), std::string::npos) << sound.name << ": " << *problem;
        EXPECT_EQ(problem->find('\n'), std::string::npos) << *problem;
    }
}

TEST(SoundFormatTest, MusicIsMp3AndNothingElse) {
    using B = std::string;
    const std::string frames = test::silentMp3Frames();
    const std::string tag = B("ID3\x04\0\0\0\0\0\x04", 10) + B(4, '\0');
    EXPECT_FALSE(musicFormatProblem(asBytes(frames), Extent::WholeFile));
    EXPECT_FALSE(musicFormatProblem(asBytes(tag + frames), Extent::WholeFile));
    // A streamed track is judged by its start: the desktop reads no more before the decoder.
    EXPECT_FALSE(musicFormatProblem(asBytes(tag.substr(0, 10)), Extent::FileStart));
    const struct {
        std::string bytes;
        const char* said;
    } refused[] = {
        {test::shortMidi(), "a MIDI file, not an MP3"},
        {test::shortVoc(), "a VOC file, not an MP3"},
        {B("RIFF\x24\0\0\0WAVEfmt ", 16), "a WAV file, not an MP3"},
        {B("GIF89a\xff\xff\0\0", 10), "not an MP3"},
        {"", "empty, not an MP3"},
        {B("ID3\x04\0\0\x80\0\0\0", 10), "tag is broken"}, // a size byte over 7 bits
        {B(4, '\xFF'), "not an MP3"},                      // sync, but a reserved layer
        {tag, "no sound after it"},
    };
    for (const auto& [bytes, said] : refused) {
        for (const auto extent : {Extent::FileStart, Extent::WholeFile}) {
            const auto problem = musicFormatProblem(asBytes(bytes), extent);
            if (extent == Extent::FileStart && bytes == tag)
                continue; // its start is a sound tag
            ASSERT_TRUE(problem) << said;
            EXPECT_NE(problem->find(said), std::string::npos) << *problem;
        }
    }
}

// The game's own files pass the rules they are checked by.
TEST(SoundFormatTest, TheGamesOwnSoundsPass) {
    int effects = 0;
    int music = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ZINDLE_ASSETS_DIR)) {
        const auto name = entry.path().extension();
        if (name == ".wav") {
            const auto problem = effectFormatProblem(fileBytes(entry.path()));
            EXPECT_FALSE(problem) << entry.path() << ": " << problem.value_or("");
            ++effects;
        } else if (name == ".mp3") {
            const auto problem = musicFormatProblem(fileBytes(entry.path()), Extent::WholeFile);
            EXPECT_FALSE(problem) << entry.path() << ": " << problem.value_or("");
            ++music;
        }
    }
    EXPECT_EQ(effects, 35);
    EXPECT_EQ(music, 2);
}

} // namespace
} // namespace zindle
